// The floor for an "openPDF" under Wine: reads the same frames as the host
// through the same pipes, asks for each further piece as the host does, keeps
// nothing, and answers once. Only what the transfer itself must cost.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

bool ReadAll(HANDLE in, void* buffer, DWORD count) {
  auto* at = static_cast<char*>(buffer);
  while (count > 0) {
    DWORD got = 0;
    if (!ReadFile(in, at, count, &got, nullptr) || got == 0) return false;
    at += got;
    count -= got;
  }
  return true;
}

void WriteFrame(HANDLE out, const char* text) {
  DWORD n = DWORD(std::strlen(text)), put = 0;
  WriteFile(out, &n, 4, &put, nullptr);
  WriteFile(out, text, n, &put, nullptr);
}

// "dataRest" is the last member of the benchmark's frames: more comes while
// its digit is not 0.
bool MoreToCome(const char* body, DWORD n) {
  static const char kRest[] = "\"dataRest\":";
  for (DWORD at = n > 40 ? n - 40 : 0; at + sizeof kRest <= n; ++at)
    if (std::memcmp(body + at, kRest, sizeof kRest - 1) == 0) return body[at + sizeof kRest - 1] != '0';
  return false;
}

}  // namespace

int wmain() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  char* body = nullptr;
  DWORD capacity = 0, n = 0;
  bool more = true;
  while (more && ReadAll(in, &n, 4)) {
    if (n > capacity) {
      std::free(body);
      body = static_cast<char*>(std::malloc(n));
      capacity = body ? n : 0;
      if (!body) return 1;
    }
    if (!ReadAll(in, body, n)) return 1;
    more = MoreToCome(body, n);
    if (more) WriteFrame(out, "{ \"action\": \"sendNextData\", \"version\": 1 }");
  }
  std::free(body);
  WriteFrame(out,
             "{\n    \"action\": \"responceDone\",\n    \"version\": 3,\n    \"state\": 0,\n"
             "    \"answer\": \"\"\n}");
  return 0;
}
