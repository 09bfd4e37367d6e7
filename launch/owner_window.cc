#include "launch/owner_window.h"

namespace {

const DWChar kParentWindow[] = u"--parent-window=";

bool StartsWith(const DWChar* text, const DWChar* prefix, const DWChar** rest) {
  while (*prefix)
    if (*text++ != *prefix++) return false;
  *rest = text;
  return true;
}

// A decimal number of 1 to 10 digits that fits in 32 bits, and nothing after it.
bool ReadWindowNumber(const DWChar* digits, uint64_t* value) {
  uint64_t number = 0;
  int count = 0;
  for (; *digits; ++digits, ++count) {
    if (*digits < u'0' || *digits > u'9' || count == 10) return false;
    number = number * 10 + uint64_t(*digits - u'0');
  }
  if (count == 0 || number > 0xFFFFFFFFu) return false;
  *value = number;
  return true;
}

}  // namespace

uintptr_t FindOwnerWindow(uintptr_t named_window, uint32_t process_id, ProcessWindows& system) {
  if (named_window && system.IsWindow(named_window)) return named_window;
  for (int level = 0; level < kOwnerSearchLevels; ++level) {
    process_id = system.ParentOf(process_id);
    if (process_id == 0) break;
    if (uintptr_t window = system.FirstVisibleWindow(process_id)) return window;
  }
  return 0;
}

uintptr_t ParentWindowArgument(int count, const DWChar* const* arguments) {
  for (int i = 0; i < count; ++i) {
    const DWChar* digits = nullptr;
    if (!arguments[i] || !StartsWith(arguments[i], kParentWindow, &digits)) continue;
    uint64_t value = 0;
    if (ReadWindowNumber(digits, &value)) return uintptr_t(value);
  }
  return 0;
}
