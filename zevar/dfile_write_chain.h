// Writes a new file from bytes held in pieces.
#pragma once

#include <cstdint>

#include "zevar/dbyte_chain.h"
#include "zevar/dstring.h"

class DFileIo;

// Creates (or replaces) path and writes the chain's extents one after the
// other, through io's calls. Returns 0, or the first failure's status
// (negative); a file that was not written in full is removed.
int32_t DWriteNewFileFrom(DFileIo* io, const DWChar* path, const DByteChain& bytes);
