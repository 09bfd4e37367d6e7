#include "zevar/dpath_exists_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "zevar/dpath_lookup.h"

namespace {

const wchar_t* W(const DWChar* text) { return reinterpret_cast<const wchar_t*>(text); }

// What the shell knows about a drive or share root, as file attributes.
DWORD FileAttributesOf(SFGAOF shell) {
  DWORD attributes = 0;
  if (shell & SFGAO_FOLDER) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (shell & SFGAO_HIDDEN) attributes |= FILE_ATTRIBUTE_HIDDEN;
  if (shell & SFGAO_READONLY) attributes |= FILE_ATTRIBUTE_READONLY;
  if (shell & SFGAO_SYSTEM) attributes |= FILE_ATTRIBUTE_SYSTEM;
  if (shell & SFGAO_COMPRESSED) attributes |= FILE_ATTRIBUTE_COMPRESSED;
  return attributes;
}

bool ShellAttributes(const DWChar* path, SFGAOF* attributes) {
  SHFILEINFOW info;
  std::memset(&info, 0, sizeof info);
  if (!SHGetFileInfoW(W(path), 0, &info, sizeof info, SHGFI_ATTRIBUTES)) return false;
  *attributes = info.dwAttributes;
  return true;
}

void FillFromShell(SFGAOF shell, const DWChar* name, uint32_t name_length,
                   WIN32_FIND_DATAW* find_data) {
  if (!find_data) return;
  std::memset(find_data, 0, sizeof *find_data);
  find_data->dwFileAttributes = FileAttributesOf(shell);
  if (name_length > MAX_PATH - 1) name_length = MAX_PATH - 1;
  if (name_length) std::memcpy(find_data->cFileName, name, name_length * sizeof(DWChar));
}

bool FindItem(const DWChar* path, WIN32_FIND_DATAW* find_data) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(W(path), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, 0);
  if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_NO_UNICODE_TRANSLATION) {
    search = FindFirstFileW(W(path), &found);
  }
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  if (find_data) *find_data = found;
  return true;
}

}  // namespace

bool DPathExists(const DWChar* path, WIN32_FIND_DATAW* find_data) {
  if (!path || !DPathSyntaxAllowed(path)) return false;

  if (DIsDriveRoot(path)) {
    DWChar root[4] = {path[0], u':', u'\\', 0};
    if (root[0] >= u'a' && root[0] <= u'z') root[0] = DWChar(root[0] - 32);
    // Some shells describe a letter that names no drive as well; the volume
    // manager knows.
    if (GetDriveTypeW(W(root)) == DRIVE_NO_ROOT_DIR) return false;
    SFGAOF shell;
    if (!ShellAttributes(root, &shell)) return false;
    FillFromShell(shell, nullptr, 0, find_data);
    return true;
  }

  DWString lookup;
  if (!DMakeLookupPath(path, &lookup)) return false;
  if (FindItem(lookup.c_str(), find_data)) return true;

  // A share root ("\\server\share") is no item a file search can find.
  if (path[0] != u'\\' || path[1] != u'\\') return false;
  SFGAOF shell;
  if (!ShellAttributes(lookup.c_str(), &shell)) return false;
  uint32_t end = lookup.length(), start = end;
  while (start > 0 && lookup.c_str()[start - 1] != u'\\' && lookup.c_str()[start - 1] != u'/') {
    --start;
  }
  FillFromShell(shell, lookup.c_str() + start, end - start, find_data);
  return true;
}
