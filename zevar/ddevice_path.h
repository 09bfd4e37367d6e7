// Paths that name a device rather than a file.
#pragma once

#include <cstdint>

// True for a path into Windows' device namespaces: "\\.\…", "\\?\…" and
// "\??\…", with either slash, except "\\?\X:\…" and "\\?\UNC\…" (also after
// "\??\"), which name ordinary files; for a UNC path to a server's "pipe" or
// "mailslot"; and for a path whose last name Windows opens as a device
// ("NUL", "com1.pdf": DDeviceNameLength). Other UNC paths are files.
bool DIsDevicePath(const char16_t* path, uint32_t length);
