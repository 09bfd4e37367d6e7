// Stand-in for the suite's editor in tests and the demo. Each start appends
// one record to the file named by VLX_EDITOR_LOG: a 4-byte little-endian
// length, then UTF-8 text: the program's own path, a line feed, "job" or
// "free" (whether it runs inside a job object), a line feed, and the exact
// command line it was started with. When VLX_EDITOR_HOLD names an event, it
// then waits for that event (a minute at most) and appends the same record
// again: a second record shows that it was still running.
//
// With VLX_EDITOR_READERS set, a fourth line tells how each kind of program
// splits the line: "wide:<n>" as CommandLineToArgvW reads GetCommandLineW,
// "A<acp>:<n>" as a C runtime's narrow main reads GetCommandLineA (split by
// tools/argv_split.h: Wine's own msvcrt takes its narrow arguments from the
// wide ones instead), then for each system ANSI code page the line as Windows
// makes it for an ANSI reader (best fit), split knowing the page's lead bytes
// ("<page>:<n>") and not knowing them ("<page>n:<n>"). A "!" after a count:
// the arguments are not the ANSI form of the wide reader's.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string>
#include <vector>

#include "launch/ansi_unsafe_table.h"
#include "tools/argv_split.h"

namespace {

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(size_t(n - 1));
  return out;
}

std::string Ansi(UINT page, const std::wstring& text) {
  int n = WideCharToMultiByte(page, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(page, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::string Reader(const std::string& name, const std::vector<std::string>& read,
                   const std::vector<std::wstring>& wide, UINT page) {
  bool same = read.size() == wide.size();
  for (size_t i = 0; same && i < read.size(); ++i) same = read[i] == Ansi(page, wide[i]);
  return " " + name + ":" + std::to_string(read.size()) + (same ? "" : "!");
}

std::string Readers() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args) return "wide:none";
  std::vector<std::wstring> wide(args, args + count);
  LocalFree(args);
  std::string line = "wide:" + std::to_string(wide.size()) +
                     Reader("A" + std::to_string(GetACP()),
                            SplitCommandLine(std::string(GetCommandLineA()), true,
                                             [](char c) { return IsDBCSLeadByte(BYTE(c)); }),
                            wide, CP_ACP);
  for (uint32_t i = 0; i < kAnsiCodePageCount; ++i) {
    UINT page = kAnsiCodePages[i].number;
    std::string ansi = Ansi(page, GetCommandLineW());
    for (bool knows_lead : {true, false}) {
      auto is_lead = [&](char c) { return knows_lead && IsDBCSLeadByteEx(page, BYTE(c)); };
      line += Reader(std::to_string(page) + (knows_lead ? "" : "n"),
                     SplitCommandLine(ansi, true, is_lead), wide, page);
    }
  }
  return line;
}

// Appends of concurrent starts do not interleave: one write per record.
int AppendRecord(const wchar_t* log_path, const std::string& record) {
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 200 && file == INVALID_HANDLE_VALUE; ++attempt) {
    file = CreateFileW(log_path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Sleep(10);
  }
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  BOOL ok = WriteFile(file, record.data(), DWORD(record.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == record.size() ? 0 : 4;
}

}  // namespace

int wmain() {
  wchar_t log_path[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"VLX_EDITOR_LOG", log_path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 2;
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  BOOL in_job = FALSE;
  IsProcessInJob(GetCurrentProcess(), nullptr, &in_job);
  std::string body =
      Utf8(module) + "\n" + (in_job ? "job" : "free") + "\n" + Utf8(GetCommandLineW());
  if (GetEnvironmentVariableW(L"VLX_EDITOR_READERS", nullptr, 0)) body += "\n" + Readers();
  uint32_t size = uint32_t(body.size());
  std::string record{char(size), char(size >> 8), char(size >> 16), char(size >> 24)};
  record += body;
  int result = AppendRecord(log_path, record);
  wchar_t hold_name[MAX_PATH];
  n = GetEnvironmentVariableW(L"VLX_EDITOR_HOLD", hold_name, MAX_PATH);
  if (result != 0 || n == 0 || n >= MAX_PATH) return result;
  HANDLE hold = OpenEventW(SYNCHRONIZE, FALSE, hold_name);
  if (!hold) return 5;
  DWORD woke = WaitForSingleObject(hold, 60000);
  CloseHandle(hold);
  return woke == WAIT_OBJECT_0 ? AppendRecord(log_path, record) : 6;
}
