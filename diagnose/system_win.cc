#include "diagnose/system_win.h"

#include <windows.h>

#include "zevar/dcodepage.h"
#include "zevar/dproduct_win.h"
#include "zevar/dtemp.h"

namespace {

const wchar_t* W(const DWString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

bool Wide(const char* text, DWString* wide) { return DUtf8ToWide(text, wide); }

bool Narrow(const wchar_t* text, uint32_t length, DString* utf8) {
  return DWideToUtf8(reinterpret_cast<const DWChar*>(text), length, utf8);
}

// Opens hive\key in the view asked for; the key is closed by its owner.
class RegistryKey {
 public:
  Lookup Open(Hive hive, View view, const char* key) {
    DWString path;
    if (!Wide(key, &path)) return Lookup::kFailed;
    REGSAM access = KEY_READ | (view == View::k32   ? KEY_WOW64_32KEY
                                : view == View::k64 ? KEY_WOW64_64KEY
                                                    : 0);
    HKEY root = hive == Hive::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    LSTATUS status = RegOpenKeyExW(root, W(path), 0, access, &key_);
    if (status == ERROR_SUCCESS) return Lookup::kFound;
    key_ = nullptr;
    return status == ERROR_FILE_NOT_FOUND ? Lookup::kMissing : Lookup::kFailed;
  }
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// A REG_SZ or REG_EXPAND_SZ value as UTF-8, cut at its first NUL.
Lookup QueryString(HKEY key, const wchar_t* name, DString* text) {
  DWORD type = 0, size = 0;
  LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return Lookup::kMissing;
  if (status != ERROR_SUCCESS) return Lookup::kFailed;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return Lookup::kWrongType;
  DWString value;
  uint32_t units = size / sizeof(wchar_t);
  if (!value.Reserve(units + 1)) return Lookup::kFailed;
  size = units * sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS)
    return Lookup::kFailed;
  value.data()[size / sizeof(wchar_t)] = 0;
  value.SetLength(DWString::Length(value.c_str()));
  return Narrow(W(value), value.length(), text) ? Lookup::kFound : Lookup::kFailed;
}

// Reads the view asked for exactly: the product lookup's "own view" mask
// gets the 32-bit view's flag.
class ViewRegistry final : public DRegistry {
 public:
  LSTATUS OpenKey(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) override {
    if (!(access & KEY_WOW64_64KEY)) access |= KEY_WOW64_32KEY;
    return DRegistry::OpenKey(parent, path, access, key);
  }
};

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

HANDLE OpenForAttributes(const DWString& path) {
  return CreateFileW(W(path), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

Lookup Win32DiagnoseSystem::ReadString(Hive hive, View view, const char* key, const char* value,
                                       DString* text) {
  text->Empty();
  RegistryKey open;
  Lookup found = open.Open(hive, view, key);
  if (found != Lookup::kFound) return found;
  DWString name;
  if (value && !Wide(value, &name)) return Lookup::kFailed;
  return QueryString(open.get(), value ? W(name) : nullptr, text);
}

Lookup Win32DiagnoseSystem::ReadNumber(Hive hive, View view, const char* key, const char* value,
                                       uint32_t* number) {
  RegistryKey open;
  Lookup found = open.Open(hive, view, key);
  if (found != Lookup::kFound) return found;
  DWString name;
  if (!Wide(value, &name)) return Lookup::kFailed;
  DWORD type = 0, data = 0, size = sizeof data;
  LSTATUS status =
      RegQueryValueExW(open.get(), W(name), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  if (status == ERROR_FILE_NOT_FOUND) return Lookup::kMissing;
  if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && type != REG_DWORD))
    return Lookup::kWrongType;
  if (status != ERROR_SUCCESS) return Lookup::kFailed;
  *number = data;
  return Lookup::kFound;
}

Lookup Win32DiagnoseSystem::ReadList(Hive hive, View view, const char* key, DString* lines) {
  lines->Empty();
  RegistryKey open;
  Lookup found = open.Open(hive, view, key);
  if (found != Lookup::kFound) return found;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];  // policy list values are named 1, 2, 3...
    DWORD name_length = 256;
    LSTATUS status =
        RegEnumValueW(open.get(), index, name, &name_length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return Lookup::kFound;
    if (status == ERROR_MORE_DATA) continue;  // a name no policy uses
    if (status != ERROR_SUCCESS) return Lookup::kFailed;
    DString text;
    Lookup value = QueryString(open.get(), name, &text);
    if (value == Lookup::kFailed) return value;
    if (value == Lookup::kFound && !(lines->Append(text.c_str()) && lines->Append('\n')))
      return Lookup::kFailed;
  }
}

FileRead Win32DiagnoseSystem::ReadFile(const char* path, uint32_t limit, DString* bytes) {
  bytes->Empty();
  DWString wide;
  if (!Wide(path, &wide)) return FileRead::kUnreadable;
  FileHandle file(CreateFileW(W(wide), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::kMissing
                                                                          : FileRead::kUnreadable;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return FileRead::kUnreadable;
  if (size.QuadPart > limit) return FileRead::kTooLarge;
  uint32_t total = uint32_t(size.QuadPart);
  if (!bytes->Reserve(total)) return FileRead::kUnreadable;
  DWORD got = 0;
  if (total && !::ReadFile(file.get(), bytes->data(), total, &got, nullptr))
    return FileRead::kUnreadable;
  bytes->data()[got] = 0;
  bytes->SetLength(got);
  return FileRead::kRead;
}

bool Win32DiagnoseSystem::IsFile(const char* path) {
  DWString wide;
  if (!Wide(path, &wide)) return false;
  DWORD attributes = GetFileAttributesW(W(wide));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32DiagnoseSystem::SameFile(const char* a, const char* b) {
  DWString wide_a, wide_b;
  if (!Wide(a, &wide_a) || !Wide(b, &wide_b)) return false;
  FileHandle first(OpenForAttributes(wide_a)), second(OpenForAttributes(wide_b));
  BY_HANDLE_FILE_INFORMATION one, other;
  return first.valid() && second.valid() && GetFileInformationByHandle(first.get(), &one) &&
         GetFileInformationByHandle(second.get(), &other) &&
         one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
         one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

bool Win32DiagnoseSystem::OwnPath(DString* path) {
  constexpr DWORD kLongest = 32768;
  DWString buffer;
  if (!buffer.Reserve(kLongest)) return false;
  DWORD length = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(buffer.data()), kLongest);
  if (length == 0 || length >= kLongest) return false;
  return Narrow(reinterpret_cast<const wchar_t*>(buffer.c_str()), length, path);
}

bool Win32DiagnoseSystem::EditorFolder(View view, DString* folder) {
  ViewRegistry registry;
  DWString wide;
  uint32_t views = view == View::k64 ? kRegistryView64 : kRegistryView32;
  return DGetProductInstallPathFrom(&registry, kProductEditor, &wide, views) &&
         Narrow(W(wide), wide.length(), folder);
}

bool Win32DiagnoseSystem::TempFolder(DString* folder) {
  DWString wide;
  return DGetTempFolder(&wide) && Narrow(W(wide), wide.length(), folder);
}

uint32_t Win32DiagnoseSystem::ProbeWrite(const char* folder) {
  DWString wide, probe;
  if (!Wide(folder, &wide) || !DMakeUniqueTempName(wide.c_str(), u"vlx_", u"tmp", &probe, nullptr))
    return ERROR_NOT_ENOUGH_MEMORY;
  HANDLE file = CreateFileW(W(probe), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(file);
  return 0;
}

bool Win32DiagnoseSystem::FreeBytes(const char* folder, uint64_t* bytes) {
  DWString wide;
  ULARGE_INTEGER available;
  if (!Wide(folder, &wide) || !GetDiskFreeSpaceExW(W(wide), &available, nullptr, nullptr))
    return false;
  *bytes = available.QuadPart;
  return true;
}
