// The findings of the installation check and where they go: a line each on
// the console (report_text.h) or one JSON object (report_json.h).
#pragma once

#include <cstdint>

#include "zevar/dstring.h"

enum class Verdict { kOk, kNote, kProblem };

// What one browser makes of the registration, for the summary.
enum class BrowserState { kRegistered, kNotRegistered, kBroken, kBlocked };

class ReportSink {
 public:
  virtual ~ReportSink() = default;
  // fix is empty unless the verdict is a problem.
  virtual bool Finding(Verdict verdict, const char* topic, const char* text, const char* fix) = 0;
  virtual bool Browser(const char* name, BrowserState state, const char* manifest) = 0;
  virtual bool Finish(uint32_t problems) = 0;
};

// Appends every part; false when memory runs out.
inline bool Join(DString*) { return true; }
template <typename... Parts>
bool Join(DString* text, const char* part, Parts... parts) {
  return text->Append(part ? part : "") && Join(text, parts...);
}

// Counts the problems and remembers a failure to compose or write, which
// makes the check fail as a problem would.
class Report {
 public:
  explicit Report(ReportSink* sink) : sink_(sink) {}

  template <typename... Parts>
  void Ok(const char* topic, Parts... parts) {
    Add(Verdict::kOk, topic, "", parts...);
  }
  template <typename... Parts>
  void Note(const char* topic, Parts... parts) {
    Add(Verdict::kNote, topic, "", parts...);
  }
  // The first part after the topic is the fix: what to do about it.
  template <typename... Parts>
  void Problem(const char* topic, const char* fix, Parts... parts) {
    ++problems_;
    Add(Verdict::kProblem, topic, fix, parts...);
  }
  void Browser(const char* name, BrowserState state, const char* manifest) {
    if (!sink_->Browser(name, state, manifest ? manifest : "")) failed_ = true;
  }
  // The exit code: 0 when the host can work.
  int Finish() {
    if (!sink_->Finish(problems_)) failed_ = true;
    return problems_ == 0 && !failed_ ? 0 : 1;
  }
  uint32_t problems() const { return problems_; }

 private:
  template <typename... Parts>
  void Add(Verdict verdict, const char* topic, const char* fix, Parts... parts) {
    DString text;
    if (!Join(&text, parts...) || !sink_->Finding(verdict, topic, text.c_str(), fix))
      failed_ = true;
  }

  ReportSink* sink_;
  uint32_t problems_ = 0;
  bool failed_ = false;
};

const char* BrowserStateName(BrowserState state);
