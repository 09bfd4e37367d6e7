#include "launch/ansi_safe_value.h"

#include "launch/ansi_unsafe_table.h"
#include "launch/argv_escape.h"

namespace {

// The hazards of the unit in any of the code pages.
uint8_t HazardsOf(DWChar unit) {
  uint32_t low = 0, high = kAnsiUnsafeCharacterCount;
  while (low < high) {
    uint32_t middle = (low + high) / 2;
    if (kAnsiUnsafeCharacters[middle].unit < unit) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  uint8_t hazards = 0;
  for (uint32_t i = low; i < kAnsiUnsafeCharacterCount && kAnsiUnsafeCharacters[i].unit == unit;
       ++i)
    hazards |= kAnsiUnsafeCharacters[i].hazard;
  return hazards;
}

// The table lists units of U+0080 and above outside the surrogates: two or
// three UTF-8 bytes.
uint32_t ReplacementLength(DWChar unit, ValueKind kind) {
  if (kind != ValueKind::kUrl) return 1;
  return unit < 0x800 ? 6 : 9;
}

bool AppendReplacement(DWString* out, DWChar unit, ValueKind kind) {
  if (kind == ValueKind::kText) return out->Append(u'?');
  if (kind == ValueKind::kFileName) return out->Append(u' ');
  uint8_t bytes[3];
  uint32_t count = 0;
  if (unit < 0x800) {
    bytes[count++] = uint8_t(0xC0 | unit >> 6);
  } else {
    bytes[count++] = uint8_t(0xE0 | unit >> 12);
    bytes[count++] = uint8_t(0x80 | (unit >> 6 & 0x3F));
  }
  bytes[count++] = uint8_t(0x80 | (unit & 0x3F));
  static const char kHex[] = "0123456789abcdef";
  for (uint32_t i = 0; i < count; ++i) {
    DWChar escape[3] = {u'%', DWChar(kHex[bytes[i] >> 4]), DWChar(kHex[bytes[i] & 15])};
    if (!out->Append(escape, 3)) return false;
  }
  return true;
}

uint32_t CharacterWidth(const DWChar* text, uint32_t at, uint32_t end) {
  bool pair = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < end && text[at + 1] >= 0xDC00 &&
              text[at + 1] <= 0xDFFF;
  return pair ? 2 : 1;
}

// A character whose trail byte is '\' is replaced where only a backslash run
// stands between it and a double quote: the value's own, or the closing one.
bool BeforeQuote(const DWChar* text, uint32_t next, uint32_t end) {
  while (next < end && text[next] == u'\\') ++next;
  return next == end || text[next] == u'"';
}

// Cutting between '%' and its two digits would leave a broken escape.
bool MayCut(const DWChar* text, uint32_t at, uint32_t length, ValueKind kind) {
  if (kind != ValueKind::kUrl || at == length) return true;
  return !(at >= 1 && text[at - 1] == u'%') && !(at >= 2 && text[at - 2] == u'%');
}

}  // namespace

ValueFit FitValue(const DWChar* text, uint32_t length, ValueKind kind, uint32_t room) {
  // What the escaped form takes is known for all but its end: a backslash run
  // there is doubled before the closing quote, and a trail-backslash
  // character just before that run is replaced.
  uint64_t settled = 0;      // every unit before the open backslash run
  uint32_t backslashes = 0;  // the open run
  uint32_t trail_extra = 0;  // what replacing the character before the run adds
  ValueFit best = {0, 0};
  for (uint32_t at = 0; at < length && settled <= room;) {
    DWChar unit = text[at];
    uint32_t width = CharacterWidth(text, at, length);
    if (unit == u'\\') {
      ++backslashes;
    } else if (unit == u'"') {
      settled += 2 * uint64_t(backslashes) + 2 + trail_extra;
      backslashes = trail_extra = 0;
    } else {
      uint8_t hazards = width == 1 ? HazardsOf(unit) : 0;
      settled += backslashes + (hazards & kSplits ? ReplacementLength(unit, kind) : width);
      backslashes = 0;
      trail_extra = hazards == kTrailBackslash ? ReplacementLength(unit, kind) - 1 : 0;
    }
    at += width;
    uint64_t units = settled + 2 * uint64_t(backslashes) + trail_extra;
    if (units <= room && MayCut(text, at, length, kind)) best = {at, uint32_t(units)};
  }
  return best;
}

bool AppendValue(DWString* out, const DWChar* text, ValueFit fit, ValueKind kind) {
  // The escaped form is never shorter than the replaced text.
  uint32_t taken = fit.taken;
  DWString safe;
  if (!safe.Reserve(fit.units) || fit.units > DWString::kLimit - out->length() ||
      !out->Reserve(out->length() + fit.units))
    return false;
  for (uint32_t at = 0; at < taken;) {
    uint32_t width = CharacterWidth(text, at, taken);
    uint8_t hazards = width == 1 ? HazardsOf(text[at]) : 0;
    bool replace =
        (hazards & kSplits) || (hazards == kTrailBackslash && BeforeQuote(text, at + 1, taken));
    if (!(replace ? AppendReplacement(&safe, text[at], kind) : safe.Append(text + at, width)))
      return false;
    at += width;
  }
  return AppendArgvEscaped(out, safe.c_str());
}
