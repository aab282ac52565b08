#include "platform/cp1252.h"

#include <gtest/gtest.h>

namespace saver {
namespace {

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");      // euro sign
  EXPECT_EQ(Cp1252ToUtf8("caf\xE9"), "caf\xC3\xA9");    // é
  EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");          // Ÿ
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\xE4\xB8\xAD" "b"), "a?b");  // a CJK character
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");     // outside the BMP
  EXPECT_EQ(Utf8ToCp1252("x\xC3"), "x?");               // cut-off sequence
  EXPECT_EQ(Utf8ToCp1252("\xFF" "z"), "?z");
  // Overlong forms would smuggle in a separator or a zero byte.
  EXPECT_EQ(Utf8ToCp1252("a\xC1\x9C" "b"), "a?b");      // a backslash in two bytes
  EXPECT_EQ(Utf8ToCp1252("\xC0\x80"), "?");              // a zero byte in two bytes
  EXPECT_EQ(Utf8ToCp1252("\xE0\x80\xAF"), "?");          // a slash in three bytes
}

}  // namespace
}  // namespace saver
