// A request message parsed into a JSON document and its action number.
#pragma once

#include <rapidjson/document.h>

#include <cstdint>

#include "host/parse_arena.h"

enum ActionId : int32_t {
  kActionNone = -1,
  kActionMhtmlToPdf = 0,
  kActionPreferences = 1,
  kActionOpenPdf = 2,
  kActionHtmlToPdf = 3,
  kActionOpenByUrl = 4,
  kActionCancel = 5,
  kActionOpenLocalPdf = 6,
  kActionGetVersion = 7,
};

// The document's values and its parse's stacks all come from one block, taken
// when the parse starts; its strings lie in the text, parsed in place.
using RequestDocument = rapidjson::GenericDocument<rapidjson::UTF8<>, ParseArena, ParseArena>;
using RequestValue = RequestDocument::ValueType;

struct ParsedRequest {
  ParsedRequest();
  ~ParsedRequest();
  ParsedRequest(const ParsedRequest&) = delete;
  ParsedRequest& operator=(const ParsedRequest&) = delete;

  ParseArena arena;
  void* block = nullptr;  // the arena's, from the runtime allocator
  RequestDocument document;
  ActionId action = kActionNone;
};

// Parses the text (up to its first NUL) where it lies: the document's strings
// point into it, so the text must outlive the document, and it no longer
// holds the original JSON. Never fails: a text that is not a JSON object with
// a known string member "action", one nested or sized beyond the limits of
// host/json_limits.h, or one there is no memory to parse yields kActionNone
// and a null document.
void ParseRequest(char* text, ParsedRequest* request);

// The action ParseRequest would find in the text, found without writing to
// the text or building a document, and without memory of its own.
ActionId FindRequestAction(const char* text);

// ASCII letters match without regard to case; any other byte must be equal.
// Both texts end at their first NUL. Meant for the ASCII action names: a byte
// of 0x80 or above in the text never matches one.
bool ActionNameMatches(const char* text, const char* name);
