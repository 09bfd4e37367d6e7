#include "zevar/durl.h"

#include <cstring>
#include <utility>

#include "zevar/dcodepage.h"

namespace {

bool IsUnsafe(unsigned char c) {
  if (c < 0x20 || c >= 0x7F) return true;
  return std::strchr(" \"#$%&+,;<=>?@[\\]^`{|}", c) != nullptr;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSlash(char c) { return c == '/' || c == '\\'; }

// Where the path of a URL starts: after "scheme:" and after "//authority".
// *scheme_end is the length of "scheme:" (0 without a scheme).
uint32_t PathStart(const char* url, uint32_t length, uint32_t* scheme_end) {
  *scheme_end = 0;
  for (uint32_t i = 0; i < length; ++i) {
    // The caller's string holds length bytes; the analyzer cannot tell.
    char c = url[i];  // NOLINT(clang-analyzer-core.uninitialized.Assign)
    if (c == ':') {
      *scheme_end = i + 1;
      break;
    }
    if (IsSlash(c) || c == '?' || c == '#') break;
  }
  uint32_t at = *scheme_end;
  if (at + 1 < length && IsSlash(url[at]) && IsSlash(url[at + 1])) {
    at += 2;
    while (at < length && !IsSlash(url[at]) && url[at] != '?' && url[at] != '#') ++at;
  }
  return at;
}

// Canonical form of a URL's bytes: '\' after the scheme becomes '/' (up to the
// query), and "." and ".." segments of the path are resolved. In a "file" URL
// ".." never climbs above a drive ("C:") segment.
bool Canonicalize(const char* url, uint32_t length, DString* out) {
  out->Empty();
  if (!out->Reserve(length)) return false;
  uint32_t scheme_end;
  uint32_t path_start = PathStart(url, length, &scheme_end);
  bool is_file = scheme_end == 5 && (url[0] | 0x20) == 'f' && (url[1] | 0x20) == 'i' &&
                 (url[2] | 0x20) == 'l' && (url[3] | 0x20) == 'e';
  uint32_t path_end = path_start;
  while (path_end < length && url[path_end] != '?' && url[path_end] != '#') ++path_end;

  char* buffer = out->data();
  uint32_t n = 0;
  for (uint32_t i = 0; i < path_start; ++i) {
    buffer[n++] = i >= scheme_end && url[i] == '\\' ? '/' : url[i];
  }
  // The path, segment by segment; n never passes the input's length.
  uint32_t root = n;  // ".." stops here
  for (uint32_t at = path_start; at < path_end;) {
    uint32_t end = at;
    bool leading_slash = IsSlash(url[at]);
    if (leading_slash) ++end;
    uint32_t name = end;
    while (end < path_end && !IsSlash(url[end])) ++end;
    uint32_t name_length = end - name;
    bool last = end >= path_end;
    if (name_length == 1 && url[name] == '.') {
      if (last && leading_slash) buffer[n++] = '/';
    } else if (name_length == 2 && url[name] == '.' && url[name + 1] == '.') {
      while (n > root && buffer[n - 1] != '/') --n;  // drop the last segment
      if (n > root) --n;                              // and its slash
      if (last && leading_slash) buffer[n++] = '/';
    } else {
      if (leading_slash) buffer[n++] = '/';
      std::memcpy(buffer + n, url + name, name_length);
      n += name_length;
      if (is_file && name_length == 2 && url[name + 1] == ':') root = n;
    }
    at = end;
  }
  std::memcpy(buffer + n, url + path_end, length - path_end);
  out->SetLength(n + (length - path_end));
  return true;
}

}  // namespace

bool DEscapeUrl(const DWChar* text, DWString* result, uint32_t flags) {
  result->Empty();
  uint32_t length = DWString::Length(text);
  if (length == 0) return false;
  DString utf8;
  if (!DWideToUtf8(text, length, &utf8)) return false;
  if (flags & kEscapeUrlCanonical) {
    DString canonical;
    if (!Canonicalize(utf8.c_str(), utf8.length(), &canonical)) return false;
    utf8 = std::move(canonical);
  }

  // Every byte becomes at most three characters; the room is taken at once
  // from the real need, so no text can run past it.
  uint64_t need = uint64_t(utf8.length()) * 3;
  DString escaped;
  if (need > DString::kLimit || !escaped.Reserve(uint32_t(need))) return false;
  static const char kHex[] = "0123456789abcdef";
  const unsigned char* in = reinterpret_cast<const unsigned char*>(utf8.c_str());
  char* out = escaped.data();
  uint32_t n = 0;
  bool escaping = true;
  for (uint32_t i = 0; i < utf8.length(); ++i) {
    // c_str() holds length() units; the analyzer cannot tell.
    unsigned char c = in[i];  // NOLINT(clang-analyzer-core.uninitialized.Assign)
    if ((flags & kEscapeUrlBrowser) && (c == '?' || c == '#')) escaping = false;
    bool escape = escaping && IsUnsafe(c);
    if ((flags & kEscapeUrlSpacesOnly) && c != ' ') escape = false;
    if (!(flags & kEscapeUrlPercent) && c == '%') escape = false;
    if (escape) {
      out[n++] = '%';
      out[n++] = kHex[c >> 4];
      out[n++] = kHex[c & 15];
    } else {
      out[n++] = char(c);
    }
  }
  escaped.SetLength(n);
  if (n > DWString::kLimit || !DUtf8ToWide(escaped.c_str(), n, result)) {
    result->Empty();
    return false;
  }
  return true;
}

bool DUnescapeUrl(const DWChar* text, DWString* result) {
  result->Empty();
  DString utf8;
  if (!DWideToUtf8(text, DWString::Length(text), &utf8)) return false;
  // Unescaping only shortens: the bytes are decoded where they stand.
  char* bytes = utf8.data();
  uint32_t n = 0;
  for (uint32_t i = 0; i < utf8.length(); ++i) {
    char c = bytes[i];
    if (c == '%') {
      int high = i + 1 < utf8.length() ? HexValue(bytes[i + 1]) : -1;
      int low = i + 2 < utf8.length() ? HexValue(bytes[i + 2]) : -1;
      if (high < 0 || low < 0 || (high | low) == 0) return false;
      c = char(high << 4 | low);
      i += 2;
    }
    bytes[n++] = c;
  }
  if (!DUtf8ToWide(utf8.c_str(), n, result)) {
    result->Empty();
    return false;
  }
  return true;
}
