// The text rules of DPathExists, apart from the Windows calls.
#pragma once

#include "zevar/dstring.h"

// False for a path that cannot name a file: empty, or holding '"', '*', '<',
// '>' or '|', a ':' followed by anything but the end, '\' or '/', or a '?'
// other than the one of the long-path prefix ("\\?\").
[[nodiscard]] bool DPathSyntaxAllowed(const DWChar* path);

// A letter and ':' with nothing, or a single '\' or '/', after them.
[[nodiscard]] bool DIsDriveRoot(const DWChar* path);

// The path as handed to the file search: trailing '\' and '/' removed, and
// when 248 characters or more remain, the long-path prefix put in front
// ("\\?\UNC\" for a path that starts with a slash), with '/' turned into '\'
// since the prefix turns off that translation. False when nothing remains or
// there is no memory.
[[nodiscard]] bool DMakeLookupPath(const DWChar* path, DWString* result);
