#include "host/reply.h"

#include "host/json_writer.h"

bool ComposeReply(int32_t state, const DWString& answer, DString* text) {
  return ComposeMessage(
      u"responceDone", 3,
      [&](JsonWriter& writer) {
        writer.Key(u"state");
        writer.Int64(int64_t(state));
        writer.Key(u"answer");
        WriteWideString(writer, answer.c_str(), DWString::Length(answer.c_str()));
      },
      text);
}

void WriteReply(const Channel& channel, int32_t state, const DWString& answer) {
  DString text;
  ComposeReply(state, answer, &text);
  WriteFrame(channel, text.c_str(), text.length());
}
