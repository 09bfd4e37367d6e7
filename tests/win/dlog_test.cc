#include "zevar/dlog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/win/temp_files.h"

// UTF-16LE lines without a byte-order mark, each ended by a line feed alone;
// a long message is cut and the cut marked.
TEST(DLogTest, WritesUtf16LinesInTheFixedFormatAndCutsLongOnes) {
  // Without a sink nothing is formatted: formatting would follow this pointer.
  DLogWrite(DLogDefault(), "DFileBase", 1, u"%ls", reinterpret_cast<const wchar_t*>(16));
  LogCapture log;
  DLogWrite(DLogDefault(), "DFileBase", 655, u"%ls", std::wstring(5000, L'z').c_str());
  DLogWrite(DLogDefault(), "FileIOreopen", 35, u"Reopen failed for \"%ls\": source is changed!",
            L"C:\\t\\a.pdf");
  const std::string text = log.Text();
  EXPECT_EQ(text.rfind("DFileBase(655) : ", 0), 0u) << text.substr(0, 20);
  size_t cut = text.find('\n');
  ASSERT_NE(cut, std::string::npos);
  EXPECT_EQ(text.substr(cut - 4, 4), "z>>>");
  EXPECT_LE(cut + 1, 4091u);
  EXPECT_GT(cut, 4000u);

  char thread[16];
  snprintf(thread, sizeof thread, "0x%08lx", GetCurrentThreadId());
  const std::string line = text.substr(cut + 1);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(line, m,
                               std::regex("FileIOreopen\\(35\\) :  \\d\\d:\\d\\d:\\d\\d:\\d\\d"
                                          "\\.\\d\\d\\d Thread (0x[0-9a-f]{8}) Reopen failed for "
                                          "\"C:\\\\t\\\\a\\.pdf\": source is changed!\n")))
      << line;
  EXPECT_EQ(m[1].str(), thread);
}
