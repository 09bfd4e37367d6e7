// An "openPDF" (or a chunked "MHTMLoPDF") end to end under Wine: starts a
// host with Windows pipes, sends the first piece, answers each chunk request
// with the next piece and stops the clock at the reply, which the host writes
// after it has started the editor. The host and the comparison host take
// turns, so that a busy machine weighs on both alike. Prints the median time
// and the peak working set (read just before the exit) of each:
//   <host ms> <host peak MiB> <comparison ms> <comparison peak MiB>
//
//   open_pdf_e2e_win.exe <host.exe> <comparison.exe> <openPDF|MHTMLoPDF> <MiB> <piece MiB>
//                        <runs> <temp folder>
//
// The document is MiB mebibytes of PDF (Base64 in the data URL) or of page.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string MakeText(const std::string& action, uint64_t bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t state = 7;
  std::string text;
  if (action == "openPDF") {
    text = "data:application/pdf;base64,";
    uint64_t chars = (bytes + 2) / 3 * 4;
    text.reserve(text.size() + chars);
    for (uint64_t i = 0; i < chars; ++i) {
      state = state * 1103515245 + 12345;
      text += kAlphabet[(state >> 16) & 63];
    }
  } else {
    text.reserve(bytes);
    for (uint64_t i = 0; i < bytes; ++i) text += i % 64 == 63 ? ' ' : kAlphabet[i % 52];
  }
  return text;
}

bool WriteAll(HANDLE out, const std::string& bytes) {
  DWORD put = 0;
  for (size_t at = 0; at < bytes.size(); at += put)
    if (!WriteFile(out, bytes.data() + at, DWORD(bytes.size() - at), &put, nullptr)) return false;
  return true;
}

bool ReadFrame(HANDLE in, std::string* body) {
  uint32_t n = 0;
  DWORD got = 0;
  for (DWORD at = 0; at < 4; at += got)
    if (!ReadFile(in, reinterpret_cast<char*>(&n) + at, 4 - at, &got, nullptr) || !got) return false;
  body->resize(n);
  for (DWORD at = 0; at < n; at += got)
    if (!ReadFile(in, &(*body)[at], n - at, &got, nullptr) || !got) return false;
  return true;
}

std::string Frame(const std::string& action, const std::string& text, size_t at, size_t piece,
                  bool first) {
  bool more = at + piece < text.size();
  std::string body = "{\"action\":\"" + action + "\",";
  if (first && action == "MHTMLoPDF") body += "\"version\":2,\"title\":\"bench\",";
  body += "\"data\":\"";
  body.append(text, at, piece);
  body += std::string("\",\"dataRest\":") + (more ? "1" : "0") + "}";
  uint32_t n = uint32_t(body.size());
  return std::string(reinterpret_cast<const char*>(&n), 4) + body;
}

struct Outcome {
  double ms = 0;
  double peak_mib = 0;
  bool ok = false;
};

Outcome RunOnce(const std::wstring& host, const std::string& action, const std::string& text,
                size_t piece) {
  Outcome outcome;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE to_host_read, to_host_write, from_host_read, from_host_write;
  if (!CreatePipe(&to_host_read, &to_host_write, &inherit, 0) ||
      !CreatePipe(&from_host_read, &from_host_write, &inherit, 0))
    return outcome;
  SetHandleInformation(to_host_write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(from_host_read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = to_host_read;
  startup.hStdOutput = from_host_write;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + host + L"\"";
  LARGE_INTEGER start, end, frequency;
  QueryPerformanceFrequency(&frequency);
  // The first piece is in the pipe before the host looks, as a browser does.
  std::string frame = Frame(action, text, 0, piece, true);
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process))
    return outcome;
  CloseHandle(to_host_read);
  CloseHandle(from_host_write);
  bool ok = WriteAll(to_host_write, frame);
  std::string body;
  size_t at = piece;
  while (ok && (ok = ReadFrame(from_host_read, &body)) && body.find("sendNextData") != std::string::npos) {
    ok = at < text.size() && WriteAll(to_host_write, Frame(action, text, at, piece, false));
    at += piece;
  }
  QueryPerformanceCounter(&end);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (K32GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
    outcome.peak_mib = double(memory.PeakWorkingSetSize) / (1 << 20);
  CloseHandle(to_host_write);
  WaitForSingleObject(process.hProcess, 60000);
  CloseHandle(from_host_read);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  outcome.ok = ok && body.find("responceDone") != std::string::npos;
  outcome.ms = double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
  return outcome;
}

void RemoveTempPdfs(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"vlx_*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do DeleteFileW((folder + found.cFileName).c_str());
  while (FindNextFileW(find, &found));
  FindClose(find);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: open_pdf_e2e_win <host> <comparison> <action> <MiB> <piece MiB> "
                         "<runs> <temp>\n");
    return 2;
  }
  const std::wstring hosts[2] = {argv[1], argv[2]};
  std::string action(argv[3], argv[3] + wcslen(argv[3]));
  uint64_t mebibytes = _wtoi(argv[4]);
  size_t piece = size_t(_wtoi(argv[5])) << 20;
  int runs = _wtoi(argv[6]);
  std::wstring temp = argv[7];
  if (temp.back() != L'\\') temp += L'\\';
  CreateDirectoryW(temp.c_str(), nullptr);
  SetEnvironmentVariableW(L"TMP", temp.c_str());
  SetEnvironmentVariableW(L"TEMP", temp.c_str());
  const std::string text = MakeText(action, mebibytes << 20);
  std::vector<double> times[2];
  double peak[2] = {0, 0};
  for (int i = 0; i < runs; ++i) {
    for (int h = 0; h < 2; ++h) {
      Outcome outcome = RunOnce(hosts[h], action, text, piece);
      RemoveTempPdfs(temp);
      if (!outcome.ok) {
        std::fprintf(stderr, "run %d of %ls failed\n", i, hosts[h].c_str());
        return 1;
      }
      times[h].push_back(outcome.ms);
      peak[h] = std::max(peak[h], outcome.peak_mib);
    }
  }
  for (int h = 0; h < 2; ++h) {
    std::sort(times[h].begin(), times[h].end());
    std::printf("%.1f %.1f ", times[h][times[h].size() / 2], peak[h]);
  }
  std::printf("\n");
  return 0;
}
