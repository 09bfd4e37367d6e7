#include "tools/converter/page_text.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void AppendUtf8(std::string* out, unsigned long code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x80) {
    *out += char(code);
  } else if (code < 0x800) {
    *out += char(0xC0 | (code >> 6));
    *out += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += char(0xE0 | (code >> 12));
    *out += char(0x80 | ((code >> 6) & 0x3F));
    *out += char(0x80 | (code & 0x3F));
  } else {
    *out += char(0xF0 | (code >> 18));
    *out += char(0x80 | ((code >> 12) & 0x3F));
    *out += char(0x80 | ((code >> 6) & 0x3F));
    *out += char(0x80 | (code & 0x3F));
  }
}

// Decodes the reference at html[at] ('&'); returns the bytes it took, 0 when
// it is not one.
size_t DecodeReference(const std::string& html, size_t at, std::string* out) {
  size_t end = html.find(';', at);
  if (end == std::string::npos || end - at > 12) return 0;
  std::string name = html.substr(at + 1, end - at - 1);
  static const struct {
    const char* name;
    unsigned long code;
  } kNamed[] = {{"amp", '&'},     {"lt", '<'},       {"gt", '>'},       {"quot", '"'},
                {"apos", '\''},   {"nbsp", ' '},     {"copy", 0xA9},    {"reg", 0xAE},
                {"euro", 0x20AC}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"hellip", 0x2026},
                {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D},
                {"szlig", 0xDF},  {"deg", 0xB0},     {"middot", 0xB7},  {"laquo", 0xAB},
                {"raquo", 0xBB}};
  for (const auto& entry : kNamed) {
    if (name == entry.name) {
      AppendUtf8(out, entry.code);
      return end - at + 1;
    }
  }
  // Latin-1 letters with marks: a base letter and the mark's name.
  static const struct {
    const char* mark;
    const char* letters;  // the base letters, in the order of their codes
    const unsigned char* codes;
  } kMarks[] = {
      {"grave", "AEIOUaeiou", (const unsigned char*)"\xC0\xC8\xCC\xD2\xD9\xE0\xE8\xEC\xF2\xF9"},
      {"acute", "AEIOUYaeiouy", (const unsigned char*)"\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD"},
      {"circ", "AEIOUaeiou", (const unsigned char*)"\xC2\xCA\xCE\xD4\xDB\xE2\xEA\xEE\xF4\xFB"},
      {"tilde", "ANOano", (const unsigned char*)"\xC3\xD1\xD5\xE3\xF1\xF5"},
      {"uml", "AEIOUaeiouy", (const unsigned char*)"\xC4\xCB\xCF\xD6\xDC\xE4\xEB\xEF\xF6\xFC\xFF"},
      {"cedil", "Cc", (const unsigned char*)"\xC7\xE7"},
      {"ring", "Aa", (const unsigned char*)"\xC5\xE5"},
      {"slash", "Oo", (const unsigned char*)"\xD8\xF8"},
  };
  if (name.size() > 1) {
    for (const auto& mark : kMarks) {
      if (name.compare(1, std::string::npos, mark.mark) != 0) continue;
      const char* letter = std::strchr(mark.letters, name[0]);
      if (!letter) break;
      AppendUtf8(out, mark.codes[letter - mark.letters]);
      return end - at + 1;
    }
  }
  if (name.size() > 1 && name[0] == '#') {
    bool hex = name[1] == 'x' || name[1] == 'X';
    const char* digits = name.c_str() + (hex ? 2 : 1);
    char* stop = nullptr;
    unsigned long code = std::strtoul(digits, &stop, hex ? 16 : 10);
    if (*digits && stop && *stop == 0) {
      AppendUtf8(out, code);
      return end - at + 1;
    }
  }
  return 0;
}

bool IsBlockTag(const std::string& tag) {
  static const char* const kBlocks[] = {"p",  "br", "div", "h1", "h2",    "h3", "h4",
                                        "h5", "h6", "li",  "tr", "title", "table", "ul",
                                        "ol", "pre", "blockquote", "section", "article", "hr"};
  for (const char* block : kBlocks)
    if (tag == block) return true;
  return false;
}

void EndLine(std::string* line, std::vector<std::string>* lines) {
  while (!line->empty() && line->back() == ' ') line->pop_back();
  if (!line->empty()) lines->push_back(*line);
  line->clear();
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
      continue;
    }
    if (text.compare(i + 1, 2, "\r\n") == 0) {
      i += 2;
    } else if (i + 1 < text.size() && text[i + 1] == '\n') {
      i += 1;
    } else if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += '=';
    }
  }
  return out;
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int value;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else continue;
    bits = bits << 6 | uint32_t(value);
    if (++count == 4) {
      out += char(bits >> 16);
      out += char(bits >> 8);
      out += char(bits);
      bits = 0;
      count = 0;
    }
  }
  if (count == 3) {
    out += char(bits >> 10);
    out += char(bits >> 2);
  } else if (count == 2) {
    out += char(bits >> 4);
  }
  return out;
}

// The value of a header in a block of headers (lower-cased names), or "".
std::string HeaderValue(const std::string& headers, const char* name) {
  std::string lower = Lower(headers);
  size_t at = lower.find(name);
  while (at != std::string::npos && at > 0 && lower[at - 1] != '\n') at = lower.find(name, at + 1);
  if (at == std::string::npos) return "";
  size_t start = at + std::strlen(name);
  size_t end = start;
  // Folded header lines continue with white space.
  while (end < headers.size()) {
    size_t eol = headers.find('\n', end);
    if (eol == std::string::npos) {
      end = headers.size();
      break;
    }
    end = eol + 1;
    if (end >= headers.size() || (headers[end] != ' ' && headers[end] != '\t')) break;
  }
  return headers.substr(start, end - start);
}

size_t HeaderEnd(const std::string& text, size_t from, size_t* body) {
  size_t crlf = text.find("\r\n\r\n", from);
  size_t lf = text.find("\n\n", from);
  if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) {
    *body = crlf + 4;
    return crlf;
  }
  if (lf != std::string::npos) {
    *body = lf + 2;
    return lf;
  }
  *body = text.size();
  return text.size();
}

}  // namespace

std::vector<std::string> HtmlTextLines(const std::string& html) {
  std::vector<std::string> lines;
  std::string line;
  size_t i = 0;
  while (i < html.size()) {
    char c = html[i];
    if (c == '<') {
      if (html.compare(i, 4, "<!--") == 0) {
        size_t end = html.find("-->", i + 4);
        i = end == std::string::npos ? html.size() : end + 3;
        continue;
      }
      size_t end = html.find('>', i);
      if (end == std::string::npos) break;
      std::string tag = Lower(html.substr(i + 1, end - i - 1));
      bool closing = !tag.empty() && tag[0] == '/';
      size_t name_start = closing ? 1 : 0;
      size_t name_end = name_start;
      while (name_end < tag.size() && std::isalnum(static_cast<unsigned char>(tag[name_end])))
        ++name_end;
      std::string name = tag.substr(name_start, name_end - name_start);
      i = end + 1;
      if (!closing && (name == "script" || name == "style")) {
        size_t close = Lower(html.substr(i)).find("</" + name);
        i = close == std::string::npos ? html.size() : i + close;
        continue;
      }
      if (IsBlockTag(name)) EndLine(&line, &lines);
      continue;
    }
    if (c == '&') {
      std::string decoded;
      size_t taken = DecodeReference(html, i, &decoded);
      if (taken) {
        line += decoded;
        i += taken;
        continue;
      }
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
    ++i;
  }
  EndLine(&line, &lines);
  return lines;
}

std::string MhtmlHtmlPart(const std::string& mhtml) {
  size_t body = 0;
  std::string headers = mhtml.substr(0, HeaderEnd(mhtml, 0, &body));
  std::string type = HeaderValue(headers, "content-type:");
  size_t b = Lower(type).find("boundary=");
  if (b == std::string::npos) return mhtml;
  std::string boundary = type.substr(b + 9);
  if (!boundary.empty() && boundary[0] == '"') {
    boundary = boundary.substr(1, boundary.find('"', 1) - 1);
  } else {
    size_t stop = boundary.find_first_of("; \t\r\n");
    if (stop != std::string::npos) boundary.resize(stop);
  }
  std::string marker = "--" + boundary;
  size_t at = mhtml.find(marker, body);
  while (at != std::string::npos) {
    size_t part = mhtml.find('\n', at);
    if (part == std::string::npos) break;
    ++part;
    size_t part_body = 0;
    std::string part_headers = mhtml.substr(part, HeaderEnd(mhtml, part, &part_body) - part);
    size_t next = mhtml.find(marker, part_body);
    std::string content =
        mhtml.substr(part_body, (next == std::string::npos ? mhtml.size() : next) - part_body);
    if (Lower(HeaderValue(part_headers, "content-type:")).find("text/html") != std::string::npos) {
      std::string encoding = Lower(HeaderValue(part_headers, "content-transfer-encoding:"));
      if (encoding.find("quoted-printable") != std::string::npos)
        return DecodeQuotedPrintable(content);
      if (encoding.find("base64") != std::string::npos) return DecodeBase64(content);
      return content;
    }
    at = next;
  }
  return "";
}
