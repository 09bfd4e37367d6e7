// Writes a new file in one go.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

// Creates (or replaces) path, writes count bytes and closes it. Returns 0, or
// the first failure's status (negative).
int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count);
