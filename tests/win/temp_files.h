// Temporary folders and files, and a capture of the process log. Windows gets
// paths in the \\?\ form, which no length limit applies to.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "zevar/dlog.h"
#include "zevar/dstring.h"

inline const DWChar* U(const std::wstring& text) {
  return reinterpret_cast<const DWChar*>(text.c_str());
}

// One char per UTF-16 unit; a unit beyond U+00FF becomes '?'.
inline std::string Narrow(const DWChar* text, size_t units) {
  std::string out;
  for (size_t i = 0; i < units; ++i) out += text[i] < 0x100 ? char(text[i]) : '?';
  return out;
}
inline std::string Narrow(const DWString& text) { return Narrow(text.c_str(), text.length()); }

inline std::wstring Long(std::wstring path) {
  if (path.back() == L'\\') path.pop_back();
  return L"\\\\?\\" + path;
}

// The file's bytes; empty when it cannot be read.
inline std::string Contents(const std::wstring& path) {
  std::ifstream in(Long(path).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes a new file, or appends to one, through a handle of its own, as
// another program would.
inline bool PutFile(const std::wstring& path, const char* text, bool append = false) {
  return bool(std::ofstream(Long(path).c_str(),
                            std::ios::binary | (append ? std::ios::app : std::ios::trunc))
              << text);
}

// Deletes a folder (given with its final backslash) and all it holds.
inline void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((Long(folder) + L"\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    const std::wstring item = folder + found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileW(Long(item).c_str());
    else if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
      RemoveTree(item + L"\\");
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  RemoveDirectoryW(Long(folder).c_str());
}

// A new folder in the temporary folder, removed with all it holds. Its path
// ends with '\'.
struct TempDir {
  TempDir() {
    // Taken once: a test may point TMP into one of these folders.
    static const std::wstring base = [] {
      wchar_t temp[MAX_PATH + 1];
      return std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp));
    }();
    static int made = 0;
    path = base + L"vlx test " + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++made) +
            L"\\";
    EXPECT_TRUE(CreateDirectoryW(Long(path).c_str(), nullptr));
  }
  ~TempDir() { RemoveTree(path); }
  int Files() const {
    return int(std::distance(std::filesystem::directory_iterator(Long(path)), {}));
  }
  std::wstring path;
};

// Points the process log at a new file for the test's life.
struct LogCapture : TempDir {
  LogCapture() {
    HANDLE h = CreateFileW(Long(File()).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_NEW, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    DLogSetSink(DLogDefault(), h, U(File()));
  }
  ~LogCapture() { DLogSetSink(DLogDefault(), nullptr, nullptr); }
  std::wstring File() const { return path + L"log.txt"; }
  // What reached the file (UTF-16LE), narrowed.
  std::string Text() const {
    std::string bytes = Contents(File());
    return Narrow(reinterpret_cast<const DWChar*>(bytes.data()), bytes.size() / 2);
  }
};
