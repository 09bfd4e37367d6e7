// The report as lines for a person: one per finding, problems with their fix.
#pragma once

#include "diagnose/report.h"

class LineOutput {
 public:
  virtual ~LineOutput() = default;
  // One line of UTF-8 text, without its line break.
  virtual bool WriteLine(const char* text, uint32_t length) = 0;
};

class TextReport final : public ReportSink {
 public:
  explicit TextReport(LineOutput* out) : out_(out) {}
  bool Finding(Verdict verdict, const char* topic, const char* text, const char* fix) override;
  bool Browser(const char* name, BrowserState state, const char* manifest) override;
  bool Finish(uint32_t problems) override;

 private:
  bool Line(const DString& line) { return out_->WriteLine(line.c_str(), line.length()); }
  LineOutput* out_;
};
