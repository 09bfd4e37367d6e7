// The reference converter's portable parts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/converter/converter_args.h"
#include "tools/converter/page_text.h"
#include "tools/converter/pdf_writer.h"

// That each line the host builds reads back as its parts, either form, is the
// converter_args fuzzer's check; here the lines that are neither form.
TEST(ConverterToolTest, RefusesLinesOfNeitherForm) {
  ConverterArguments arguments;
  // A window number longer than 32 bits is no handle (and must not overflow).
  for (const char16_t* line :
       {u"x.exe url= \"a\" savefn= \"b\"", u"x.exe mode= Chrome",
        u"x.exe url= \"a\" mode= m savefn= \"b\" wndMsgs= 99999999999999999999"})
    EXPECT_FALSE(ParseConverterArguments(line, &arguments));
}

TEST(ConverterToolTest, PageTextOfHtmlAndMhtml) {
  std::vector<std::string> lines = HtmlTextLines(
      "<html><head><title>T</title><script>var a = '<p>';</script></head>"
      "<body><!-- <p>no</p> --><h1>Head  line</h1>\n<p>a &amp; b &lt;c&gt; &#233;&#x20AC;"
      "<br/>next &uuml;&Atilde;&ccedil;&eacute;&bogus; &#xZZ;</p></body></html>");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "T");
  EXPECT_EQ(lines[1], "Head line");
  EXPECT_EQ(lines[2], "a & b <c> \xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(lines[3], "next \xc3\xbc\xc3\x83\xc3\xa7\xc3\xa9&bogus; &#xZZ;");

  // The HTML part of an MHTML archive, its transfer encoding undone.
  std::string mhtml =
      "From: <Saved>\r\nContent-Type: multipart/related;\r\n\ttype=\"text/html\";\r\n"
      "\tboundary=\"----=_Part\"\r\n\r\n------=_Part\r\nContent-Type: text/css\r\n\r\np{}\r\n"
      "------=_Part\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable"
      "\r\n\r\n<p class=3D\"x\">long =\r\nline =C3=A9</p>\r\n------=_Part--\r\n";
  EXPECT_EQ(MhtmlHtmlPart(mhtml), "<p class=\"x\">long line \xc3\xa9</p>\r\n");
  std::string base64 =
      "Content-Type: multipart/related; boundary=b\n\n--b\nContent-Type: text/html\n"
      "Content-Transfer-Encoding: base64\n\nPHA+aGk8L3A+\n--b--\n";
  EXPECT_EQ(MhtmlHtmlPart(base64), "<p>hi</p>");
  EXPECT_EQ(MhtmlHtmlPart("<p>plain</p>"), "<p>plain</p>");
}

#ifndef _WIN32
// The file is checked with poppler's pdftotext and pdfinfo.
TEST(ConverterToolTest, PdfHoldsTheTextOnAsManyPagesAsItNeeds) {
  std::vector<std::string> lines;
  for (int i = 0; i < 70; ++i) lines.push_back("line " + std::to_string(i) + " (x) \\ y");
  lines.push_back("Caf\xc3\xa9 \xe2\x82\xac \xe6\x96\x87");
  lines.push_back(std::string(200, 'w') + " tail");
  const std::string pdf = WritePdf(lines, "Title");
  char path[] = "/tmp/vlx-pdf-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, pdf.data(), pdf.size()), ssize_t(pdf.size()));
  close(fd);
  auto run = [](const std::string& command) {
    std::string out(1 << 16, '\0');
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    out.resize(pipe ? fread(&out[0], 1, out.size(), pipe) : 0);
    if (pipe) pclose(pipe);
    return out;
  };
  std::string text = run(std::string("pdftotext -enc UTF-8 ") + path + " -");
  std::string info = run(std::string("pdfinfo ") + path);
  unlink(path);
  EXPECT_NE(text.find("line 0 (x) \\ y"), std::string::npos) << text;
  EXPECT_NE(text.find("line 69 (x) \\ y"), std::string::npos);
  EXPECT_NE(text.find("Caf\xc3\xa9 \xe2\x82\xac ?"), std::string::npos);
  EXPECT_NE(text.find("tail"), std::string::npos);
  EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
  EXPECT_EQ(info.find("Syntax Error"), std::string::npos) << info;
}
#endif
