// The trivial host that the browser benchmark measures the host against: it
// reads frames until its input ends and answers each at once, with the chunk
// request while the frame says more pieces follow ("dataRest" above 0), else
// with the reply of a finished request. What it costs is the browser's, the
// bridge's and Wine's share.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool ReadAll(HANDLE in, char* to, DWORD count) {
  DWORD got = 0;
  for (; count > 0; to += got, count -= got)
    if (!ReadFile(in, to, count, &got, nullptr) || got == 0) return false;
  return true;
}

void WriteFrame(HANDLE out, const std::string& body) {
  std::string frame(4, '\0');
  for (int i = 0; i < 4; ++i) frame[size_t(i)] = char(body.size() >> (8 * i));
  frame += body;
  DWORD put = 0;
  WriteFile(out, frame.data(), DWORD(frame.size()), &put, nullptr);
}

}  // namespace

int wmain() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
  const std::string chunk_request = "{ \"action\": \"sendNextData\", \"version\": 1 }";
  const std::string done = "{\"action\":\"responceDone\",\"version\":3,\"state\":0,\"answer\":\"\"}";
  std::string body;
  uint32_t length = 0;
  while (ReadAll(in, reinterpret_cast<char*>(&length), 4)) {
    body.resize(length);
    if (length > 0 && !ReadAll(in, &body[0], length)) break;
    // "dataRest" ends the pieces that the benchmark sends: look from the end.
    size_t at = body.rfind("\"dataRest\":");
    WriteFrame(out, at != std::string::npos && std::atoi(body.c_str() + at + 11) > 0 ? chunk_request : done);
  }
  return 0;
}
