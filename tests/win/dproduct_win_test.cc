// The registry views of the product lookup and the order they are read in:
// the program's own (32-bit for the shipped program) first, then the 64-bit
// one. Under wine64 the x86_64 build reads the same view with both masks, so
// only a double over the registry can tell the order. The value's forms are
// the editor's end-to-end tests'.
#include "zevar/dproduct_win.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

constexpr REGSAM kOwnView = KEY_READ;
constexpr REGSAM k64BitView = KEY_READ | KEY_WOW64_64KEY;

struct Value {
  DWORD type;
  std::wstring data;  // stored with a NUL after it
};

// Keys by access mask; records every open and close.
class FakeRegistry : public DRegistry {
 public:
  LSTATUS OpenKey(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) override {
    EXPECT_EQ(parent, HKEY_LOCAL_MACHINE);
    EXPECT_STREQ(path, L"SOFTWARE\\Vellumix\\PDFEditor");
    opened.push_back(access);
    auto found = views.find(access);
    if (found == views.end()) return ERROR_FILE_NOT_FOUND;
    *key = reinterpret_cast<HKEY>(&found->second);
    ++open_keys;
    return ERROR_SUCCESS;
  }
  LSTATUS QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data,
                     DWORD* size) override {
    EXPECT_STREQ(name, L"InstallPath");
    const Value& value = *reinterpret_cast<Value*>(key);
    std::wstring stored = value.data + L'\0';
    DWORD bytes = DWORD(stored.size() * sizeof(wchar_t));
    *type = value.type;
    if (data && *size < bytes) return ERROR_MORE_DATA;
    if (data) memcpy(data, stored.data(), bytes);
    *size = bytes;
    return ERROR_SUCCESS;
  }
  LSTATUS CloseKey(HKEY) override {
    --open_keys;
    return ERROR_SUCCESS;
  }

  std::map<REGSAM, Value> views;
  std::vector<REGSAM> opened;
  int open_keys = 0;
};

std::string Narrow(const DWString& s) {
  std::string out;
  for (uint32_t i = 0; i < s.length(); ++i) out += char(s.c_str()[i]);
  return out;
}

struct Lookup {
  const char* what;
  std::map<REGSAM, Value> views;
  uint32_t asked;
  std::vector<REGSAM> opened;
  const char* folder;  // empty: not found
};
void PrintTo(const Lookup& lookup, std::ostream* out) { *out << lookup.what; }

class DProductWinTest : public testing::TestWithParam<Lookup> {};

TEST_P(DProductWinTest, ReadsTheViewsInOrderUntilOneHoldsAFolder) {
  const Lookup& lookup = GetParam();
  FakeRegistry registry;
  registry.views = lookup.views;
  DWString folder;
  ASSERT_TRUE(folder.Assign(u"stale"));
  EXPECT_EQ(DGetProductInstallPathFrom(&registry, kProductEditor, &folder, lookup.asked),
            lookup.folder[0] != 0);
  EXPECT_EQ(Narrow(folder), lookup.folder);
  EXPECT_EQ(registry.opened, lookup.opened);
  EXPECT_EQ(registry.open_keys, 0);
}

const Value kOwn{REG_SZ, L"D:\\Apps\\Own"};
const Value k64{REG_SZ, L"D:\\Apps\\64"};

INSTANTIATE_TEST_SUITE_P(
    Views, DProductWinTest,
    testing::Values(
        Lookup{"BothViewsTakeTheOwnView", {{kOwnView, kOwn}, {k64BitView, k64}},
               kRegistryViewsBoth, {kOwnView}, "D:\\Apps\\Own\\"},
        Lookup{"OnlyThe64BitViewIsFoundSecond", {{k64BitView, k64}},
               kRegistryViewsBoth, {kOwnView, k64BitView}, "D:\\Apps\\64\\"},
        Lookup{"ADwordInTheOwnViewCountsAsMissing",
               {{kOwnView, {REG_DWORD, L"x"}}, {k64BitView, k64}}, kRegistryViewsBoth,
               {kOwnView, k64BitView}, "D:\\Apps\\64\\"},
        Lookup{"AnEmptyValueCountsAsMissing", {{kOwnView, {REG_SZ, L""}}, {k64BitView, k64}},
               kRegistryViewsBoth, {kOwnView, k64BitView}, "D:\\Apps\\64\\"},
        Lookup{"OnlyThe64BitViewAskedFor", {{kOwnView, kOwn}, {k64BitView, k64}},
               kRegistryView64, {k64BitView}, "D:\\Apps\\64\\"},
        Lookup{"NowhereIsNotFound", {}, kRegistryViewsBoth, {kOwnView, k64BitView}, ""},
        Lookup{"AFinalSlashBecomesABackslash", {{kOwnView, {REG_SZ, L"D:\\Apps\\Editor/"}}},
               kRegistryViewsBoth, {kOwnView}, "D:\\Apps\\Editor\\"}),
    [](const testing::TestParamInfo<Lookup>& info) { return info.param.what; });

}  // namespace
