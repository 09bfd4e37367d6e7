#include "host/request.h"

namespace {

// The lookup table; an action's number is its index.
constexpr const char* kActionNames[] = {
    "MHTMLoPDF", "preferences", "openPDF", "HTMLoPDF",
    "openByURL", "cancel",      "openLocalPDF", "actGetVersion",
};

unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

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

namespace {

void FindAction(ParsedRequest* request) {
  request->action = kActionNone;
  const rapidjson::Document& document = request->document;
  if (document.HasParseError() || !document.IsObject()) return;
  // FindMember returns the first member of that name.
  auto action = document.FindMember("action");
  if (action == document.MemberEnd() || !action->value.IsString()) return;
  const char* name = action->value.GetString();
  for (int32_t id = 0; id < int32_t(sizeof kActionNames / sizeof *kActionNames); ++id) {
    if (ActionNameMatches(name, kActionNames[id])) {
      request->action = static_cast<ActionId>(id);
      return;
    }
  }
}

}  // namespace

// Iterative parsing: the grammar of the default flags without recursion, so
// no nesting depth can exhaust the stack.
void ParseRequest(const char* text, ParsedRequest* request) {
  request->document.Parse<rapidjson::kParseIterativeFlag>(text);
  FindAction(request);
}

void ParseRequestInPlace(char* text, ParsedRequest* request) {
  request->document.ParseInsitu<rapidjson::kParseIterativeFlag>(text);
  FindAction(request);
}
