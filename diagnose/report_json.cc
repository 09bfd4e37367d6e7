#include "diagnose/report_json.h"

#include <cstring>

namespace {

const char* kVerdictNames[] = {"ok", "note", "problem"};

}  // namespace

bool JsonReport::Finding(Verdict verdict, const char* topic, const char* text, const char* fix) {
  if (!started_) {
    started_ = browser_writer_.StartObject() && finding_writer_.StartArray();
    if (!started_) return false;
  }
  rapidjson::Writer<rapidjson::StringBuffer>& w = finding_writer_;
  return w.StartObject() && w.Key("verdict") && w.String(kVerdictNames[int(verdict)]) &&
         w.Key("topic") && w.String(topic) && w.Key("text") && w.String(text) && w.Key("fix") &&
         w.String(fix) && w.EndObject();
}

bool JsonReport::Browser(const char* name, BrowserState state, const char* manifest) {
  if (!started_) {
    started_ = browser_writer_.StartObject() && finding_writer_.StartArray();
    if (!started_) return false;
  }
  rapidjson::Writer<rapidjson::StringBuffer>& w = browser_writer_;
  return w.Key(name) && w.StartObject() && w.Key("state") && w.String(BrowserStateName(state)) &&
         w.Key("manifest") && w.String(manifest) && w.EndObject();
}

bool JsonReport::Finish(uint32_t problems) {
  if (!started_ && !(browser_writer_.StartObject() && finding_writer_.StartArray())) return false;
  if (!browser_writer_.EndObject() || !finding_writer_.EndArray()) return false;
  rapidjson::StringBuffer whole;
  rapidjson::Writer<rapidjson::StringBuffer> w(whole);
  bool ok = w.StartObject() && w.Key("canWork") && w.Bool(problems == 0) && w.Key("problems") &&
            w.Uint(problems) && w.Key("browsers") &&
            w.RawValue(browsers_.GetString(), browsers_.GetSize(), rapidjson::kObjectType) &&
            w.Key("findings") &&
            w.RawValue(findings_.GetString(), findings_.GetSize(), rapidjson::kArrayType) &&
            w.EndObject();
  return ok && out_->WriteLine(whole.GetString(), uint32_t(whole.GetSize()));
}
