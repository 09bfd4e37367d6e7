// The layout every composed message shares: RapidJSON's PrettyWriter, UTF-8
// output, four blanks of indent, default format options.
#pragma once

#include <rapidjson/encodings.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "zevar/dstring.h"

using JsonWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer, rapidjson::UTF16<DWChar>,
                                           rapidjson::UTF8<>>;

template <typename Writer>
void UseMessageLayout(Writer& writer) {
  writer.SetIndent(' ', 4);
}

// Writes a UTF-16 string value. An unpaired surrogate, which the writer would
// stop at, is written as U+FFFD so the message stays whole.
bool WriteWideString(JsonWriter& writer, const DWChar* text, uint32_t count);

// Copies the composed text up to its first NUL. False (and the copy left
// empty) when there is no memory for it.
bool CopyComposedText(const rapidjson::StringBuffer& buffer, DString* text);

// Composes {"action": action, "version": version, ...} where the caller's
// write_members(writer) adds the members that follow.
template <typename WriteMembers>
bool ComposeMessage(const DWChar* action, int version, WriteMembers write_members,
                    DString* text) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  UseMessageLayout(writer);
  writer.StartObject();
  writer.Key(u"action");
  writer.String(action);
  writer.Key(u"version");
  writer.Int(version);
  write_members(writer);
  writer.EndObject();
  return CopyComposedText(buffer, text);
}
