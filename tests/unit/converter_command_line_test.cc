#include "launch/converter_command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

void* Handle(uintptr_t value) { return reinterpret_cast<void*>(value); }

std::u16string Convert(const DWChar* source, const DWChar* name, bool delete_source,
                       void* window) {
  DWString text;
  EXPECT_TRUE(BuildConvertCommandLine(u"Chrome", source, name, delete_source, window, &text));
  return text.c_str();
}

}  // namespace

TEST(ConverterCommandLineTest, ConversionLine) {
  EXPECT_EQ(Convert(u"D:\\t\\vlx_0123456789abcdef0123456789abcdef.html", u"Report", true,
                    Handle(66052)),
            u"url= \"D:\\t\\vlx_0123456789abcdef0123456789abcdef.html\" mode= Chrome delsrc "
            u"savefn= \"Report\" wndMsgs= 66052");
  EXPECT_EQ(Convert(u"a", u"b", true, nullptr), u"url= \"a\" mode= Chrome delsrc savefn= \"b\"");
  EXPECT_EQ(Convert(u"a", u"b", false, nullptr), u"url= \"a\" mode= Chrome savefn= \"b\"");
  EXPECT_EQ(Convert(u"", nullptr, true, nullptr), u"url= \"\" mode= Chrome delsrc savefn= \"\"");
  EXPECT_EQ(Convert(u"a", u"", true, Handle(0x80000010)),
            u"url= \"a\" mode= Chrome delsrc savefn= \"\" wndMsgs= -2147483632");
  // The save name comes from the page: look-alikes of '"' become blanks, and
  // a name too long for the line is cut to fit.
  EXPECT_EQ(Convert(u"a", u"x\uff02 /P \uff02", false, nullptr),
            u"url= \"a\" mode= Chrome savefn= \"x  /P  \"");
  const std::u16string line = Convert(u"a", std::u16string(40000, u'n').c_str(), true, Handle(7));
  EXPECT_EQ(line.size(), kConverterArgumentsLimit);
  EXPECT_EQ(line.substr(line.size() - 14), u"nn\" wndMsgs= 7");
}

TEST(ConverterCommandLineTest, SettingsLine) {
  DWString text;
  ASSERT_TRUE(text.Assign(u"left over"));
  ASSERT_TRUE(BuildSettingsCommandLine(u"Chrome", Handle(131330), &text));
  EXPECT_EQ(std::u16string(text.c_str()), u"sdlg mode= Chrome wndPrnt= 131330");
  ASSERT_TRUE(BuildSettingsCommandLine(u"Chrome", nullptr, &text));
  EXPECT_EQ(std::u16string(text.c_str()), u"sdlg mode= Chrome");
  ASSERT_TRUE(BuildSettingsCommandLine(u"Chrome", Handle(0xFFFFFFFF), &text));
  EXPECT_EQ(std::u16string(text.c_str()), u"sdlg mode= Chrome wndPrnt= -1");
}
