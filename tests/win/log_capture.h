// Points the process log at a new file for the test's life and reads back
// what reached it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "zevar/dlog.h"
#include "zevar/dtemp.h"

class LogCapture {
 public:
  LogCapture() {
    DWString folder;
    EXPECT_TRUE(DGetTempFolder(&folder));
    EXPECT_TRUE(DMakeUniqueTempName(folder.c_str(), u"vlxlog_", u"txt", &path_, nullptr));
    HANDLE h = CreateFileW(Path(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    DLogSetSink(DLogDefault(), h, path_.c_str());
  }
  ~LogCapture() {
    DLogSetSink(DLogDefault(), nullptr, nullptr);
    DeleteFileW(Path());
  }
  // The file's bytes (UTF-16LE), widened back to one char per unit.
  std::string Bytes() const {
    std::string bytes;
    FILE* f = _wfopen(Path(), L"rb");
    if (!f) return bytes;
    char piece[4096];
    size_t n;
    while ((n = fread(piece, 1, sizeof piece, f)) > 0) bytes.append(piece, n);
    fclose(f);
    return bytes;
  }
  std::string Text() const { return Narrow(Bytes()); }
  static std::string Narrow(const std::string& utf16) {
    std::string out;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) out += utf16[i + 1] ? '?' : utf16[i];
    return out;
  }

 private:
  const wchar_t* Path() const { return reinterpret_cast<const wchar_t*>(path_.c_str()); }
  DWString path_;
};

