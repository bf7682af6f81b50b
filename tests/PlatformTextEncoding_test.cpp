// Conversions between GBK, UTF-16 and UTF-8, with byte values from the GBK code table.
#include <gtest/gtest.h>

#include <string>

#include "TextEncoding.h"

namespace {

using namespace mf::platform;

TEST(PlatformTextEncoding, ConvertsAndSubstitutes) {
  // 中 D6 D0, 文 CE C4, 错 B4 ED, 误 CE F3; ASCII passes unchanged.
  EXPECT_EQ(GbkToUtf8("a\xD6\xD0\xCE\xC4"), "a中文");
  EXPECT_EQ(Utf8ToGbk("错误!"), "\xB4\xED\xCE\xF3!");
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk("警告! 关闭窗口")), "警告! 关闭窗口");
  EXPECT_EQ(GbkToUtf8(""), "");

  // A lone lead byte at the end, or a byte that starts no character, becomes U+FFFD; the rest
  // of the text survives.
  EXPECT_EQ(GbkToUtf8("ab\xD6"), "ab\uFFFD");
  EXPECT_EQ(GbkToUtf8("\xFF"
                      "x"),
            "\uFFFDx");
  // A character outside GBK becomes '?'.
  EXPECT_EQ(Utf8ToGbk("a😀b"), "a?b");
  // Damaged UTF-8 (a cut three-byte character, a stray continuation byte) too, one '?' each.
  EXPECT_EQ(Utf8ToGbk("a\xE4\xB8"), "a?");
  EXPECT_EQ(Utf8ToGbk("\x80\xD6\xD0"),
            "?"
            "\x3F\x3F");

  // UTF-16 with a surrogate pair, and an unpaired surrogate.
  EXPECT_EQ(Utf16ToUtf8(u"\u8B66\u544A!"), "警告!");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "😀");
  std::u16string lone = u"x";
  lone.push_back(char16_t(0xD800));
  EXPECT_EQ(Utf16ToUtf8(lone), "x\uFFFD");
}

TEST(PlatformTextEncoding, PrefixNeverSplitsADoubleByteCharacter) {
  const std::string text = "a\xD6\xD0\xCE\xC4";  // a中文
  EXPECT_EQ(GbkPrefixLength(text, 0), 0u);
  EXPECT_EQ(GbkPrefixLength(text, 1), 1u);
  EXPECT_EQ(GbkPrefixLength(text, 2), 1u);  // 中 would be cut in half
  EXPECT_EQ(GbkPrefixLength(text, 3), 3u);
  EXPECT_EQ(GbkPrefixLength(text, 4), 3u);
  EXPECT_EQ(GbkPrefixLength(text, 99), 5u);
  // A trail byte in the ASCII range still belongs to its lead byte ("\x81\x40" is one character).
  EXPECT_EQ(GbkPrefixLength("\x81\x40z", 1), 0u);
  EXPECT_EQ(GbkPrefixLength("\x81\x40z", 2), 2u);
}

}  // namespace
