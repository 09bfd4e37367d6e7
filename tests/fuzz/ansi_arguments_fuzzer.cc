// The arguments built from request text (BuildOpenPdfArguments,
// BuildOpenLocalPdfArguments, BuildConvertCommandLine) split the same for a
// reader of the wide line and for a C runtime reading the ANSI line of each
// system code page, knowing its lead bytes or not; each value reads as the
// request's text but for the characters made safe, cut only where the line
// would not fit otherwise; and the line stays within what Windows starts.
// First byte: the builder; second byte: the editor's path length / 8, or with
// bit 7 what its path leaves for the arguments (so that short texts are cut);
// then the texts (FuzzParts).
#include <algorithm>

#include "actions/open_actions.h"
#include "launch/ansi_safe_value.h"
#include "launch/command_line_limit.h"
#include "launch/converter_command_line.h"
#include "tests/fuzz/ansi_line.h"
#include "tests/fuzz/fuzz_text.h"

namespace {

bool Listed(char16_t unit) {
  for (uint32_t page = 0; page < kAnsiCodePageCount; ++page)
    if (FindUnsafe(unit, page)) return true;
  return false;
}

// The wide reader's arguments, once every ANSI reader was seen to agree.
std::vector<std::u16string> Split(const std::u16string& line) {
  for (uint32_t page = 0; page < kAnsiCodePageCount; ++page) FUZZ_CHECK(ReadsAlike(line, page));
  return SplitWide(line);
}

std::u16string Escape(char16_t unit) {
  std::string utf8 = Utf8(std::u16string(1, unit));
  std::u16string out;
  for (unsigned char byte : utf8)
    out += {u'%', char16_t("0123456789abcdef"[byte >> 4]), char16_t("0123456789abcdef"[byte & 15])};
  return out;
}

// How much of the text the value stands for: its start, each character
// itself or a listed one made safe, never cut inside a pair or an escape.
size_t Covered(const std::u16string& value, const std::u16string& text, ValueKind kind) {
  size_t v = 0, t = 0;
  for (; v < value.size(); ++t) {
    FUZZ_CHECK(t < text.size());
    if (value[v] == text[t]) {
      ++v;
      continue;
    }
    FUZZ_CHECK(Listed(text[t]));
    std::u16string safe = kind == ValueKind::kUrl    ? Escape(text[t])
                          : kind == ValueKind::kText ? u"?"
                                                     : u" ";
    FUZZ_CHECK(value.compare(v, safe.size(), safe) == 0);
    v += safe.size();
  }
  if (t > 0 && t < text.size())
    FUZZ_CHECK(!(text[t - 1] >= 0xD800 && text[t - 1] <= 0xDBFF && text[t] >= 0xDC00 &&
                 text[t] <= 0xDFFF));
  if (kind == ValueKind::kUrl && t < text.size())
    FUZZ_CHECK(text[t - std::min<size_t>(t, 1)] != u'%' && (t < 2 || text[t - 2] != u'%'));
  return t;
}

const DWString& D(DWString* out, const std::u16string& text) {
  FUZZ_CHECK(out->Assign(text.c_str(), uint32_t(text.size())));
  return *out;
}

void CheckOpenPdf(const std::u16string& editor, const std::u16string& title,
                  const std::u16string& url) {
  const std::u16string path = u"C:\\Temp\\vlx_0123.pdf";
  DWString e, t, u, p, arguments;
  FUZZ_CHECK(
      BuildOpenPdfArguments(D(&e, editor), D(&t, title), D(&u, url), D(&p, path), &arguments));
  FUZZ_CHECK(editor.size() + 1 + arguments.length() <= kCommandLineMaxLength);
  std::vector<std::u16string> read = Split(Str(arguments));
  FUZZ_CHECK(read.size() == 3 && read[0] == u"/A" && read[2] == path);
  // temp=yes[;title=…][;url=…]; neither text holds a ';' here.
  std::u16string parts = read[1];
  FUZZ_CHECK(parts.compare(0, 8, u"temp=yes") == 0);
  size_t title_at = parts.find(u";title="), url_at = parts.find(u";url=");
  size_t title_end = url_at == std::u16string::npos ? parts.size() : url_at;
  size_t title_taken =
      title_at == std::u16string::npos
          ? 0
          : Covered(parts.substr(title_at + 7, title_end - title_at - 7), title, ValueKind::kText);
  size_t url_taken =
      url_at == std::u16string::npos ? 0 : Covered(parts.substr(url_at + 5), url, ValueKind::kUrl);
  FUZZ_CHECK(parts.size() == 8 || title_at == 8 || url_at == 8);
  // The title gives way first; nothing gives way on a line that fits whole.
  if (title_taken) FUZZ_CHECK(url_taken == url.size());
  if (url_taken < url.size()) FUZZ_CHECK(title_taken == 0);
  size_t most =
      editor.size() + 1 + 11 + 3 + path.size() + 9 + 2 * title.size() + 7 + 9 * url.size();
  if (most <= kCommandLineMaxLength)
    FUZZ_CHECK(title_taken == title.size() && url_taken == url.size());
}

void CheckOpenLocalPdf(const std::u16string& editor, const std::u16string& file_url) {
  DWString e, u, arguments;
  bool built = BuildOpenLocalPdfArguments(D(&e, editor), D(&u, file_url), &arguments);
  if (!built) {
    FUZZ_CHECK(editor.size() + 6 + 9 * file_url.size() > kCommandLineMaxLength);
    return;
  }
  FUZZ_CHECK(editor.size() + 1 + arguments.length() <= kCommandLineMaxLength);
  std::vector<std::u16string> read = Split(Str(arguments));
  FUZZ_CHECK(read.size() == 2 && read[0] == u"/A");
  FUZZ_CHECK(Covered(read[1], file_url, ValueKind::kUrl) == file_url.size());
}

void CheckConverter(std::u16string name, bool delete_source) {
  // A save name never holds a double quote or a backslash (DMakeSafeFileName).
  std::replace(name.begin(), name.end(), u'"', u'_');
  std::replace(name.begin(), name.end(), u'\\', u'_');
  const std::u16string source = u"C:\\Temp\\vlx_0.html";
  DWString arguments;
  FUZZ_CHECK(BuildConvertCommandLine(u"Chrome", source.c_str(), name.c_str(), delete_source,
                                     reinterpret_cast<void*>(uintptr_t(66052)), &arguments));
  FUZZ_CHECK(arguments.length() <= kConverterArgumentsLimit);
  std::vector<std::u16string> read = Split(Str(arguments));
  std::vector<std::u16string> fixed = {u"url=", source, u"mode=", u"Chrome"};
  if (delete_source) fixed.push_back(u"delsrc");
  fixed.push_back(u"savefn=");
  FUZZ_CHECK(read.size() == fixed.size() + 3 &&
             std::equal(fixed.begin(), fixed.end(), read.begin()));
  FUZZ_CHECK(read[fixed.size() + 1] == u"wndMsgs=" && read[fixed.size() + 2] == u"66052");
  size_t taken = Covered(read[fixed.size()], name, ValueKind::kFileName);
  if (80 + name.size() <= kConverterArgumentsLimit) FUZZ_CHECK(taken == name.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::vector<std::u16string> parts = FuzzParts(FuzzText(data + 2, size - 2), 3);
  size_t editor_length =
      data[1] & 0x80 ? kCommandLineMaxLength - 48 - (data[1] & 0x7F) * 8u : data[1] * 8u;
  std::u16string editor = u"C:\\" + std::u16string(editor_length, u'e') + u".exe";
  switch (data[0] % 3) {
    case 0:
      // The editor's own parser reads the parts by their ';': none here.
      for (size_t i = 0; i < 2; ++i) std::replace(parts[i].begin(), parts[i].end(), u';', u',');
      CheckOpenPdf(editor, parts[0], parts[1]);
      break;
    case 1:
      CheckOpenLocalPdf(editor, parts[0]);
      break;
    default:
      CheckConverter(parts[0], data[0] & 4);
  }
  return 0;
}
