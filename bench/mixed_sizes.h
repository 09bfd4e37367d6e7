// The block sizes of the allocator's batch case, the same on every platform so
// the native and wine64 figures compare: 1,000 sizes from 8 to 1,024 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline std::vector<size_t> MixedSizes() {
  std::vector<size_t> sizes(1000);
  uint32_t x = 12345;
  for (size_t& s : sizes) {
    x = x * 1103515245u + 12345u;
    s = 8 + (x >> 16) % 1017;
  }
  return sizes;
}
