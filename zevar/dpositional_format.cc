#include "zevar/dpositional_format.h"

#include <cstring>
#include <utility>

#include "zevar/dmem.h"

namespace {
constexpr uint32_t kMaxDigits = 31;
}

DPositionalFormat::DPositionalFormat(DWString&& pattern) : pattern_(std::move(pattern)) {
  parsed_ = Parse();
}

DPositionalFormat::~DPositionalFormat() {
  for (uint32_t i = 0; i < argument_count_; ++i) DMemFree(arguments_[i].text);
  DMemFree(arguments_);
  DMemFree(segments_);
}

bool DPositionalFormat::AddSegment(uint32_t offset, uint32_t length, uint32_t number) {
  if (number == 0 && length == 0) return true;
  if (segment_count_ == segment_room_) {
    uint32_t room = segment_room_ ? segment_room_ * 2 : 8;
    void* grown = DMemRealloc(segments_, size_t(room) * sizeof(Segment));
    if (!grown) return false;
    segments_ = static_cast<Segment*>(grown);
    segment_room_ = room;
  }
  segments_[segment_count_++] = {offset, length, number};
  return true;
}

bool DPositionalFormat::Parse() {
  const DWChar* text = pattern_.c_str();
  uint32_t length = pattern_.length();
  uint32_t literal = 0;  // start of the pending literal text
  for (uint32_t at = 0; at < length;) {
    // c_str() holds length() units; the analyzer cannot tell.
    // NOLINTNEXTLINE(clang-analyzer-core.UndefinedBinaryOperatorResult)
    if (text[at] != u'%') {
      ++at;
      continue;
    }
    needs_building_ = true;
    if (!AddSegment(literal, at - literal, 0)) return false;
    uint32_t run = 0;
    while (at + run < length && text[at + run] == u'%') ++run;
    // The run's first run / 2 characters are the literal '%'s it stands for.
    if (!AddSegment(at, run / 2, 0)) return false;
    at += run;
    if (run % 2) {
      // The number saturates: a placeholder beyond kMaxArgument is never set.
      uint32_t number = 0, digits = 0;
      while (at < length && digits < kMaxDigits && text[at] >= u'0' && text[at] <= u'9') {
        uint32_t digit = text[at] - u'0';
        number = number > (kMaxArgument + 1 - digit) / 10 ? kMaxArgument + 1 : number * 10 + digit;
        ++at, ++digits;
      }
      if (number != 0 && !AddSegment(0, 0, number)) return false;
    }
    literal = at;
  }
  return needs_building_ ? AddSegment(literal, length - literal, 0) : true;
}

bool DPositionalFormat::SetArgument(uint32_t number, const DWChar* text) {
  if (number == 0 || number > kMaxArgument) return false;
  uint32_t length = DWString::Length(text);
  DWChar* copy = static_cast<DWChar*>(DMemAlloc((size_t(length) + 1) * sizeof(DWChar)));
  if (!copy) return false;
  if (length) std::memcpy(copy, text, length * sizeof(DWChar));
  copy[length] = 0;
  if (number > argument_count_) {
    void* grown = DMemRealloc(arguments_, size_t(number) * sizeof(Argument));
    if (!grown) {
      DMemFree(copy);
      return false;
    }
    arguments_ = static_cast<Argument*>(grown);
    for (uint32_t i = argument_count_; i < number; ++i) arguments_[i] = {nullptr, 0};
    argument_count_ = number;
  }
  Argument& argument = arguments_[number - 1];
  DMemFree(argument.text);
  argument = {copy, length};
  dirty_ = true;
  return true;
}

bool DPositionalFormat::Build() {
  if (!parsed_) {
    result_.Empty();
    built_ = true;
    return false;
  }
  if (!needs_building_) return true;
  if (built_ && !dirty_) return true;
  built_ = true;
  result_.Empty();
  const Argument kUnset = {nullptr, 0};
  uint64_t total = 0;
  for (uint32_t i = 0; i < segment_count_; ++i) {
    const Segment& s = segments_[i];
    const Argument& a = s.number && s.number <= argument_count_ ? arguments_[s.number - 1] : kUnset;
    total += s.number ? a.length : s.length;
  }
  if (total > DWString::kLimit || !result_.Reserve(uint32_t(total))) return false;
  bool ok = true;  // the room is reserved: appending cannot fail, but is checked
  for (uint32_t i = 0; ok && i < segment_count_; ++i) {
    const Segment& s = segments_[i];
    if (s.number == 0) {
      ok = result_.Append(pattern_.c_str() + s.offset, s.length);
    } else if (s.number <= argument_count_ && arguments_[s.number - 1].text) {
      ok = result_.Append(arguments_[s.number - 1].text, arguments_[s.number - 1].length);
    }
  }
  if (!ok) {
    result_.Empty();
    return false;
  }
  dirty_ = false;
  return true;
}
