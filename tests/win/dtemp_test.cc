#include "zevar/dtemp.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "zevar/dtemp_platform_win.h"

#include <objbase.h>

namespace {

std::string Narrow(const DWString& s) {
  std::string out;
  for (uint32_t i = 0; i < s.length(); ++i) out += char(s.c_str()[i]);
  return out;
}

class FakeTempPlatform : public DTempPlatform {
 public:
  DWORD TempPath(DWORD size, wchar_t* buffer) override {
    wcsncpy(buffer, temp.c_str(), size);
    return DWORD(temp.size());
  }
  HRESULT LocalAppDataLow(wchar_t** path) override {
    if (app_data_low.empty()) return E_NOTIMPL;
    size_t bytes = (app_data_low.size() + 1) * sizeof(wchar_t);
    *path = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    memcpy(*path, app_data_low.c_str(), bytes);
    return S_OK;
  }
  HRESULT LocalAppData(wchar_t* buffer) override {
    if (app_data.empty()) return E_FAIL;
    wcscpy(buffer, app_data.c_str());
    return S_OK;
  }
  bool NewGuid(GUID* guid) override {
    ++guids;
    if (failing_guid && guids >= failing_guid) return false;
    *guid = {0x0123ABCD, 0x4567, 0x89EF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, uint8_t(guids)}};
    return true;
  }
  bool Exists(const wchar_t*) override { return guids <= taken; }

  std::wstring temp = L"C:\\users\\me\\Temp\\";
  std::wstring app_data_low, app_data = L"C:\\users\\me\\AppData\\Local";
  int failing_guid = 0;  // this GUID and the later ones fail; 0: none
  int guids = 0;
  int taken = 0;  // this many names exist already
};

}  // namespace

TEST(DTempTest, FolderEndsWithOneBackslash) {
  FakeTempPlatform fake;
  DWString folder;
  ASSERT_TRUE(DGetTempFolderFrom(&fake, false, &folder));
  EXPECT_EQ(Narrow(folder), "C:\\users\\me\\Temp\\");
  fake.temp = L"C:\\tmp";
  ASSERT_TRUE(DGetTempFolderFrom(&fake, false, &folder));
  EXPECT_EQ(Narrow(folder), "C:\\tmp\\");
  fake.temp = L"C:/tmp/";
  ASSERT_TRUE(DGetTempFolderFrom(&fake, false, &folder));
  EXPECT_EQ(Narrow(folder), "C:/tmp\\");
  fake.temp = L"";
  EXPECT_FALSE(DGetTempFolderFrom(&fake, false, &folder));
  EXPECT_TRUE(folder.empty());

  // The real one, under Wine at high integrity.
  EXPECT_FALSE(DSystemTempPlatform()->IsLowIntegrity());
  ASSERT_TRUE(DGetTempFolder(&folder));
  EXPECT_EQ(folder.c_str()[folder.length() - 1], u'\\');
}

TEST(DTempTest, LowIntegrityUsesTheLowFolders) {
  FakeTempPlatform fake;
  DWString folder;
  fake.app_data_low = L"C:\\users\\me\\AppData\\LocalLow";
  ASSERT_TRUE(DGetTempFolderFrom(&fake, true, &folder));
  EXPECT_EQ(Narrow(folder), "C:\\users\\me\\AppData\\LocalLow\\Temp\\");

  fake.app_data_low.clear();
  ASSERT_TRUE(DGetTempFolderFrom(&fake, true, &folder));
  EXPECT_EQ(Narrow(folder), "C:\\users\\me\\AppData\\Local\\Temp\\Low\\");

  fake.app_data = L"C:\\" + std::wstring(245, L'a');  // 248 characters
  EXPECT_TRUE(DGetTempFolderFrom(&fake, true, &folder));
  fake.app_data += L"a";
  EXPECT_FALSE(DGetTempFolderFrom(&fake, true, &folder));
  EXPECT_TRUE(folder.empty());
  fake.app_data.clear();
  EXPECT_FALSE(DGetTempFolderFrom(&fake, true, &folder));
}

TEST(DTempTest, FormatsGuidsByTheFlags) {
  FakeTempPlatform fake;
  DWString text;
  ASSERT_TRUE(DFormatGuidFrom(&fake, &text, 0));
  EXPECT_EQ(Narrow(text), "{0123ABCD-4567-89EF-FEDC-BA9876543201}");
  ASSERT_TRUE(DFormatGuidFrom(&fake, &text, 7));
  EXPECT_EQ(Narrow(text), "0123abcd456789effedcba9876543202");
  ASSERT_TRUE(DFormatGuidFrom(&fake, &text, kDGuidNoBraces | kDGuidLowerCase));
  EXPECT_EQ(Narrow(text), "0123abcd-4567-89ef-fedc-ba9876543203");

  ASSERT_TRUE(DFormatGuid(&text, 7));
  EXPECT_TRUE(std::regex_match(Narrow(text), std::regex("[0-9a-f]{32}")));
}

TEST(DTempTest, UniqueNamesSkipNamesThatExist) {
  FakeTempPlatform fake;
  DWString path, name;
  fake.taken = 2;
  ASSERT_TRUE(DMakeUniqueTempNameFrom(&fake, u"C:\\t/", u"vlx_", u"pdf", &path, &name));
  EXPECT_EQ(Narrow(name), "vlx_0123abcd456789effedcba9876543203.pdf");
  EXPECT_EQ(Narrow(path), "C:\\t\\vlx_0123abcd456789effedcba9876543203.pdf");

  fake.guids = 0;
  fake.taken = 0;
  ASSERT_TRUE(DMakeUniqueTempNameFrom(&fake, u"C:\\t", nullptr, u"", &path, nullptr));
  EXPECT_EQ(Narrow(path), "C:\\t\\0123abcd456789effedcba9876543201");

  // Every name taken: gives up after 1000.
  fake.guids = 0;
  fake.taken = 100000;
  EXPECT_FALSE(DMakeUniqueTempNameFrom(&fake, u"C:\\t", u"vlx_", u"pdf", &path, &name));
  EXPECT_EQ(fake.guids, 1000);
  EXPECT_TRUE(path.empty());
  EXPECT_TRUE(name.empty());

  fake.guids = 0;
  fake.taken = 0;
  EXPECT_FALSE(DMakeUniqueTempNameFrom(&fake, u"", u"vlx_", u"pdf", &path, &name));
  EXPECT_EQ(fake.guids, 0);
  fake.failing_guid = 1;
  EXPECT_FALSE(DMakeUniqueTempNameFrom(&fake, u"C:\\t", u"vlx_", u"pdf", &path, &name));
  EXPECT_EQ(fake.guids, 1);
  // The first name is taken and the next GUID fails: the taken path must not
  // come back, or its file would be written over and deleted.
  fake.guids = 0;
  fake.taken = 1;
  fake.failing_guid = 2;
  EXPECT_FALSE(DMakeUniqueTempNameFrom(&fake, u"C:\\t", u"vlx_", u"pdf", &path, &name));
  EXPECT_EQ(fake.guids, 2);
  EXPECT_TRUE(path.empty());
  EXPECT_TRUE(name.empty());

  DWString folder;
  ASSERT_TRUE(DGetTempFolder(&folder));
  ASSERT_TRUE(DMakeUniqueTempName(folder.c_str(), u"vlx_", u"html", &path, &name));
  EXPECT_TRUE(std::regex_match(Narrow(name), std::regex("vlx_[0-9a-f]{32}\\.html")));
  EXPECT_EQ(Narrow(path), Narrow(folder) + Narrow(name));
}
