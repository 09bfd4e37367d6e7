// The temporary folder (one a low-integrity process may write to) and file
// names in it that do not exist yet. Nothing here creates a file or folder.
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

// True when the folder is non-empty; it always ends with '\'.
[[nodiscard]] bool DGetTempFolder(DWString* folder);

// path = folder + prefix + 32 lower-case hex digits of a new GUID + "." +
// extension (no dot when the extension is empty or null). name, when given,
// receives the part after the folder. On failure both are empty.
[[nodiscard]] bool DMakeUniqueTempName(const DWChar* folder, const DWChar* prefix, const DWChar* extension,
                         DWString* path, DWString* name /* may be null */);

// Flags for DFormatGuid.
constexpr uint32_t kDGuidNoBraces = 1;
constexpr uint32_t kDGuidNoDashes = 2;
constexpr uint32_t kDGuidLowerCase = 4;

// Formats a newly created GUID.
[[nodiscard]] bool DFormatGuid(DWString* text, uint32_t flags);
