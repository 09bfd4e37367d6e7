#include "zevar/dpath_lookup.h"

namespace {

constexpr uint32_t kLongPath = 248;

bool IsSlash(DWChar c) { return c == u'\\' || c == u'/'; }

bool IsLetter(DWChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool HasLongPrefix(const DWChar* path, uint32_t length) {
  return length >= 4 && path[0] == u'\\' && path[1] == u'\\' && path[2] == u'?' &&
         path[3] == u'\\';
}

}  // namespace

bool DPathSyntaxAllowed(const DWChar* path) {
  uint32_t length = DWString::Length(path);
  if (length == 0) return false;
  for (uint32_t i = 0; i < length; ++i) {
    DWChar c = path[i];
    DWChar next = path[i + 1];  // the NUL after the last character
    switch (c) {
      case u'"': case u'*': case u'<': case u'>': case u'|':
        return false;
      case u':':
        if (next != 0 && !IsSlash(next)) return false;
        break;
      case u'?':
        if (i != 2 || !IsSlash(next)) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

bool DIsDriveRoot(const DWChar* path) {
  if (!IsLetter(path[0]) || path[1] != u':') return false;
  return path[2] == 0 || (IsSlash(path[2]) && path[3] == 0);
}

bool DMakeLookupPath(const DWChar* path, DWString* result) {
  result->Empty();
  uint32_t length = DWString::Length(path);
  while (length > 0 && IsSlash(path[length - 1])) --length;
  if (length == 0) return false;
  if (length < kLongPath || HasLongPrefix(path, length)) return result->Assign(path, length);

  const DWChar* prefix = u"\\\\?\\";
  uint32_t skip = 0;
  if (IsSlash(path[0])) {
    prefix = u"\\\\?\\UNC\\";
    skip = IsSlash(path[1]) ? 2 : 1;
  }
  uint32_t prefix_length = DWString::Length(prefix);
  if (!result->Reserve(prefix_length + length - skip)) return false;
  bool ok = result->Append(prefix, prefix_length);
  for (uint32_t i = skip; ok && i < length; ++i)
    ok = result->Append(path[i] == u'/' ? u'\\' : path[i]);
  if (!ok) result->Empty();
  return ok;
}
