// The smallest program that speaks through pipes: copies its standard input
// to its standard output. Timing it next to the host shows what Wine's
// process start costs on its own.
#include <windows.h>

int wmain() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  char buffer[4096];
  DWORD available = 0, got = 0, put = 0;
  while (PeekNamedPipe(in, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
         ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0)
    WriteFile(out, buffer, got, &put, nullptr);
  return 0;
}
