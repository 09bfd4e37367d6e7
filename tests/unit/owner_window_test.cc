// The settings dialog's owner: the window the browser named, else the first
// ancestor of the host that shows a window, a bounded number of levels up.
#include "launch/owner_window.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// host 10 -> shell 20 (no window) -> browser 30 -> 40; 11 -> 12 -> ... -> 16,
// where only 16 (five levels up) shows a window; 70 and 71 are each other's
// parent (reused process ids). 777 is a window no process here shows.
class ProcessTree final : public ProcessWindows {
 public:
  bool IsWindow(uintptr_t window) override { return window == 777 || window % 100 == 0; }
  uint32_t ParentOf(uint32_t id) override { return parents_.count(id) ? parents_[id] : 0; }
  uintptr_t FirstVisibleWindow(uint32_t id) override {
    return id == 30 || id == 40 || id == 16 ? id * 10 : 0;
  }

 private:
  std::map<uint32_t, uint32_t> parents_{{10, 20}, {20, 30}, {30, 40}, {11, 12}, {12, 13},
                                        {13, 14}, {14, 15}, {15, 16}, {70, 71}, {71, 70}};
};

}  // namespace

TEST(OwnerWindowTest, NamedWindowElseNearestAncestorWithAWindow) {
  // named window, host process, owner
  const uintptr_t cases[][3] = {{777, 10, 777}, {0, 10, 300}, {999, 10, 300}, {0, 20, 300},
                                {0, 11, 0},     {0, 70, 0},   {0, 99, 0}};
  for (const auto& c : cases) {
    ProcessTree tree;
    EXPECT_EQ(FindOwnerWindow(c[0], uint32_t(c[1]), tree), c[2]) << c[0] << " " << c[1];
  }
}

TEST(OwnerWindowTest, ParentWindowArgumentIsReadByItsForm) {
  const std::pair<std::vector<const DWChar*>, uintptr_t> cases[] = {
      {{u"chrome-extension://abc/", u"--parent-window=1234"}, 1234},
      {{u"--parent-window=0", u"chrome-extension://abc/"}, 0},
      {{u"C:\\hosts\\browser_host.json", u"agent@vellumix.example"}, 0},
      // Handles are 32-bit values, sign-extended where pointers are wider.
      {{u"--parent-window=4294967295"}, uintptr_t(intptr_t(-1))},
      {{u"--parent-window=-2147483648"}, uintptr_t(intptr_t(INT32_MIN))},
      {{u"--parent-window=4294967296", u"--parent-window=-2147483649"}, 0},
      {{u"--parent-window=00000000012", u"--parent-window=", u"--parent-window=-"}, 0},
      {{u"--parent-window=7x", u"--parent-window=--8", u"--parent-window=8"}, 8},
      {{u"--Parent-Window=5", u"-parent-window=6", nullptr}, 0},
  };
  for (const auto& [arguments, window] : cases)
    EXPECT_EQ(ParentWindowArgument(int(arguments.size()), arguments.data()), window) << window;
}
