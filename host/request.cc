#include "host/request.h"

#include <cstring>

#include "host/json_limits.h"
#include "zevar/dmem.h"

namespace {

// The lookup table; an action's number is its index.
constexpr const char* kActionNames[] = {
    "MHTMLoPDF", "preferences", "openPDF", "HTMLoPDF",
    "openByURL", "cancel",      "openLocalPDF", "actGetVersion",
};
constexpr size_t kLongestName = 13;  // "actGetVersion"

unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

// The DOM's value stack holds at most every value of the text; the arrays and
// objects it builds take one copy of each value but the root. The document's
// stack is made that large at once, so it never grows.
constexpr size_t kDocumentStackBytes = kJsonMaxValues * sizeof(RequestValue);
constexpr size_t kBlockBytes = 2 * kDocumentStackBytes + kJsonReaderStackBytes + 16;

ActionId ActionOfName(const char* name) {
  for (int32_t id = 0; id < int32_t(sizeof kActionNames / sizeof *kActionNames); ++id)
    if (ActionNameMatches(name, kActionNames[id])) return static_cast<ActionId>(id);
  return kActionNone;
}

void FindAction(ParsedRequest* request) {
  request->action = kActionNone;
  const RequestDocument& document = request->document;
  if (!document.IsObject()) return;
  // FindMember returns the first member of that name.
  auto action = document.FindMember("action");
  if (action == document.MemberEnd() || !action->value.IsString()) return;
  request->action = ActionOfName(action->value.GetString());
}

// Builds the document from a bounded in-place parse. The arrays and objects
// come from the arena; their room is checked before RapidJSON asks for it.
class DocumentBuilder {
 public:
  DocumentBuilder(char* text, ParseArena* arena) : text_(text), arena_(arena) {}

  bool operator()(RequestDocument& document) {
    document_ = &document;
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, ParseArena> reader(
        arena_, kJsonReaderStackBytes);
    rapidjson::InsituStringStream stream(text_);
    BoundedHandler<DocumentBuilder> bounded(*this);
    parsed_ = !reader.Parse<kBoundedParseFlags>(stream, bounded).IsError();
    return parsed_;
  }
  bool parsed() const { return parsed_; }

  bool Null() { return document_->Null(); }
  bool Bool(bool b) { return document_->Bool(b); }
  bool Int(int i) { return document_->Int(i); }
  bool Uint(unsigned i) { return document_->Uint(i); }
  bool Int64(int64_t i) { return document_->Int64(i); }
  bool Uint64(uint64_t i) { return document_->Uint64(i); }
  bool Double(double d) { return document_->Double(d); }
  bool RawNumber(const char* s, rapidjson::SizeType n, bool copy) {
    return document_->RawNumber(s, n, copy);
  }
  bool String(const char* s, rapidjson::SizeType n, bool copy) {
    return document_->String(s, n, copy);
  }
  bool Key(const char* s, rapidjson::SizeType n, bool copy) { return document_->Key(s, n, copy); }
  bool StartObject() { return document_->StartObject(); }
  bool EndObject(rapidjson::SizeType members) {
    return arena_->Room() >= members * sizeof(RequestDocument::Member) &&
           document_->EndObject(members);
  }
  bool StartArray() { return document_->StartArray(); }
  bool EndArray(rapidjson::SizeType elements) {
    return arena_->Room() >= elements * sizeof(RequestValue) && document_->EndArray(elements);
  }

 private:
  char* text_;
  ParseArena* arena_;
  RequestDocument* document_ = nullptr;
  bool parsed_ = false;
};

// A stream over a text that must stay as it is: what an in-place parse would
// write back (a string's decoded bytes) is counted, and only its first bytes
// kept, enough to tell a member name or an action name.
class ReadOnlyStream {
 public:
  using Ch = char;
  explicit ReadOnlyStream(const char* text) : head_(text), at_(text) {}
  Ch Peek() const { return *at_; }
  Ch Take() { return *at_++; }
  size_t Tell() const { return size_t(at_ - head_); }
  Ch* PutBegin() {
    put_ = 0;
    return kept_;
  }
  void Put(Ch c) {
    if (put_ < sizeof kept_) kept_[put_] = c;
    ++put_;
  }
  size_t PutEnd(Ch*) { return put_; }
  void Flush() {}

  // The first bytes of the last string, as many as kept_ holds.
  static constexpr size_t kKept = kLongestName + 3;

 private:
  const char* head_;
  const char* at_;
  char kept_[kKept];
  size_t put_ = 0;
};

// Follows the root object's members for the first "action", as FindMember
// would, from the strings' first bytes.
class ActionFinder {
 public:
  ActionId action() const { return action_; }

  bool Null() { return Other(); }
  bool Bool(bool) { return Other(); }
  bool Int(int) { return Other(); }
  bool Uint(unsigned) { return Other(); }
  bool Int64(int64_t) { return Other(); }
  bool Uint64(uint64_t) { return Other(); }
  bool Double(double) { return Other(); }
  bool RawNumber(const char*, rapidjson::SizeType, bool) { return Other(); }
  bool String(const char* kept, rapidjson::SizeType length, bool) {
    if (next_is_action_) {
      // A name longer than the kept bytes matches none: they all are shorter.
      char name[ReadOnlyStream::kKept];
      size_t n = length < sizeof name - 1 ? length : sizeof name - 1;
      std::memcpy(name, kept, n);
      name[n] = 0;
      action_ = ActionOfName(name);
    }
    return Other();
  }
  bool Key(const char* kept, rapidjson::SizeType length, bool) {
    if (depth_ == 1 && root_is_object_ && !found_ && length == 6 &&
        std::memcmp(kept, "action", 6) == 0)
      found_ = next_is_action_ = true;
    return true;
  }
  bool StartObject() { return Open(true); }
  bool EndObject(rapidjson::SizeType) { return Close(); }
  bool StartArray() { return Open(false); }
  bool EndArray(rapidjson::SizeType) { return Close(); }

 private:
  bool Other() {
    next_is_action_ = false;
    return true;
  }
  bool Open(bool object) {
    if (depth_++ == 0) root_is_object_ = object;
    return Other();
  }
  bool Close() {
    --depth_;
    return true;
  }

  uint32_t depth_ = 0;
  bool root_is_object_ = false;
  bool found_ = false;
  bool next_is_action_ = false;
  ActionId action_ = kActionNone;
};

}  // namespace

bool ActionNameMatches(const char* text, const char* name) {
  for (size_t i = 0;; ++i) {
    unsigned char a = static_cast<unsigned char>(text[i]);
    unsigned char b = static_cast<unsigned char>(name[i]);
    if ((a >= 0x80) != (b >= 0x80)) return false;
    // Both high cannot happen with the ASCII names; compare them as bytes.
    if (FoldAscii(a) != FoldAscii(b)) return false;
    if (a == 0) return true;
  }
}

ParsedRequest::ParsedRequest() : document(&arena, kDocumentStackBytes, &arena) {}

ParsedRequest::~ParsedRequest() { DMemFree(block); }

void ParseRequest(char* text, ParsedRequest* request) {
  request->action = kActionNone;
  request->document.SetNull();
  if (!request->block) request->block = DMemAlloc(kBlockBytes);
  if (!request->block) return;  // no memory: nothing is parsed
  request->arena.Use(request->block, kBlockBytes);
  DocumentBuilder builder(text, &request->arena);
  request->document.Populate(builder);
  if (!builder.parsed()) {
    request->document.SetNull();
    return;
  }
  FindAction(request);
}

ActionId FindRequestAction(const char* text) {
  alignas(8) char stack[kJsonReaderStackBytes];
  ParseArena arena(stack, sizeof stack);
  rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, ParseArena> reader(&arena,
                                                                                    sizeof stack);
  ReadOnlyStream stream(text);
  ActionFinder finder;
  BoundedHandler<ActionFinder> bounded(finder);
  if (reader.Parse<kBoundedParseFlags>(stream, bounded).IsError()) return kActionNone;
  return finder.action();
}
