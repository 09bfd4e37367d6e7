// Writes a new file in one go.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

class DFileIo;

// Creates (or replaces) path, writes count bytes and closes it. Returns 0, or
// the first failure's status (negative). A failure after the file was
// created removes it: nothing half-written stays behind.
[[nodiscard]] int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count);
// The same through the given file calls (tests make them fail).
[[nodiscard]] int32_t DWriteNewFile(DFileIo* io, const DWChar* path, const void* bytes,
                                    uint32_t count);
