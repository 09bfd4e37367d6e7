#include "diagnose/report_text.h"

#include <cstdio>

namespace {

// Topics are padded so the texts start in one column.
bool Pad(DString* line, const char* text, uint32_t width) {
  if (!line->Append(text)) return false;
  for (uint32_t n = DString::Length(text); n < width; ++n)
    if (!line->Append(' ')) return false;
  return true;
}

const char* kVerdictWords[] = {"ok", "note", "PROBLEM"};

}  // namespace

const char* BrowserStateName(BrowserState state) {
  switch (state) {
    case BrowserState::kRegistered:
      return "registered";
    case BrowserState::kNotRegistered:
      return "not registered";
    case BrowserState::kBroken:
      return "broken";
    case BrowserState::kBlocked:
      return "blocked by policy";
  }
  return "";
}

bool TextReport::Finding(Verdict verdict, const char* topic, const char* text, const char* fix) {
  DString line;
  return Pad(&line, kVerdictWords[int(verdict)], 9) && Pad(&line, topic, 11) && line.Append(text) &&
         (!fix[0] || Join(&line, " Fix: ", fix)) && Line(line);
}

bool TextReport::Browser(const char* name, BrowserState state, const char*) {
  DString line;
  return Pad(&line, "", 9) && Pad(&line, name, 11) && Join(&line, "=> ", BrowserStateName(state)) &&
         Line(line);
}

bool TextReport::Finish(uint32_t problems) {
  DString line;
  if (problems == 0) return line.Assign("The host can work: no problem found.") && Line(line);
  char count[16];
  static_cast<void>(std::snprintf(count, sizeof count, "%u", problems));
  return Join(&line, count, problems == 1 ? " problem" : " problems",
              ": the host cannot work as installed until it is fixed.") &&
         Line(line);
}
