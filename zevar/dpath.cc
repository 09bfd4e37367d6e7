#include "zevar/dpath.h"

#include <cstring>

#include "zevar/ddevice_name.h"

namespace {

bool IsSeparator(DWChar c) { return c == u'\\' || c == u'/'; }

bool IsUnsafeInFileName(DWChar c) {
  switch (c) {
    case u'"': case u'*': case u'/': case u':': case u'<':
    case u'>': case u'?': case u'\\': case u'|':
      return true;
    default:
      return c < 0x20;
  }
}

}  // namespace

bool DGetFileNamePart(const DWChar* path, DWString* result, bool keep_extension) {
  result->Empty();
  uint32_t length = DWString::Length(path);
  uint32_t start = length;
  while (start > 0 && !IsSeparator(path[start - 1]) && path[start - 1] != u':') --start;
  uint32_t end = length;
  if (!keep_extension) {
    uint32_t dot = length;
    while (dot > start && path[dot - 1] != u'.') --dot;
    if (dot > start) end = dot - 1;
  }
  if (end == start) return false;
  return result->Assign(path + start, end - start);
}

void DMakeSafeFileName(const DWChar* text, DWString* result, bool last_component_only,
                       DWChar replacement) {
  if (replacement < 0x20) replacement = u' ';
  if (last_component_only) {
    if (!DGetFileNamePart(text, result, true)) return;
  } else if (!result->Assign(text)) {
    result->Empty();
    return;
  }
  // Replacing never lengthens the text: it is done where it stands.
  DWChar* name = result->data();
  uint32_t n = 0;
  for (uint32_t i = 0; i < result->length(); ++i) {
    DWChar c = name[i];
    if (c == u'\r' && i + 1 < result->length() && name[i + 1] == u'\n') ++i;
    name[n++] = IsUnsafeInFileName(c) ? replacement : c;
  }
  result->SetLength(n);
  // A name such as "nul.html" would open the device: "nul_.html" does not.
  uint32_t device = DDeviceNameLength(result->c_str(), n);
  if (device == 0) return;
  if (!result->Append(u'_')) {
    result->Empty();
    return;
  }
  name = result->data();
  std::memmove(name + device + 1, name + device, (n - device) * sizeof(DWChar));
  name[device] = u'_';
}

const DWChar* DAppendSeparator(DWString* path, DWChar separator) {
  uint32_t length = path->length();
  if (length == 0) return path->c_str();
  if (IsSeparator(path->c_str()[length - 1])) {
    path->data()[length - 1] = separator;
  } else {
    static_cast<void>(path->Append(separator));  // on failure the path stays as it was
  }
  return path->c_str();
}
