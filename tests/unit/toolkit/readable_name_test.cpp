#include "toolkit/readable_name.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(ReadableFileName, Utf8StaysGbkIsConvertedAndTheRestShowsReplacements) {
  EXPECT_EQ(ReadableFileName("/图片/山水.jpg"), "/图片/山水.jpg");
  EXPECT_EQ(ReadableFileName("/p/\xD6\xD0\xCE\xC4.jpg"), "/p/中文.jpg");
  // Overlong forms and surrogates are not UTF-8; nor is 0xFF anything in GB18030.
  EXPECT_EQ(ReadableFileName("a\xC0\xAF\xFF"), "a\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(ReadableFileName("\xED\xA0\x80\xFF"), "\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(ReadableFileName("\xD6"), "\uFFFD");  // a lead byte cut off at the end
  EXPECT_EQ(ReadableFileName(""), "");
}

}  // namespace
}  // namespace lumora
