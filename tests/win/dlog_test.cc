#include "zevar/dlog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/win/temp_files.h"

TEST(DLogTest, WithoutASinkNothingIsFormatted) {
  // A pointer that formatting would follow and crash on.
  DLogWrite(DLogDefault(), "DFileBase", 1, u"%ls", reinterpret_cast<const wchar_t*>(16));
}

// UTF-16LE without a byte-order mark, a line feed alone at the end.
TEST(DLogTest, WritesOneUtf16LineInTheFixedFormat) {
  LogCapture log;
  DLogWrite(DLogDefault(), "FileIOreopen", 35, u"Reopen failed for \"%ls\": source is changed!",
            L"C:\\t\\a.pdf");
  const std::string line = log.Text();
  char thread[16];
  snprintf(thread, sizeof thread, "0x%08lx", GetCurrentThreadId());
  std::smatch m;
  ASSERT_TRUE(std::regex_match(line, m,
                               std::regex("FileIOreopen\\(35\\) :  \\d\\d:\\d\\d:\\d\\d:\\d\\d"
                                          "\\.\\d\\d\\d Thread (0x[0-9a-f]{8}) Reopen failed for "
                                          "\"C:\\\\t\\\\a\\.pdf\": source is changed!\n")))
      << line;
  EXPECT_EQ(m[1].str(), thread);
}

TEST(DLogTest, CutsLongMessagesAndMarksTheCut) {
  LogCapture log;
  std::wstring longer(5000, L'z');
  DLogWrite(DLogDefault(), "DFileBase", 655, u"%ls", longer.c_str());
  DLogWrite(DLogDefault(), "DFileBase", 656, u"short");
  const std::string text = log.Text();
  size_t first = text.find('\n');
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(text.substr(first - 4, 4), "z>>>");
  EXPECT_LE(first + 1, 4091u);
  EXPECT_GT(first, 4000u);
  EXPECT_NE(text.find("DFileBase(656) : ", first), std::string::npos);
}
