// The settings dialog's owner: the window the browser named, else the first
// ancestor of the host that shows a window, a bounded number of levels up.
#include "launch/owner_window.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace {

// host 10 -> shell 20 (no window) -> browser 30 -> 40; 11 -> 12 -> ... -> 16,
// where only 16 shows a window (five levels up); 70 and 71 are each other's
// parent (reused process ids).
class ProcessTree final : public ProcessWindows {
 public:
  bool IsWindow(uintptr_t window) override { return windows_.count(window) > 0; }
  uint32_t ParentOf(uint32_t id) override { return parents_.count(id) ? parents_[id] : 0; }
  uintptr_t FirstVisibleWindow(uint32_t id) override { return shown_.count(id) ? shown_[id] : 0; }

 private:
  std::map<uint32_t, uint32_t> parents_{{10, 20}, {20, 30}, {30, 40}, {11, 12}, {12, 13},
                                        {13, 14}, {14, 15}, {15, 16}, {70, 71}, {71, 70}};
  std::map<uint32_t, uintptr_t> shown_{{30, 300}, {40, 400}, {16, 160}};
  std::set<uintptr_t> windows_{300, 400, 160, 777};
};

}  // namespace

TEST(OwnerWindowTest, NamedWindowElseNearestAncestorWithAWindow) {
  struct Case {
    uintptr_t named;
    uint32_t host;
    uintptr_t owner;
  } cases[] = {
      {777, 10, 777},  // named and a window: wins over the walk
      {0, 10, 300},    // through the shell to the browser
      {999, 10, 300},  // named but no window
      {0, 20, 300},    // started by the browser itself
      {0, 11, 0},      // the only window is too far up
      {0, 70, 0},      // a loop of parents ends
      {0, 99, 0},      // no parent known
  };
  for (const Case& c : cases) {
    ProcessTree tree;
    EXPECT_EQ(FindOwnerWindow(c.named, c.host, tree), c.owner) << c.named << " " << c.host;
  }
}

TEST(OwnerWindowTest, ParentWindowArgumentIsReadByItsForm) {
  const std::pair<std::vector<const DWChar*>, uintptr_t> cases[] = {
      {{u"chrome-extension://abc/", u"--parent-window=1234"}, 1234},
      {{u"--parent-window=0", u"chrome-extension://abc/"}, 0},
      {{u"C:\\hosts\\browser_host.json", u"agent@vellumix.example"}, 0},
      {{u"--parent-window=4294967295"}, 0xFFFFFFFFu},
      {{u"--parent-window=4294967296"}, 0},
      {{u"--parent-window=00000000012"}, 0},
      {{u"--parent-window=-5", u"--parent-window=", u"--parent-window=7x", u"--parent-window=8"},
       8},
      {{u"--Parent-Window=5", u"-parent-window=6", nullptr}, 0},
      {{}, 0},
  };
  for (const auto& [arguments, window] : cases)
    EXPECT_EQ(ParentWindowArgument(int(arguments.size()), arguments.data()), window)
        << arguments.size();
}
