// Writes a new file in one go.
#pragma once

#include <cstdint>

#include "zevar/dbyte_chain.h"
#include "zevar/dstring.h"

class DFileIo;

// Creates (or replaces) path, writes the chain's extents one after the other
// through io's calls and closes it. Returns 0, or the first failure's status
// (negative). A failure after the file was created removes it: nothing
// half-written stays behind.
[[nodiscard]] int32_t DWriteNewFileFrom(DFileIo* io, const DWChar* path, const DByteChain& bytes);
// The same for count bytes in one piece.
[[nodiscard]] int32_t DWriteNewFile(DFileIo* io, const DWChar* path, const void* bytes,
                                    uint32_t count);
// The same through the process's own file calls.
[[nodiscard]] int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count);
