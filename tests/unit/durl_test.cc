// The canonical form of DEscapeUrl; tests/fuzz/url_escape_fuzzer.cc and
// url_unescape_fuzzer.cc check every other flag and the unescaping against
// the plain byte rules on every input.
#include "zevar/durl.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The result; a failure must empty it.
std::u16string Escape(const char16_t* text, uint32_t flags) {
  DWString result;
  EXPECT_TRUE(result.Assign(u"stale"));
  bool ok = DEscapeUrl(text, &result, flags);
  EXPECT_EQ(ok, !result.empty());
  return result.c_str();
}

}  // namespace

TEST(DEscapeUrlTest, CanonicalFormTurnsBackslashesAndResolvesDotSegmentsBeforeTheQuery) {
  EXPECT_EQ(Escape(u"http://host\\a\\b\\..\\c", 8), u"http://host/a/c");
  EXPECT_EQ(Escape(u"http://host/a/./b/../../../c/.", 8), u"http://host/c/");
  EXPECT_EQ(Escape(u"http://host/a/b/..?x=\\..", 8 | 4), u"http://host/a/%3fx%3d%5c..");
  EXPECT_EQ(Escape(u"http://host/a/b/..?x=\\..", 8 | 4 | 1), u"http://host/a/?x=\\..");
  EXPECT_EQ(Escape(u"file:///C:/dir/../../x y", 8 | 4), u"file:///C:/x%20y");
  EXPECT_EQ(Escape(u"a/b/../c", 8), u"a/c");
  EXPECT_EQ(Escape(u"a b", 8 | 2), u"a%20b");
  EXPECT_EQ(Escape(nullptr, 4), u"");
}
