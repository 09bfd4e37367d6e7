// The bounds of every parse of request text. Requests are flat objects, at
// most two levels deep with a few members; the limits leave ample room and
// keep a parse's memory at the text (parsed in place) plus a small constant.
// A text beyond them does not parse.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include <cstddef>
#include <cstdint>

// Arrays and objects open at once.
constexpr uint32_t kJsonMaxDepth = 32;
// Values in one text, member names included.
constexpr uint32_t kJsonMaxValues = 1024;

// In place (no string is copied) and iterative (no recursion).
constexpr unsigned kBoundedParseFlags =
    rapidjson::kParseInsituFlag | rapidjson::kParseIterativeFlag;

// The iterative reader's stack holds two numbers per open array or object,
// pushed before the handler hears of it: room for one past the limit.
constexpr size_t kJsonReaderStackBytes =
    (size_t(kJsonMaxDepth) + 1) * 2 * sizeof(rapidjson::SizeType);

// Passes a reader's events on to inner while the text stays within the
// limits; the first event beyond them stops the parse.
template <typename Inner>
class BoundedHandler {
 public:
  using Ch = char;
  explicit BoundedHandler(Inner& inner) : inner_(inner) {}

  bool Null() { return Count() && inner_.Null(); }
  bool Bool(bool b) { return Count() && inner_.Bool(b); }
  bool Int(int i) { return Count() && inner_.Int(i); }
  bool Uint(unsigned i) { return Count() && inner_.Uint(i); }
  bool Int64(int64_t i) { return Count() && inner_.Int64(i); }
  bool Uint64(uint64_t i) { return Count() && inner_.Uint64(i); }
  bool Double(double d) { return Count() && inner_.Double(d); }
  bool RawNumber(const Ch* s, rapidjson::SizeType n, bool copy) {
    return Count() && inner_.RawNumber(s, n, copy);
  }
  bool String(const Ch* s, rapidjson::SizeType n, bool copy) {
    return Count() && inner_.String(s, n, copy);
  }
  bool Key(const Ch* s, rapidjson::SizeType n, bool copy) {
    return Count() && inner_.Key(s, n, copy);
  }
  bool StartObject() { return Open() && inner_.StartObject(); }
  bool EndObject(rapidjson::SizeType members) {
    --depth_;
    return inner_.EndObject(members);
  }
  bool StartArray() { return Open() && inner_.StartArray(); }
  bool EndArray(rapidjson::SizeType elements) {
    --depth_;
    return inner_.EndArray(elements);
  }

 private:
  bool Count() { return ++values_ <= kJsonMaxValues; }
  bool Open() { return Count() && ++depth_ <= kJsonMaxDepth; }

  Inner& inner_;
  uint32_t values_ = 0;
  uint32_t depth_ = 0;
};
