#include "host/std_input_win.h"

uint32_t HandleInputSource::Read(void* buffer, uint32_t count, bool* ended) {
  uint32_t done = 0;
  *ended = false;
  while (done < count) {
    DWORD got = 0;
    if (!ReadFile(handle_, static_cast<char*>(buffer) + done, count - done, &got, nullptr)) {
      // The browser closed its end. Anything else (a cancel) only stops.
      DWORD error = GetLastError();
      *ended = error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF;
      break;
    }
    if (got == 0) {
      *ended = true;
      break;
    }
    done += got;
  }
  return done;
}
