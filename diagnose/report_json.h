// The report as one JSON object, for support scripts:
// {"canWork": bool, "problems": n,
//  "browsers": {"<name>": {"state": "...", "manifest": "..."}, ...},
//  "findings": [{"verdict": "ok"|"note"|"problem", "topic", "text", "fix"}, ...]}
#pragma once

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "diagnose/report.h"
#include "diagnose/report_text.h"

class JsonReport final : public ReportSink {
 public:
  // The object is written to out as one line when the check finishes.
  explicit JsonReport(LineOutput* out) : out_(out) {}
  bool Finding(Verdict verdict, const char* topic, const char* text, const char* fix) override;
  bool Browser(const char* name, BrowserState state, const char* manifest) override;
  bool Finish(uint32_t problems) override;

 private:
  LineOutput* out_;
  // Composed apart and joined at the end: browsers come first in the object.
  rapidjson::StringBuffer browsers_, findings_;
  rapidjson::Writer<rapidjson::StringBuffer> browser_writer_{browsers_}, finding_writer_{findings_};
  bool started_ = false;
};
