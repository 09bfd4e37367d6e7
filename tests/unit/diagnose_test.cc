// The installation check's decisions over a scripted machine: which entry
// each browser takes, what the policies do to it, and what is wrong with a
// manifest. The Win32 reads are checked under wine64 after an install
// (tests/packaging/diagnose_test.py).
#include "diagnose/diagnose.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "diagnose/policy_check.h"

namespace {

const char kHost[] = "com.vellumix.browser_host";
const char kId[] = "njgmmcejojeicglfeekeomlglapghamo";
const char kOwn[] = "C:\\Host\\VellumixBrowserHost.exe";
const char kChromiumJson[] = "C:\\Host\\com.vellumix.browser_host.chromium.json";
const char kFirefoxJson[] = "C:\\Host\\firefox.json";
const std::string kGoodChromium =
    R"({"name": "com.vellumix.browser_host", "path": "VellumixBrowserHost.exe", "type": "stdio",
        "allowed_origins": ["chrome-extension://njgmmcejojeicglfeekeomlglapghamo/"]})";

std::string Place(Hive hive, View view, const std::string& key) {
  return std::to_string(int(hive)) + std::to_string(int(view)) + key;
}

std::string HostKey(const char* vendor) {
  return std::string("SOFTWARE\\") + vendor + "\\NativeMessagingHosts\\" + kHost;
}

class FakeMachine : public DiagnoseSystem {
 public:
  std::map<std::string, std::string> strings, lists, files;
  std::map<std::string, uint32_t> numbers;

  Lookup ReadString(Hive hive, View view, const char* key, const char*, DString* text) override {
    auto found = strings.find(Place(hive, view, key));
    if (found == strings.end()) return Lookup::kMissing;
    return text->Assign(found->second.c_str()) ? Lookup::kFound : Lookup::kFailed;
  }
  Lookup ReadNumber(Hive hive, View view, const char* key, const char* value,
                    uint32_t* number) override {
    auto found = numbers.find(Place(hive, view, std::string(key) + "|" + value));
    if (found == numbers.end()) return Lookup::kMissing;
    *number = found->second;
    return Lookup::kFound;
  }
  Lookup ReadList(Hive hive, View view, const char* key, DString* lines) override {
    auto found = lists.find(Place(hive, view, key));
    if (found == lists.end()) return Lookup::kMissing;
    return lines->Assign(found->second.c_str()) ? Lookup::kFound : Lookup::kFailed;
  }
  FileRead ReadFile(const char* path, uint32_t, DString* bytes) override {
    auto found = files.find(path);
    if (found == files.end()) return FileRead::kMissing;
    return bytes->Assign(found->second.c_str()) ? FileRead::kRead : FileRead::kUnreadable;
  }
  bool IsFile(const char* path) override { return files.count(path) > 0; }
  bool SameFile(const char* a, const char* b) override { return std::string(a) == b; }
  bool OwnPath(DString* path) override { return path->Assign(kOwn); }
  bool EditorFolder(View view, DString* folder) override {
    return view == View::k32 && folder->Assign("C:\\Editor\\");
  }
  bool TempFolder(DString* folder) override { return folder->Assign("C:\\Temp\\"); }
  uint32_t ProbeWrite(const char*) override { return 0; }
  bool FreeBytes(const char*, uint64_t* bytes) override { return (*bytes = 1ull << 32), true; }
  Signature CheckSignature(const char*, uint32_t*) override { return Signature::kNone; }
};

class Capture : public ReportSink {
 public:
  std::vector<std::string> problems, oks;
  std::map<std::string, BrowserState> browsers;
  bool Finding(Verdict verdict, const char* topic, const char* text, const char* fix) override {
    std::string line = std::string(topic) + ": " + text + " Fix: " + fix;
    if (verdict == Verdict::kProblem) problems.push_back(line);
    if (verdict == Verdict::kOk) oks.push_back(line);
    return true;
  }
  bool Browser(const char* name, BrowserState state, const char*) override {
    browsers[name] = state;
    return true;
  }
  bool Finish(uint32_t) override { return true; }
};

// The per-machine package on 64-bit Windows as the x86_64 build installs it.
FakeMachine Installed() {
  FakeMachine machine;
  for (const char* vendor : {"Google\\Chrome", "Microsoft\\Edge", "Chromium"})
    machine.strings[Place(Hive::kLocalMachine, View::k64, HostKey(vendor))] = kChromiumJson;
  machine.strings[Place(Hive::kLocalMachine, View::k64, HostKey("Mozilla"))] = kFirefoxJson;
  machine.files = {
      {kOwn, ""},
      {"C:\\Host\\VereZeDid2Uza.x86.exe", ""},
      {"C:\\Editor\\VLXEditor.exe", ""},
      {kChromiumJson, kGoodChromium},
      {kFirefoxJson,
       R"({"name": "com.vellumix.browser_host", "path": "C:\\Host\\VellumixBrowserHost.exe",
                        "type": "stdio", "allowed_extensions": ["browser-host@vellumix.com"]})"}};
  return machine;
}

int Diagnose(FakeMachine& machine, Capture* capture) {
  DiagnoseConfig config{kHost, "11.1.1.0", kId, "browser-host@vellumix.com"};
  return RunDiagnosis(&machine, capture, config);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

TEST(Diagnose, WorkingInstallRegistersEveryBrowser) {
  FakeMachine machine = Installed();
  Capture capture;
  EXPECT_EQ(Diagnose(machine, &capture), 0);
  EXPECT_TRUE(capture.problems.empty()) << capture.problems[0];
  for (const char* browser : {"Chrome", "Edge", "Chromium", "Firefox", "Brave", "Vivaldi"})
    EXPECT_EQ(capture.browsers[browser], BrowserState::kRegistered) << browser;
}

// Each fault alone: the one problem it causes names what is wrong.
struct Fault {
  const char* name;
  void (*apply)(FakeMachine&);
  const char* problem;
};

const Fault kFaults[] = {
    {"ManifestMissing", [](FakeMachine& m) { m.files.erase(kChromiumJson); }, "does not exist"},
    // Chrome skips a byte-order mark; Firefox does not.
    {"Bom", [](FakeMachine& m) { m.files[kFirefoxJson].insert(0, "\xEF\xBB\xBF"); },
     "byte-order mark: Firefox cannot parse it"},
    {"NotJson", [](FakeMachine& m) { m.files[kChromiumJson] = "{\"name\": "; }, "not valid JSON"},
    {"NotUtf8", [](FakeMachine& m) { m.files[kChromiumJson] = "{\"name\": \"\xC3\x28\"}"; },
     "not UTF-8"},
    {"WrongName",
     [](FakeMachine& m) { m.files[kChromiumJson] = Replaced(kGoodChromium, "browser_host", "x"); },
     "\"name\" \"com.vellumix.x\""},
    {"WrongType",
     [](FakeMachine& m) { m.files[kChromiumJson] = Replaced(kGoodChromium, "stdio", "native"); },
     "\"type\": \"stdio\""},
    {"PathToNothing",
     [](FakeMachine& m) { m.files[kChromiumJson] = Replaced(kGoodChromium, "Vellumix", "Old"); },
     "C:\\Host\\OldBrowserHost.exe, which does not exist"},
    {"PathToAnotherProgram",
     [](FakeMachine& m) {
       m.files[kChromiumJson] =
           Replaced(kGoodChromium, "VellumixBrowserHost.exe", "VereZeDid2Uza.x86.exe");
     },
     "which is not the host program"},
    {"NoOrigins",
     [](FakeMachine& m) {
       m.files[kChromiumJson] =
           Replaced(kGoodChromium, "\"chrome-extension://" + std::string(kId) + "/\"", "");
     },
     "no \"allowed_origins\" list"},
    {"MalformedOrigin",
     [](FakeMachine& m) { m.files[kChromiumJson] = Replaced(kGoodChromium, "extension://", "x"); },
     "not chrome-extension://<id>/"},
    {"OtherExtension",
     [](FakeMachine& m) { m.files[kChromiumJson] = Replaced(kGoodChromium, "njgm", "aaaa"); },
     "does not name chrome-extension://njgm"},
    {"BlocklistAll",
     [](FakeMachine& m) {
       m.lists[Place(Hive::kLocalMachine, View::k64,
                     "SOFTWARE\\Policies\\Google\\Chrome\\NativeMessagingBlocklist")] = "*\n";
     },
     "blocks com.vellumix.browser_host"},
    {"EditorMissing", [](FakeMachine& m) { m.files.erase("C:\\Editor\\VLXEditor.exe"); },
     "VLXEditor.exe does not exist"},
    {"ConverterMissing", [](FakeMachine& m) { m.files.erase("C:\\Host\\VereZeDid2Uza.x86.exe"); },
     "page conversions fail"},
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class FaultTest : public testing::TestWithParam<Fault> {};

TEST_P(FaultTest, IsOneProblemWithItsFix) {
  FakeMachine machine = Installed();
  GetParam().apply(machine);
  Capture capture;
  EXPECT_EQ(Diagnose(machine, &capture), 1);
  ASSERT_EQ(capture.problems.size(), 1u) << capture.problems[0];
  EXPECT_NE(capture.problems[0].find(GetParam().problem), std::string::npos) << capture.problems[0];
  EXPECT_NE(capture.problems[0].substr(capture.problems[0].size() - 5), "Fix: ");
}

INSTANTIATE_TEST_SUITE_P(Diagnose, FaultTest, testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// Which entry wins: the user's before the machine's, the 32-bit view before
// the 64-bit one, and for Edge its own key before Chromium's and Chrome's in
// each place; a policy against user-level hosts passes over HKCU.
TEST(Diagnose, EachBrowserTakesTheFirstEntryInItsOrder) {
  FakeMachine machine = Installed();
  machine.strings[Place(Hive::kLocalMachine, View::k32, HostKey("Google\\Chrome"))] = kChromiumJson;
  machine.strings[Place(Hive::kCurrentUser, View::kShared, HostKey("Chromium"))] = kChromiumJson;
  Capture capture;
  EXPECT_EQ(Diagnose(machine, &capture), 0);
  auto winner = [&](const std::string& browser) {
    for (const std::string& line : capture.oks)
      if (line.rfind(browser + ": the entry ", 0) == 0 && line.find(" wins") != std::string::npos)
        return line.substr(browser.size() + 12, line.find(" wins") - browser.size() - 12);
    return std::string();
  };
  EXPECT_EQ(winner("Chrome"), "HKLM\\" + HostKey("Google\\Chrome") + " (32-bit view)");
  EXPECT_EQ(winner("Edge"), "HKCU\\" + HostKey("Chromium"));
  EXPECT_EQ(winner("Chromium"), "HKCU\\" + HostKey("Chromium"));
  EXPECT_EQ(winner("Firefox"), "HKLM\\" + HostKey("Mozilla") + " (64-bit view)");

  machine.numbers[Place(Hive::kCurrentUser, View::kShared,
                        "SOFTWARE\\Policies\\Microsoft\\Edge|NativeMessagingUserLevelHosts")] = 0;
  capture = Capture();
  EXPECT_EQ(Diagnose(machine, &capture), 0);
  EXPECT_EQ(winner("Edge"), "HKLM\\" + HostKey("Google\\Chrome") + " (32-bit view)");

  // A browser left out is no problem while another can start the host.
  machine.strings.erase(Place(Hive::kLocalMachine, View::k64, HostKey("Mozilla")));
  capture = Capture();
  EXPECT_EQ(Diagnose(machine, &capture), 0);
  EXPECT_EQ(capture.browsers["Firefox"], BrowserState::kNotRegistered);
}

TEST(Diagnose, PoliciesDecideForTheHost) {
  const std::string kPolicies = "SOFTWARE\\Policies\\Google\\Chrome";
  struct Case {
    const char* blocklist;
    const char* allowlist;  // null: not set
    bool per_user_only;
    uint32_t user_level;
    BrowserState chrome;
  } cases[] = {
      {"*\n", "com.vellumix.browser_host\n", false, 1, BrowserState::kRegistered},
      {"com.vellumix.browser_host\n", nullptr, false, 1, BrowserState::kBlocked},
      {"com.vellumix.browser_host.old\ncom.other\n", nullptr, false, 1, BrowserState::kRegistered},
      {"*\n", "*", false, 1, BrowserState::kRegistered},
      {"", nullptr, true, 0, BrowserState::kBlocked},
      {"", nullptr, true, 1, BrowserState::kRegistered},
      {"", nullptr, false, 0, BrowserState::kRegistered},
  };
  for (const Case& c : cases) {
    FakeMachine machine = Installed();
    machine
        .lists[Place(Hive::kCurrentUser, View::kShared, kPolicies + "\\NativeMessagingBlocklist")] =
        c.blocklist;
    if (c.allowlist)
      machine
          .lists[Place(Hive::kLocalMachine, View::k64, kPolicies + "\\NativeMessagingAllowlist")] =
          c.allowlist;
    machine.numbers[Place(Hive::kLocalMachine, View::k64,
                          kPolicies + "|NativeMessagingUserLevelHosts")] = c.user_level;
    if (c.per_user_only) {
      auto& strings = machine.strings;
      strings[Place(Hive::kCurrentUser, View::kShared, HostKey("Google\\Chrome"))] = kChromiumJson;
      strings.erase(Place(Hive::kLocalMachine, View::k64, HostKey("Google\\Chrome")));
    }
    Capture capture;
    int code = Diagnose(machine, &capture);
    EXPECT_EQ(capture.browsers["Chrome"], c.chrome) << c.blocklist << " / " << c.per_user_only;
    EXPECT_EQ(code, c.chrome == BrowserState::kRegistered ? 0 : 1);
  }
}

}  // namespace
