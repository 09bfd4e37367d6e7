#include "actions/pending_deps.h"

#include "host/channel.h"
#include "zevar/dcodepage.h"

namespace {

bool AppendChunk(const rapidjson::Value& message, DString* payload) {
  if (!message.IsObject()) return false;
  auto data = message.FindMember("data");
  if (data != message.MemberEnd() && data->value.IsString()) payload->Append(data->value.GetString());
  auto rest = message.FindMember("dataRest");
  return rest != message.MemberEnd() && rest->value.IsInt() && rest->value.GetInt() > 0;
}

bool Unsafe(unsigned char c) {
  if (c < 0x20 || c >= 0x7F) return true;
  for (const char* s = " \"#$%&+,;<=>?@[\\]^`{|}"; *s; ++s)
    if (c == static_cast<unsigned char>(*s)) return true;
  return false;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

bool ReceiveChunkedData(HostSession& session, const ParsedRequest& request, ActionId action,
                        DString* payload) {
  static const char kChunkRequest[] = "{ \"action\": \"sendNextData\", \"version\": 1 }";
  bool more = AppendChunk(request.document, payload);
  while (more) {
    WriteMessage(session.channel, kChunkRequest);
    DString message;
    if (ReadMessage(session.channel, &message) == ReadOutcome::kEnded) {
      payload->Release();
      return false;
    }
    ParsedRequest next;
    ParseRequest(message.c_str(), &next);
    if (next.action == action) more = AppendChunk(next.document, payload);
  }
  return true;
}

bool DEscapeUrl(const DWChar* text, DWString* result, uint32_t) {
  result->Empty();
  DString utf8;
  if (!text || !*text || !DWideToUtf8(text, DWString::Length(text), &utf8)) return false;
  static const char kHex[] = "0123456789abcdef";
  DString escaped;
  for (uint32_t i = 0; i < utf8.length(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8.c_str()[i]);
    if (Unsafe(c)) {
      char e[3] = {'%', kHex[c >> 4], kHex[c & 15]};
      escaped.Append(e, 3);
    } else {
      escaped.Append(char(c));
    }
  }
  if (escaped.length() + 1 > 3 * DWString::Length(text) + 128) return false;
  return DUtf8ToWide(escaped.c_str(), escaped.length(), result);
}

bool DUnescapeUrl(const DWChar* text, DWString* result) {
  result->Empty();
  DString utf8, bytes;
  if (!DWideToUtf8(text, DWString::Length(text), &utf8)) return false;
  const char* s = utf8.c_str();
  for (uint32_t i = 0; i < utf8.length(); ++i) {
    if (s[i] != '%') {
      bytes.Append(s[i]);
      continue;
    }
    int high = i + 1 < utf8.length() ? HexValue(s[i + 1]) : -1;
    int low = i + 2 < utf8.length() ? HexValue(s[i + 2]) : -1;
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
    bytes.Append(char(high * 16 + low));
    i += 2;
  }
  return DUtf8ToWide(bytes.c_str(), bytes.length(), result);
}

DPositionalFormat::DPositionalFormat(DWString&& pattern) : pattern_(static_cast<DWString&&>(pattern)) {}

bool DPositionalFormat::SetArgument(uint32_t number, const DWChar* text) {
  return number == 1 && argument_.Assign(text);
}

bool DPositionalFormat::Build() {
  text_.Empty();
  const DWChar* p = pattern_.c_str();
  for (uint32_t i = 0; p[i];) {
    if (p[i] == u'%' && p[i + 1] == u'%') {
      text_.Append(u'%');
      i += 2;
    } else if (p[i] == u'%' && p[i + 1] == u'1') {
      text_.Append(argument_.c_str(), argument_.length());
      i += 2;
    } else {
      text_.Append(p[i++]);
    }
  }
  return true;
}

bool PendingBase64Decode(const char* text, uint32_t length, DString* bytes) {
  bytes->Empty();
  uint32_t bits = 0, count = 0;
  for (uint32_t i = 0; i < length; ++i) {
    int v = Base64Value(text[i]);
    if (v < 0) continue;
    bits = (bits << 6) | uint32_t(v);
    if (++count == 4) {
      char out[3] = {char(bits >> 16), char(bits >> 8), char(bits)};
      bytes->Append(out, 3);
      bits = count = 0;
    }
  }
  if (count >= 2) bytes->Append(char(bits >> (count == 2 ? 4 : 10)));
  if (count == 3) bytes->Append(char(bits >> 2));
  return !bytes->empty();
}

#ifdef _WIN32
#include <objbase.h>

#include "host/platform_win.h"

bool DPathExists(const DWChar* path, WIN32_FIND_DATAW*) {
  return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

bool DGetTempFolder(DWString* folder) {
  folder->Empty();
  wchar_t buffer[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  return n > 0 && n <= MAX_PATH && folder->Assign(reinterpret_cast<DWChar*>(buffer), n);
}

bool DMakeUniqueTempName(const DWChar* folder, const DWChar* prefix, const DWChar* extension,
                         DWString* path, DWString* name) {
  path->Empty();
  name->Empty();
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return false;
  unsigned char b[16];
  memcpy(b, &guid, 16);
  static const char16_t kHex[] = u"0123456789abcdef";
  name->Append(prefix);
  for (unsigned char c : b) {
    name->Append(kHex[c >> 4]);
    name->Append(kHex[c & 15]);
  }
  name->Append(u'.');
  name->Append(extension);
  return path->Append(folder) && path->Append(name->c_str(), name->length());
}

int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count) {
  HANDLE file = CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return int32_t(0x83FF0000u | (GetLastError() & 0xFFFF));
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes, count, &written, nullptr) && written == count;
  DWORD error = GetLastError();
  CloseHandle(file);
  return ok ? 0 : int32_t(0x83FF0000u | (error & 0xFFFF));
}
#endif
