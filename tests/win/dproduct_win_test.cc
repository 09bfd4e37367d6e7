// The registry views of the product lookup and the order they are read in:
// the program's own (32-bit for the shipped program) first, then the 64-bit
// one. Under wine64 the x86_64 build reads the same view with both masks, so
// only a double over the registry can tell the order. The value's forms (an
// empty one, a final slash) are the editor's end-to-end tests'.
#include "zevar/dproduct_win.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win/temp_files.h"

namespace {

constexpr REGSAM kOwn = KEY_READ;
constexpr REGSAM k64 = KEY_READ | KEY_WOW64_64KEY;

struct Value {
  DWORD type;  // 0: no key
  std::wstring data;
};

// The key in each view holds the value given; records every open and close.
class FakeRegistry : public DRegistry {
 public:
  LSTATUS OpenKey(HKEY parent, const wchar_t* path, REGSAM access, HKEY* key) override {
    EXPECT_EQ(parent, HKEY_LOCAL_MACHINE);
    EXPECT_STREQ(path, L"SOFTWARE\\Vellumix\\PDFEditor");
    opened.push_back(access);
    Value* value = access == k64 ? &view64 : &own;
    if (!value->type) return ERROR_FILE_NOT_FOUND;
    *key = reinterpret_cast<HKEY>(value);
    ++open_keys;
    return ERROR_SUCCESS;
  }
  LSTATUS QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
    EXPECT_STREQ(name, L"InstallPath");
    const Value& value = *reinterpret_cast<Value*>(key);
    DWORD bytes = DWORD((value.data.size() + 1) * sizeof(wchar_t));  // with its NUL
    *type = value.type;
    if (data && *size < bytes) return ERROR_MORE_DATA;
    if (data) memcpy(data, value.data.c_str(), bytes);
    *size = bytes;
    return ERROR_SUCCESS;
  }
  LSTATUS CloseKey(HKEY) override {
    --open_keys;
    return ERROR_SUCCESS;
  }

  Value own, view64;
  std::vector<REGSAM> opened;
  int open_keys = 0;
};

}  // namespace

TEST(DProductWinTest, ReadsTheViewsInOrderUntilOneHoldsAFolder) {
  const Value none{0, L""}, own{REG_SZ, L"D:\\Own"}, x64{REG_SZ, L"D:\\64"};
  const Value dword{REG_DWORD, L"x"};
  const uint32_t kBoth = kRegistryViewsBoth;
  const struct {
    const char* what;
    Value own, view64;
    uint32_t asked;
    std::vector<REGSAM> opened;
    const char* folder;  // empty: not found
  } cases[] = {
      {"both hold it: the own view's", own, x64, kBoth, {kOwn}, "D:\\Own\\"},
      {"only the 64-bit view holds it", none, x64, kBoth, {kOwn, k64}, "D:\\64\\"},
      {"a DWORD counts as missing", dword, x64, kBoth, {kOwn, k64}, "D:\\64\\"},
      {"only the 64-bit view asked for", own, x64, kRegistryView64, {k64}, "D:\\64\\"},
      {"nowhere", none, none, kBoth, {kOwn, k64}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRegistry registry;
    registry.own = c.own;
    registry.view64 = c.view64;
    DWString folder;
    ASSERT_TRUE(folder.Assign(u"stale"));
    EXPECT_EQ(DGetProductInstallPathFrom(&registry, kProductEditor, &folder, c.asked),
              c.folder[0] != 0);
    EXPECT_EQ(Narrow(folder), c.folder);
    EXPECT_EQ(registry.opened, c.opened);
    EXPECT_EQ(registry.open_keys, 0);
  }
}
