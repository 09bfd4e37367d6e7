// Standard input read with ReadFile, one call at a time, so that a read that
// the conversion job cancels still tells how many bytes it took (the C
// library's fread may not).
#pragma once

#include <windows.h>

#include "host/input_source.h"

class HandleInputSource final : public InputSource {
 public:
  explicit HandleInputSource(HANDLE handle) : handle_(handle) {}
  [[nodiscard]] uint32_t Read(void* buffer, uint32_t count, bool* ended) override;

 private:
  HANDLE handle_;
};
