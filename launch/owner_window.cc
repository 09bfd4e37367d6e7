#include "launch/owner_window.h"

namespace {

const DWChar kParentWindow[] = u"--parent-window=";

bool StartsWith(const DWChar* text, const DWChar* prefix, const DWChar** rest) {
  while (*prefix)
    if (*text++ != *prefix++) return false;
  *rest = text;
  return true;
}

// A decimal number of 1 to 10 digits, perhaps negative, that fits in 32 bits
// signed or unsigned, and nothing after it. A 64-bit browser may write its
// handle as a signed number; handles keep their meaning in their low 32 bits
// and are sign-extended where pointers are wider.
bool ReadWindowNumber(const DWChar* digits, uintptr_t* window) {
  bool negative = *digits == u'-';
  if (negative) ++digits;
  int64_t number = 0;
  int count = 0;
  for (; *digits; ++digits, ++count) {
    if (*digits < u'0' || *digits > u'9' || count == 10) return false;
    number = number * 10 + (*digits - u'0');
  }
  if (count == 0 || number > (negative ? 0x80000000LL : 0xFFFFFFFFLL)) return false;
  *window = uintptr_t(intptr_t(int32_t(uint32_t(negative ? -number : number))));
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
    uintptr_t window = 0;
    if (ReadWindowNumber(digits, &window)) return window;
  }
  return 0;
}
