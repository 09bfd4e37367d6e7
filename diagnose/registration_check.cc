#include "diagnose/registration_check.h"

#include <cstring>

#include "diagnose/policy_check.h"

namespace {

// A manifest read for an earlier browser is not checked (nor counted) again.
struct CheckedManifest {
  DString path;
  const char* browser;
  bool ok;
};

bool PlaceName(const RegistryPlace& place, const char* host, DString* name) {
  DString key;
  return HostKey(place.vendor, host, &key) &&
         Join(name, HiveName(place.hive), "\\", key.c_str(), ViewName(place.view));
}

class BrowserCheck {
 public:
  BrowserCheck(DiagnoseSystem* system, Report& report, const ManifestExpectations& expected,
               CheckedManifest* checked, size_t* checked_count)
      : system_(system),
        report_(report),
        expected_(expected),
        checked_(checked),
        checked_count_(checked_count) {}

  // True when the browser can start this host.
  bool Run(const BrowserPlaces& browser) {
    const char* name = browser.name;
    PolicyOutcome policy;
    CheckPolicies(system_, report_, browser, expected_.host, &policy);
    DString winner, manifest, ignored_user_entry;
    for (size_t i = 0; i < browser.place_count; ++i) {
      const RegistryPlace& place = browser.places[i];
      DString key, place_name, value;
      if (!HostKey(place.vendor, expected_.host, &key) ||
          !PlaceName(place, expected_.host, &place_name))
        return OutOfMemory(name);
      Lookup found = system_->ReadString(place.hive, place.view, key.c_str(), nullptr, &value);
      if (found == Lookup::kMissing) continue;
      if (found != Lookup::kFound || value.empty()) {
        report_.Note(name, "the entry ", place_name.c_str(),
                     " has no text as its default value: the browser passes over it.");
      } else if (place.hive == Hive::kCurrentUser && !policy.user_level_hosts) {
        report_.Note(name, "the entry ", place_name.c_str(), " is ignored by policy.");
        if (!ignored_user_entry.Assign(place_name.c_str())) return OutOfMemory(name);
      } else if (!winner.empty()) {
        report_.Note(name, "the entry ", place_name.c_str(), " is not used: ", winner.c_str(),
                     " comes first.");
      } else {
        if (!winner.Assign(place_name.c_str()) || !manifest.Assign(value.c_str()))
          return OutOfMemory(name);
        report_.Ok(name, "the entry ", place_name.c_str(), " wins: it names ", value.c_str(), ".");
      }
    }
    if (winner.empty()) return NotRegistered(browser, policy, ignored_user_entry);
    bool ok = CheckOnce(browser, manifest.c_str());
    BrowserState state = policy.blocked ? BrowserState::kBlocked
                         : ok           ? BrowserState::kRegistered
                                        : BrowserState::kBroken;
    report_.Browser(name, state, manifest.c_str());
    return state == BrowserState::kRegistered;
  }

 private:
  bool OutOfMemory(const char* name) {
    report_.Problem(name, "Run the check again.", "out of memory.");
    return false;
  }

  bool NotRegistered(const BrowserPlaces& browser, const PolicyOutcome& policy,
                     const DString& ignored_user_entry) {
    if (!ignored_user_entry.empty()) {
      report_.Problem(browser.name,
                      "Install the per-machine package (as an administrator), or ask the "
                      "administrator to allow user-level hosts.",
                      "only the per-user entry ", ignored_user_entry.c_str(),
                      " registers the host, and policy ", policy.user_level_source.c_str(),
                      " = 0 makes the browser ignore it: it says \"Specified native messaging "
                      "host not found.\"");
      report_.Browser(browser.name, BrowserState::kBlocked, "");
      return false;
    }
    DString places;
    for (size_t i = 0; i < browser.place_count; ++i) {
      const RegistryPlace& place = browser.places[i];
      if (!Join(&places, i ? ", " : "", HiveName(place.hive), "\\SOFTWARE\\", place.vendor,
                ViewName(place.view)))
        return OutOfMemory(browser.name);
    }
    report_.Note(browser.name, "not registered: no entry \\NativeMessagingHosts\\", expected_.host,
                 " under any of ", places.c_str(), ".");
    report_.Browser(browser.name, BrowserState::kNotRegistered, "");
    return false;
  }

  bool CheckOnce(const BrowserPlaces& browser, const char* manifest) {
    for (size_t i = 0; i < *checked_count_; ++i) {
      const CheckedManifest& earlier = checked_[i];
      if (std::strcmp(earlier.path.c_str(), manifest) != 0) continue;
      if (earlier.ok)
        report_.Ok(browser.name, "the manifest is the one checked for ", earlier.browser, ".");
      else
        report_.Note(browser.name, "the manifest is the one checked for ", earlier.browser,
                     ", with the problems shown there.");
      return earlier.ok;
    }
    bool ok = CheckManifest(system_, report_, browser.name, browser.kind, manifest, expected_);
    CheckedManifest& entry = checked_[*checked_count_];
    if (entry.path.Assign(manifest)) {
      entry.browser = browser.name;
      entry.ok = ok;
      ++*checked_count_;
    }
    return ok;
  }

  DiagnoseSystem* system_;
  Report& report_;
  const ManifestExpectations& expected_;
  CheckedManifest* checked_;
  size_t* checked_count_;
};

}  // namespace

bool HostKey(const char* vendor, const char* host, DString* key) {
  return Join(key, "SOFTWARE\\", vendor, "\\NativeMessagingHosts\\", host);
}

int CheckBrowsers(DiagnoseSystem* system, Report& report, const ManifestExpectations& expected) {
  size_t count = 0;
  const BrowserPlaces* browsers = Browsers(&count);
  CheckedManifest checked[8];
  size_t checked_count = 0;
  int usable = 0;
  for (size_t i = 0; i < count && i < 8; ++i)
    if (BrowserCheck(system, report, expected, checked, &checked_count).Run(browsers[i])) ++usable;
  return usable;
}
