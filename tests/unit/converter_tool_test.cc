// The reference converter's portable parts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tools/converter/converter_args.h"
#include "tools/converter/page_text.h"
#include "tools/converter/pdf_writer.h"

TEST(ConverterToolTest, ReadsTheConversionLine) {
  ConverterArguments arguments;
  ASSERT_TRUE(ParseConverterArguments(
      u"C:\\Program Files\\V\\VereZeDid2Uza.x86.exe url= \"C:\\t\\vlx_1.html\" mode= Chrome "
      u"delsrc savefn= \"b .html\" wndMsgs= -2147483632",
      &arguments));
  EXPECT_FALSE(arguments.settings);
  EXPECT_EQ(arguments.source, u"C:\\t\\vlx_1.html");
  EXPECT_EQ(arguments.mode, u"Chrome");
  EXPECT_TRUE(arguments.delete_source);
  EXPECT_EQ(arguments.save_name, u"b .html");
  EXPECT_TRUE(arguments.has_window);
  EXPECT_EQ(arguments.window, -2147483632);

  ASSERT_TRUE(ParseConverterArguments(u"x.exe url= \"\" mode= Chrome savefn= \"\"", &arguments));
  EXPECT_FALSE(arguments.delete_source);
  EXPECT_FALSE(arguments.has_window);
  EXPECT_EQ(arguments.save_name, u"");
  EXPECT_FALSE(ParseConverterArguments(u"x.exe url= \"a\" savefn= \"b\"", &arguments));
  EXPECT_FALSE(ParseConverterArguments(u"x.exe mode= Chrome", &arguments));
  // A window number longer than 32 bits is no handle (and must not overflow).
  EXPECT_FALSE(ParseConverterArguments(
      u"x.exe url= \"a\" mode= m savefn= \"b\" wndMsgs= 99999999999999999999", &arguments));
}

TEST(ConverterToolTest, ReadsTheSettingsLine) {
  ConverterArguments arguments;
  ASSERT_TRUE(ParseConverterArguments(u"VereZeDid2Uza.x86.exe sdlg mode= Chrome wndPrnt= 131330",
                                      &arguments));
  EXPECT_TRUE(arguments.settings);
  EXPECT_EQ(arguments.mode, u"Chrome");
  EXPECT_EQ(arguments.window, 131330);
  ASSERT_TRUE(ParseConverterArguments(u"VereZeDid2Uza.x86.exe sdlg mode= Chrome", &arguments));
  EXPECT_FALSE(arguments.has_window);
}

TEST(ConverterToolTest, PageTextOfHtml) {
  std::vector<std::string> lines = HtmlTextLines(
      "<html><head><title>T</title><script>var a = '<p>';</script></head>"
      "<body><!-- <p>no</p> --><h1>Head  line</h1>\n<p>a &amp; b &lt;c&gt; &#233;&#x20AC;"
      "<br/>next &uuml;&Atilde;&ccedil;&eacute;&bogus; &#xZZ;</p></body></html>");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "T");
  EXPECT_EQ(lines[1], "Head line");
  EXPECT_EQ(lines[2], "a & b <c> \xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(lines[3], "next \xc3\xbc\xc3\x83\xc3\xa7\xc3\xa9&bogus; &#xZZ;");
}

TEST(ConverterToolTest, HtmlPartOfMhtml) {
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
// The file is checked with poppler's pdftotext.
TEST(ConverterToolTest, PdfHoldsTheTextOnAsManyPagesAsItNeeds) {
  std::vector<std::string> lines;
  for (int i = 0; i < 70; ++i) lines.push_back("line " + std::to_string(i) + " (x) \\ y");
  lines.push_back("Caf\xc3\xa9 \xe2\x82\xac \xe6\x96\x87");
  lines.push_back(std::string(200, 'w') + " tail");
  std::string pdf = WritePdf(lines, "Title");
  char path[] = "/tmp/vlx-pdf-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  FILE* file = fdopen(fd, "wb");
  fwrite(pdf.data(), 1, pdf.size(), file);
  fclose(file);
  auto run = [](const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t got;
    while (pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    if (pipe) pclose(pipe);
    return out;
  };
  std::string text = run(std::string("pdftotext -enc UTF-8 ") + path + " - 2>&1");
  std::string info = run(std::string("pdfinfo ") + path + " 2>&1");
  unlink(path);
  EXPECT_NE(text.find("line 0 (x) \\ y"), std::string::npos) << text;
  EXPECT_NE(text.find("line 69 (x) \\ y"), std::string::npos);
  EXPECT_NE(text.find("Caf\xc3\xa9 \xe2\x82\xac ?"), std::string::npos);
  EXPECT_NE(text.find("tail"), std::string::npos);
  EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
  EXPECT_EQ(info.find("Syntax Error"), std::string::npos) << info;
}
#endif
