// The suite's product table and the registry entries derived from it.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

struct DProductInfo {
  uint32_t number;             // 0 in an empty entry
  const DWChar* code_name;
  const DWChar* settings_keys[3];
  // Per installation variant, its names; the first is the registry key name.
  const DWChar* const* variant_names[3];
};

constexpr uint32_t kProductEditor = 1;

// Products 1 to 13; any other number gives the empty entry.
const DProductInfo& DGetProductInfo(uint32_t product);

// SOFTWARE\Vellumix\<key name of variant 0>; false when the product has none.
[[nodiscard]] bool DGetProductKeyPath(uint32_t product, DWString* key_path);

// Which registry views DGetProductInstallPath reads, in the order 32-bit
// (the program's own view), then 64-bit.
enum DRegistryViews : uint32_t {
  kRegistryView32 = 1,
  kRegistryView64 = 2,
  kRegistryViewsBoth = 3,
};
