// DMakeSafeFileName has its plain rule in tests/fuzz/safe_file_name_fuzzer.cc.
#include "zevar/dpath.h"

#include <gtest/gtest.h>

#include <string>

#include "zevar/dpath_lookup.h"

namespace {

std::u16string NamePart(const char16_t* path, bool keep_extension) {
  DWString result;
  bool found = DGetFileNamePart(path, &result, keep_extension);
  EXPECT_EQ(found, result.length() != 0) << std::string(path, path + 1);
  return result.c_str();
}

std::u16string WithSeparator(const char16_t* path, DWChar separator) {
  DWString text;
  EXPECT_TRUE(text.Assign(path));
  const DWChar* returned = DAppendSeparator(&text, separator);
  EXPECT_EQ(returned, text.c_str());
  return text.c_str();
}

std::u16string LookupPath(const std::u16string& path) {
  DWString result;
  if (!DMakeLookupPath(path.c_str(), &result)) return u"<none>";
  return result.c_str();
}

}  // namespace

TEST(DGetFileNamePartTest, TakesTheLastComponentWithOrWithoutExtension) {
  EXPECT_EQ(NamePart(u"C:\\dir/sub\\file.tar.gz", true), u"file.tar.gz");
  EXPECT_EQ(NamePart(u"C:\\dir/sub\\file.tar.gz", false), u"file.tar");
  EXPECT_EQ(NamePart(u"C:name.txt", false), u"name");
  EXPECT_EQ(NamePart(u"plain", false), u"plain");
  EXPECT_EQ(NamePart(u"dir.d\\noext", false), u"noext");  // a dot in a folder is no extension
  EXPECT_EQ(NamePart(u"dir\\.hidden", false), u"");
  EXPECT_EQ(NamePart(u"dir\\", true), u"");
  EXPECT_EQ(NamePart(u"", true), u"");
}

TEST(DAppendSeparatorTest, EndsANonEmptyPathWithExactlyOneSeparator) {
  EXPECT_EQ(WithSeparator(u"C:\\dir/", u'\\'), u"C:\\dir\\");
  EXPECT_EQ(WithSeparator(u"C:\\dir", u'\\'), u"C:\\dir\\");
  EXPECT_EQ(WithSeparator(u"C:\\dir\\", u'/'), u"C:\\dir/");
  EXPECT_EQ(WithSeparator(u"", u'\\'), u"");
  DWString never_set;
  EXPECT_EQ(DAppendSeparator(&never_set, u'\\'), std::u16string());
}

TEST(DPathLookupTest, RejectsCharactersNoPathCanHold) {
  for (const char16_t* path : {u"C:\\a\\b.txt", u"C:", u"c:\\", u"C:/x", u"\\\\?\\C:\\x",
                               u"\\\\server\\share", u"relative\\name", u"a:"}) {
    EXPECT_TRUE(DPathSyntaxAllowed(path)) << std::string(path, path + 2);
  }
  for (const char16_t* path : {u"", u"a\"b", u"a*", u"a<b", u"a>b", u"a|b", u"C:x", u"a:b", u"a?b",
                               u"\\\\?x", u"C:\\?\\", u"ab?"}) {
    EXPECT_FALSE(DPathSyntaxAllowed(path)) << std::string(path, path + 2);
  }
  EXPECT_TRUE(DIsDriveRoot(u"c:"));
  EXPECT_TRUE(DIsDriveRoot(u"Z:\\"));
  EXPECT_TRUE(DIsDriveRoot(u"Z:/"));
  EXPECT_FALSE(DIsDriveRoot(u"Z:\\\\"));
  EXPECT_FALSE(DIsDriveRoot(u"Z:\\a"));
  EXPECT_FALSE(DIsDriveRoot(u"1:"));
}

TEST(DPathLookupTest, TrimsSlashesAndPrefixesLongPaths) {
  EXPECT_EQ(LookupPath(u"C:\\dir\\/\\"), u"C:\\dir");
  EXPECT_EQ(LookupPath(u"\\/"), u"<none>");
  std::u16string name(250, u'n');
  std::u16string short_path = u"C:\\" + std::u16string(244, u'n');  // 247 characters
  EXPECT_EQ(LookupPath(short_path + u"\\"), short_path);
  EXPECT_EQ(LookupPath(short_path + u"n\\"), u"\\\\?\\" + short_path + u"n");  // 248: the limit
  EXPECT_EQ(LookupPath(u"C:/" + name + u"/x\\"), u"\\\\?\\C:\\" + name + u"\\x");
  EXPECT_EQ(LookupPath(u"\\\\server/" + name), u"\\\\?\\UNC\\server\\" + name);
  EXPECT_EQ(LookupPath(u"/" + name + u"/abcdefg"), u"\\\\?\\UNC\\" + name + u"\\abcdefg");
  std::u16string prefixed = u"\\\\?\\C:\\" + name + u"/x";  // left as given
  EXPECT_EQ(LookupPath(prefixed), prefixed);
}
