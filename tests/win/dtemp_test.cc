#include "zevar/dtemp.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "tests/win/temp_files.h"
#include "zevar/dmem.h"
#include "zevar/dtemp_platform_win.h"

namespace {

// The folders, GUIDs and names the fields say; the token's integrity label
// is made of the SID they describe.
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
    *guid = {
        0x0123ABCD, 0x4567, 0x89EF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, uint8_t(guids)}};
    return true;
  }
  bool Exists(const wchar_t*) override { return guids <= taken; }
  void* IntegrityLabel() override {
    if (!label_readable) return nullptr;
    auto* label = static_cast<TOKEN_MANDATORY_LABEL*>(
        DMemAlloc(sizeof(TOKEN_MANDATORY_LABEL) + GetSidLengthRequired(sub_authorities)));
    label->Label.Sid = label + 1;
    EXPECT_TRUE(InitializeSid(label->Label.Sid, &authority, sub_authorities));
    if (sub_authorities) *GetSidSubAuthority(label->Label.Sid, 0) = level;
    return label;
  }

  std::wstring temp = L"C:\\users\\me\\Temp\\";
  std::wstring app_data_low, app_data = L"C:\\users\\me\\AppData\\Local";
  int failing_guid = 0;  // this GUID and the later ones fail; 0: none
  int guids = 0;
  int taken = 0;  // this many names exist already
  bool label_readable = true;
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
  BYTE sub_authorities = 1;
  DWORD level = 0x2000;
};

}  // namespace

TEST(DTempTest, TheFolderFollowsTheIntegrityLevelAndEndsWithOneBackslash) {
  const std::wstring long_data = L"C:\\" + std::wstring(245, L'a');  // 248 characters
  const struct {
    bool low;
    std::wstring temp, app_data_low, app_data;
    std::string folder;  // empty: none
  } cases[] = {
      {false, L"C:\\tmp\\", L"", L"", "C:\\tmp\\"},
      {false, L"C:\\tmp", L"", L"", "C:\\tmp\\"},
      {false, L"C:/tmp/", L"", L"", "C:/tmp\\"},
      {false, L"", L"C:\\Low", L"C:\\Local", ""},
      {true, L"C:\\tmp", L"C:\\Low", L"C:\\Local", "C:\\Low\\Temp\\"},
      {true, L"C:\\tmp", L"", L"C:\\Local", "C:\\Local\\Temp\\Low\\"},
      {true, L"", L"", long_data, "C:\\" + std::string(245, 'a') + "\\Temp\\Low\\"},
      {true, L"", L"", long_data + L"a", ""},
      {true, L"C:\\tmp", L"", L"", ""},
  };
  for (const auto& c : cases) {
    FakeTempPlatform fake;
    fake.temp = c.temp;
    fake.app_data_low = c.app_data_low;
    fake.app_data = c.app_data;
    DWString folder;
    EXPECT_EQ(DGetTempFolderFrom(&fake, c.low, &folder), !c.folder.empty()) << c.folder;
    EXPECT_EQ(Narrow(folder), c.folder);
  }
}

// A name is 32 hex digits of a GUID; the flags format GUIDs otherwise.
TEST(DTempTest, FormatsGuidsAndMakesNamesNotTakenYet) {
  FakeTempPlatform fake;
  DWString path, name;
  ASSERT_TRUE(DFormatGuidFrom(&fake, &name, 0));
  EXPECT_EQ(Narrow(name), "{0123ABCD-4567-89EF-FEDC-BA9876543201}");
  ASSERT_TRUE(DFormatGuidFrom(&fake, &name, kDGuidNoBraces | kDGuidLowerCase));
  EXPECT_EQ(Narrow(name), "0123abcd-4567-89ef-fedc-ba9876543202");

  fake.guids = 0;
  fake.taken = 2;
  ASSERT_TRUE(DMakeUniqueTempNameFrom(&fake, u"C:\\t/", u"vlx_", u"pdf", &path, &name));
  EXPECT_EQ(Narrow(name), "vlx_0123abcd456789effedcba9876543203.pdf");
  EXPECT_EQ(Narrow(path), "C:\\t\\vlx_0123abcd456789effedcba9876543203.pdf");

  fake.guids = 0;
  fake.taken = 0;
  ASSERT_TRUE(DMakeUniqueTempNameFrom(&fake, u"C:\\t", nullptr, u"", &path, nullptr));
  EXPECT_EQ(Narrow(path), "C:\\t\\0123abcd456789effedcba9876543201");

  // Failures hand back no name: no folder, no GUID, every name taken (given up
  // after 1000), and the first name taken with the next GUID failing: the
  // taken path must not come back, or its file would be written over and deleted.
  const struct {
    const char16_t* folder;
    int taken, failing_guid, guids;
  } failures[] = {
      {u"", 0, 0, 0}, {u"C:\\t", 0, 1, 1}, {u"C:\\t", 100000, 0, 1000}, {u"C:\\t", 1, 2, 2}};
  for (const auto& f : failures) {
    FakeTempPlatform failing;
    failing.taken = f.taken;
    failing.failing_guid = f.failing_guid;
    ASSERT_TRUE(path.Assign(u"stale") && name.Assign(u"stale"));
    EXPECT_FALSE(DMakeUniqueTempNameFrom(&failing, f.folder, u"vlx_", u"pdf", &path, &name));
    EXPECT_EQ(failing.guids, f.guids);
    EXPECT_TRUE(path.empty() && name.empty()) << f.guids;
  }

  // The real platform sees what exists; real folders and names serve the
  // full-disk tests.
  DWString folder;
  ASSERT_TRUE(DGetTempFolder(&folder));
  EXPECT_TRUE(DSystemTempPlatform()->Exists(reinterpret_cast<const wchar_t*>(folder.c_str())));
  ASSERT_TRUE(folder.Append(u"vlx_no_such_file"));
  EXPECT_FALSE(DSystemTempPlatform()->Exists(reinterpret_cast<const wchar_t*>(folder.c_str())));
}

// Low is a mandatory label whose level is 0x1000 or below; anything else, or
// a token that cannot be read, is not.
TEST(DTempTest, LowIntegrityIsAMandatoryLevelOf4096OrBelow) {
  const struct {
    const char* what;
    bool readable, mandatory;
    BYTE sub_authorities;
    DWORD level;
    bool low;
  } tokens[] = {
      {"low", true, true, 1, 0x1000, true},
      {"just above low", true, true, 1, 0x1001, false},
      {"not a mandatory label", true, false, 1, 0x1000, false},
      {"no level", true, true, 0, 0, false},
      {"unreadable", false, true, 1, 0x1000, false},
  };
  for (const auto& t : tokens) {
    FakeTempPlatform fake;
    fake.label_readable = t.readable;
    if (!t.mandatory) fake.authority = SECURITY_NT_AUTHORITY;
    fake.sub_authorities = t.sub_authorities;
    fake.level = t.level;
    EXPECT_EQ(fake.IsLowIntegrity(), t.low) << t.what;
  }

  // The real token's label can be read.
  void* label = DSystemTempPlatform()->IntegrityLabel();
  EXPECT_NE(label, nullptr);
  DMemFree(label);
}
