#include "zevar/dtemp.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "zevar/dmem.h"
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
  DWString folder;
  ASSERT_TRUE(DGetTempFolder(&folder));
  EXPECT_EQ(folder.c_str()[folder.length() - 1], u'\\');
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

  // Failures hand back no name: no folder, no GUID, every name taken (given up
  // after 1000), and the first name taken with the next GUID failing: the
  // taken path must not come back, or its file would be written over and deleted.
  const struct {
    const char16_t* folder;
    int taken, failing_guid, guids;
  } failures[] = {{u"", 0, 0, 0}, {u"C:\\t", 0, 1, 1}, {u"C:\\t", 100000, 0, 1000},
                  {u"C:\\t", 1, 2, 2}};
  for (const auto& f : failures) {
    FakeTempPlatform failing;
    failing.taken = f.taken;
    failing.failing_guid = f.failing_guid;
    ASSERT_TRUE(path.Assign(u"stale") && name.Assign(u"stale"));
    EXPECT_FALSE(DMakeUniqueTempNameFrom(&failing, f.folder, u"vlx_", u"pdf", &path, &name));
    EXPECT_EQ(failing.guids, f.guids);
    EXPECT_TRUE(path.empty() && name.empty()) << f.guids;
  }

  DWString folder;
  ASSERT_TRUE(DGetTempFolder(&folder));
  ASSERT_TRUE(DMakeUniqueTempName(folder.c_str(), u"vlx_", u"html", &path, &name));
  EXPECT_TRUE(std::regex_match(Narrow(name), std::regex("vlx_[0-9a-f]{32}\\.html")));
  EXPECT_EQ(Narrow(path), Narrow(folder) + Narrow(name));
}

namespace {

// A token whose integrity label is made of the given SID.
struct Token {
  const char* what;
  bool readable;
  SID_IDENTIFIER_AUTHORITY authority;
  BYTE sub_authorities;
  DWORD level;
  bool low;
};
void PrintTo(const Token& token, std::ostream* out) { *out << token.what; }

class TokenPlatform : public DTempPlatform {
 public:
  explicit TokenPlatform(const Token& token) : token_(token) {}
  void* IntegrityLabel() override {
    if (!token_.readable) return nullptr;
    DWORD sid_size = GetSidLengthRequired(token_.sub_authorities);
    auto* label = static_cast<TOKEN_MANDATORY_LABEL*>(
        DMemAlloc(sizeof(TOKEN_MANDATORY_LABEL) + sid_size));
    PSID sid = label + 1;
    SID_IDENTIFIER_AUTHORITY authority = token_.authority;
    EXPECT_TRUE(InitializeSid(sid, &authority, token_.sub_authorities));
    if (token_.sub_authorities) *GetSidSubAuthority(sid, 0) = token_.level;
    label->Label.Sid = sid;
    label->Label.Attributes = SE_GROUP_INTEGRITY;
    return label;
  }

 private:
  Token token_;
};

constexpr SID_IDENTIFIER_AUTHORITY kMandatory = SECURITY_MANDATORY_LABEL_AUTHORITY;
constexpr SID_IDENTIFIER_AUTHORITY kNtAuthority = SECURITY_NT_AUTHORITY;

class DTempIntegrityTest : public testing::TestWithParam<Token> {};

}  // namespace

TEST_P(DTempIntegrityTest, LowMeansAMandatoryLevelOf4096OrLess) {
  TokenPlatform platform(GetParam());
  EXPECT_EQ(platform.IsLowIntegrity(), GetParam().low);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, DTempIntegrityTest,
    testing::Values(Token{"Untrusted", true, kMandatory, 1, 0x0000, true},
                    Token{"Low", true, kMandatory, 1, 0x1000, true},
                    Token{"JustAboveLow", true, kMandatory, 1, 0x1001, false},
                    Token{"Medium", true, kMandatory, 1, 0x2000, false},
                    Token{"High", true, kMandatory, 1, 0x3000, false},
                    Token{"NotAMandatoryLabel", true, kNtAuthority, 1, 0x1000, false},
                    Token{"NoLevel", true, kMandatory, 0, 0, false},
                    Token{"Unreadable", false, kMandatory, 1, 0x1000, false}),
    [](const testing::TestParamInfo<Token>& info) { return info.param.what; });

TEST(DTempTest, TheRealTokenCarriesAMandatoryLabel) {
  // Wine runs every process at high integrity.
  auto* label = static_cast<TOKEN_MANDATORY_LABEL*>(DSystemTempPlatform()->IntegrityLabel());
  ASSERT_NE(label, nullptr);
  PSID sid = label->Label.Sid;
  ASSERT_TRUE(IsValidSid(sid));
  EXPECT_EQ(GetSidIdentifierAuthority(sid)->Value[5], 16);
  ASSERT_GT(*GetSidSubAuthorityCount(sid), 0);
  EXPECT_GT(*GetSidSubAuthority(sid, 0), 0x1000u);
  DMemFree(label);
  EXPECT_FALSE(DSystemTempPlatform()->IsLowIntegrity());
}
