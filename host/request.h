// A request message parsed into a JSON document and its action number.
#pragma once

#include <cstdint>

#include <rapidjson/document.h>

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

struct ParsedRequest {
  rapidjson::Document document;
  ActionId action = kActionNone;
};

// Never fails: a text that is not a JSON object with a known string member
// "action" yields kActionNone.
void ParseRequest(const char* text, ParsedRequest* request);

// The same, parsing the text where it lies: the document's strings point into
// it, so the text must outlive the document. Saves a copy of every string.
void ParseRequestInPlace(char* text, ParsedRequest* request);

// ASCII letters match without regard to case; any other byte must be equal.
// Both texts end at their first NUL. Meant for the ASCII action names: a byte
// of 0x80 or above in the text never matches one.
bool ActionNameMatches(const char* text, const char* name);
