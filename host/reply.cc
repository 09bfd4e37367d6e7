#include "host/reply.h"

#include "host/json_writer.h"

bool ComposeReply(int32_t state, const DWString& answer, DString* text) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  UseMessageLayout(writer);
  writer.StartObject();
  writer.Key(u"action");
  writer.String(u"responceDone");
  writer.Key(u"version");
  writer.Int(3);
  writer.Key(u"state");
  writer.Int64(int64_t(state));
  writer.Key(u"answer");
  WriteWideString(writer, answer.c_str(), DWString::Length(answer.c_str()));
  writer.EndObject();
  return CopyComposedText(buffer, text);
}

void WriteReply(const Channel& channel, int32_t state, const DWString& answer) {
  DString text;
  ComposeReply(state, answer, &text);
  WriteFrame(channel, text.c_str(), text.length());
}
