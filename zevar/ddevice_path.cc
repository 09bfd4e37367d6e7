#include "zevar/ddevice_path.h"

#include "zevar/ddevice_name.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

uint32_t NameEnd(const char16_t* path, uint32_t at, uint32_t length) {
  while (at < length && !IsSeparator(path[at])) ++at;
  return at;
}

// path[start, end) is the ASCII word, its case aside.
bool NameIs(const char16_t* path, uint32_t start, uint32_t end, const char* word) {
  for (; start < end && *word; ++start, ++word)
    if (Lower(path[start]) != Lower(char16_t(*word))) return false;
  return start == end && *word == 0;
}

// The server's name starts at `at`: its pipes and mailslots are reached as
// the "shares" of those names.
bool IsIpcShare(const char16_t* path, uint32_t at, uint32_t length) {
  uint32_t share = NameEnd(path, at, length) + 1;
  if (share > length) return false;
  uint32_t end = NameEnd(path, share, length);
  return NameIs(path, share, end, "pipe") || NameIs(path, share, end, "mailslot");
}

bool EndsInDeviceName(const char16_t* path, uint32_t length) {
  uint32_t name = length;
  while (name > 0 && !IsSeparator(path[name - 1]) && path[name - 1] != u':') --name;
  return DDeviceNameLength(path + name, length - name) > 0;
}

}  // namespace

bool DIsDevicePath(const char16_t* path, uint32_t length) {
  uint32_t at = 0;
  while (at < length && IsSeparator(path[at])) ++at;
  uint32_t end = NameEnd(path, at, length);
  bool question = NameIs(path, at, end, "?") || NameIs(path, at, end, "??");
  if (at > 0 && (question || NameIs(path, at, end, "."))) {
    // Only "\\?\" and "\??\" reach ordinary files: through a drive or UNC.
    if (!question || end == length) return true;
    uint32_t next = end + 1, next_end = NameEnd(path, next, length);
    bool drive = next_end - next == 2 && Lower(path[next]) >= u'a' && Lower(path[next]) <= u'z' &&
                 path[next + 1] == u':';
    bool unc = NameIs(path, next, next_end, "UNC");
    if (next_end == length || !(drive || unc)) return true;
    if (unc && IsIpcShare(path, next_end + 1, length)) return true;
  } else if (at >= 2 && IsIpcShare(path, at, length)) {
    return true;
  }
  return EndsInDeviceName(path, length);
}
