#include "tools/converter/pdf_writer.h"

#include <cstdio>

namespace {

constexpr size_t kLineWidth = 90;  // characters of 10-point Helvetica in the text area
constexpr int kLinesPerPage = 60;

// Windows-1252 bytes for the characters it holds beyond Latin-1.
const struct {
  unsigned long code;
  unsigned char byte;
} kWinAnsiExtra[] = {{0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84},
                     {0x2026, 0x85}, {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88},
                     {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
                     {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93},
                     {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
                     {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
                     {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}};

unsigned char WinAnsiByte(unsigned long code) {
  if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF)) return (unsigned char)code;
  for (const auto& entry : kWinAnsiExtra)
    if (entry.code == code) return entry.byte;
  return '?';
}

// UTF-8 to WinAnsi bytes; an invalid sequence becomes '?'.
std::string ToWinAnsi(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = (unsigned char)utf8[i];
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= utf8.size()) {
      out += '?';
      ++i;
      continue;
    }
    unsigned long code = extra == 0 ? c : c & (0x3F >> extra);
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = (unsigned char)utf8[i + size_t(k)];
      if ((next & 0xC0) != 0x80) valid = false;
      code = code << 6 | (next & 0x3F);
    }
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    out += char(WinAnsiByte(code));
    i += size_t(extra) + 1;
  }
  return out;
}

std::vector<std::string> Wrap(const std::string& line) {
  std::vector<std::string> pieces;
  std::string rest = line;
  while (rest.size() > kLineWidth) {
    size_t cut = rest.rfind(' ', kLineWidth);
    if (cut == std::string::npos || cut == 0) cut = kLineWidth;
    pieces.push_back(rest.substr(0, cut));
    rest = rest.substr(cut == kLineWidth && rest[cut] != ' ' ? cut : cut + 1);
  }
  pieces.push_back(rest);
  return pieces;
}

std::string PdfString(const std::string& bytes) {
  std::string out = "(";
  for (char c : bytes) {
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += c;
  }
  return out + ")";
}

class PdfFile {
 public:
  void Object(int number, const std::string& body) {
    if (offsets_.size() < size_t(number) + 1) offsets_.resize(size_t(number) + 1);
    offsets_[size_t(number)] = bytes_.size();
    bytes_ += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
  }
  std::string Finish(int root, int info) {
    size_t xref = bytes_.size();
    bytes_ += "xref\n0 " + std::to_string(offsets_.size()) + "\n0000000000 65535 f \n";
    char entry[24];
    for (size_t i = 1; i < offsets_.size(); ++i) {
      // 20 characters: it always fits.
      static_cast<void>(std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offsets_[i]));
      bytes_ += entry;
    }
    bytes_ += "trailer\n<< /Size " + std::to_string(offsets_.size()) + " /Root " +
              std::to_string(root) + " 0 R /Info " + std::to_string(info) +
              " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return bytes_;
  }

 private:
  std::string bytes_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets_{0};
};

}  // namespace

std::string WritePdf(const std::vector<std::string>& lines, const std::string& title) {
  std::vector<std::string> wrapped;
  for (const std::string& line : lines)
    for (std::string& piece : Wrap(ToWinAnsi(line))) wrapped.push_back(piece);
  size_t pages = wrapped.empty() ? 1 : (wrapped.size() + kLinesPerPage - 1) / kLinesPerPage;

  // 1 catalog, 2 page tree, 3 font, 4 info, then a page and its content each.
  PdfFile pdf;
  pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (size_t p = 0; p < pages; ++p) kids += std::to_string(5 + 2 * p) + " 0 R ";
  pdf.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
  pdf.Object(3,
             "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  pdf.Object(4, "<< /Title " + PdfString(ToWinAnsi(title)) + " /Producer (Vellumix) >>");
  for (size_t p = 0; p < pages; ++p) {
    int page = int(5 + 2 * p);
    std::string content = "BT\n/F1 10 Tf\n12 TL\n50 792 Td\n";
    for (size_t i = p * kLinesPerPage; i < wrapped.size() && i < (p + 1) * kLinesPerPage; ++i)
      content += PdfString(wrapped[i]) + " Tj T*\n";
    content += "ET";
    pdf.Object(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font "
                     "<< /F1 3 0 R >> >> /Contents " +
                         std::to_string(page + 1) + " 0 R >>");
    pdf.Object(page + 1, "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" +
                             content + "\nendstream");
  }
  return pdf.Finish(1, 4);
}
