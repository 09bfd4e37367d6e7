#include "launch/progress_relay.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProgressRelayTest, BlockTextStopsAtItsNulOrItsEnd) {
  DWString text;
  const DWChar with_nul[] = u"name\0rest";
  ASSERT_TRUE(CopyBlockText(with_nul, sizeof with_nul, &text));
  EXPECT_EQ(std::u16string(text.c_str()), u"name");
  // No NUL within the block: the text ends with the block, never beyond.
  const DWChar longer[] = u"cut here|beyond";
  ASSERT_TRUE(CopyBlockText(longer, 8 * 2, &text));
  EXPECT_EQ(std::u16string(text.c_str()), u"cut here");
  ASSERT_TRUE(CopyBlockText(longer, 7, &text));  // an odd last byte is dropped
  EXPECT_EQ(std::u16string(text.c_str()), u"cut");
  ASSERT_TRUE(CopyBlockText(nullptr, 100, &text));
  EXPECT_TRUE(text.empty());
  // An unaligned block.
  alignas(2) char bytes[7] = {0, 'o', 0, 'k', 0, 0, 0};
  ASSERT_TRUE(CopyBlockText(bytes + 1, 6, &text));
  EXPECT_EQ(std::u16string(text.c_str()), u"ok");
}
