// File names and folder paths.
#pragma once

#include "zevar/dstring.h"

// Makes a text usable as a file name: line breaks ("\r\n" counts once), the
// characters " * / : < > ? \ | and all other control characters become the
// replacement (a space when it is below 0x20). With last_component_only, only
// the part after the last '\', '/' or ':' is kept first. Nothing is trimmed.
// A name that Windows would open as a device (see DDeviceNameLength) gets a
// '_' after the device word: "NUL.html" becomes "NUL_.html". On failure the
// result is empty.
void DMakeSafeFileName(const DWChar* text, DWString* result, bool last_component_only,
                       DWChar replacement);

// The part after the last '\', '/' or ':', without its last ".extension"
// unless keep_extension. True when that part is not empty.
[[nodiscard]] bool DGetFileNamePart(const DWChar* path, DWString* result, bool keep_extension);

// Ends a non-empty path with exactly the separator: a last '\' or '/' is
// replaced, otherwise the separator is appended. Returns the path's text.
const DWChar* DAppendSeparator(DWString* path, DWChar separator);
