#include "diagnose/browser_places.h"

namespace {

constexpr Hive kCu = Hive::kCurrentUser;
constexpr Hive kLm = Hive::kLocalMachine;

// Chrome, and the browsers built on its code that read its key: the user's
// key, then the machine's 32-bit view, then its 64-bit view.
const RegistryPlace kChrome[] = {
    {kCu, View::kShared, "Google\\Chrome"},
    {kLm, View::k32, "Google\\Chrome"},
    {kLm, View::k64, "Google\\Chrome"},
};
const RegistryPlace kChromium[] = {
    {kCu, View::kShared, "Chromium"},
    {kLm, View::k32, "Chromium"},
    {kLm, View::k64, "Chromium"},
};
// Edge reads its own key, then Chromium's, then Chrome's, in each place.
const RegistryPlace kEdge[] = {
    {kCu, View::kShared, "Microsoft\\Edge"},
    {kCu, View::kShared, "Chromium"},
    {kCu, View::kShared, "Google\\Chrome"},
    {kLm, View::k32, "Microsoft\\Edge"},
    {kLm, View::k32, "Chromium"},
    {kLm, View::k32, "Google\\Chrome"},
    {kLm, View::k64, "Microsoft\\Edge"},
    {kLm, View::k64, "Chromium"},
    {kLm, View::k64, "Google\\Chrome"},
};
const RegistryPlace kFirefox[] = {
    {kCu, View::kShared, "Mozilla"},
    {kLm, View::k32, "Mozilla"},
    {kLm, View::k64, "Mozilla"},
};

template <size_t n>
constexpr size_t Count(const RegistryPlace (&)[n]) {
  return n;
}

const BrowserPlaces kBrowsers[] = {
    {"Chrome", ManifestKind::kChromium, "Google\\Chrome", kChrome, Count(kChrome)},
    {"Edge", ManifestKind::kChromium, "Microsoft\\Edge", kEdge, Count(kEdge)},
    {"Chromium", ManifestKind::kChromium, "Chromium", kChromium, Count(kChromium)},
    {"Firefox", ManifestKind::kFirefox, nullptr, kFirefox, Count(kFirefox)},
    {"Brave", ManifestKind::kChromium, "BraveSoftware\\Brave", kChrome, Count(kChrome)},
    {"Vivaldi", ManifestKind::kChromium, nullptr, kChrome, Count(kChrome)},
};

}  // namespace

const BrowserPlaces* Browsers(size_t* count) {
  *count = sizeof kBrowsers / sizeof *kBrowsers;
  return kBrowsers;
}

const char* HiveName(Hive hive) { return hive == kCu ? "HKCU" : "HKLM"; }

const char* ViewName(View view) {
  switch (view) {
    case View::kShared:
      return "";
    case View::k32:
      return " (32-bit view)";
    case View::k64:
      return " (64-bit view)";
  }
  return "";
}
