// Minimal stand-ins; see launch/pending_deps.h.
#include "launch/pending_deps.h"

#include <cstring>

#include "host/channel.h"
#include "host/host_session.h"

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#endif

namespace {

bool AppendPiece(const rapidjson::Document& message, DString* payload) {
  if (!message.IsObject()) return false;
  auto data = message.FindMember("data");
  if (data != message.MemberEnd() && data->value.IsString()) {
    const char* text = data->value.GetString();
    payload->Append(text, uint32_t(std::strlen(text)));
  }
  auto rest = message.FindMember("dataRest");
  return rest != message.MemberEnd() && rest->value.IsInt() && rest->value.GetInt() >= 1;
}

}  // namespace

bool ReceiveChunkedData(HostSession& session, const ParsedRequest& request, ActionId action,
                        DString* payload) {
  static const char kChunkRequest[] = "{ \"action\": \"sendNextData\", \"version\": 1 }";
  bool more = AppendPiece(request.document, payload);
  while (more) {
    WriteMessage(session.channel, kChunkRequest);
    DString message;
    ReadOutcome outcome = ReadMessage(session.channel, &message);
    if (outcome == ReadOutcome::kEnded) {
      payload->Release();
      return false;
    }
    ParsedRequest next;
    ParseRequest(message.c_str(), &next);
    if (next.action == action) more = AppendPiece(next.document, payload);
  }
  return true;
}

void DMakeSafeFileName(const DWChar* text, DWString* result, bool last_component_only,
                       DWChar replacement) {
  result->Empty();
  if (!text) return;
  if (replacement < 0x20) replacement = u' ';
  const DWChar* start = text;
  if (last_component_only)
    for (const DWChar* p = text; *p; ++p)
      if (*p == u'\\' || *p == u'/' || *p == u':') start = p + 1;
  for (const DWChar* p = start; *p; ++p) {
    DWChar c = *p;
    if (c == u'\r' && p[1] == u'\n') {
      ++p;
      c = replacement;
    } else if (c < 0x20 || c == u'"' || c == u'*' || c == u'/' || c == u':' || c == u'<' ||
               c == u'>' || c == u'?' || c == u'\\' || c == u'|') {
      c = replacement;
    }
    result->Append(c);
  }
}

#ifdef _WIN32
bool DGetTempFolder(DWString* folder) {
  wchar_t buffer[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return false;
  return folder->Assign(reinterpret_cast<const DWChar*>(buffer), n);
}

bool DMakeUniqueTempName(const DWChar* folder, const DWChar* prefix, const DWChar* extension,
                         DWString* path, DWString* name) {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return false;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&guid);
  static const char kHex[] = "0123456789abcdef";
  name->Empty();
  name->Append(prefix);
  for (size_t i = 0; i < sizeof guid; ++i) {
    name->Append(DWChar(kHex[bytes[i] >> 4]));
    name->Append(DWChar(kHex[bytes[i] & 15]));
  }
  name->Append(u'.');
  name->Append(extension);
  path->Empty();
  path->Append(folder);
  if (path->length() && path->c_str()[path->length() - 1] != u'\\') path->Append(u'\\');
  return path->Append(name->c_str());
}

int32_t DWriteNewFile(const DWChar* path, const void* bytes, uint32_t count) {
  HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  DWORD written = 0;
  BOOL ok = count == 0 || (WriteFile(file, bytes, count, &written, nullptr) && written == count);
  CloseHandle(file);
  return ok ? 0 : -1;
}
#else
bool DGetTempFolder(DWString*) { return false; }
bool DMakeUniqueTempName(const DWChar*, const DWChar*, const DWChar*, DWString*, DWString*) {
  return false;
}
int32_t DWriteNewFile(const DWChar*, const void*, uint32_t) { return -1; }
#endif
