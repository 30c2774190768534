// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/conversion.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "toolkit/exceptions.h"

namespace lumora {
namespace {

struct Accepted {
  const char* text;
  int value;
};

TEST(StrToInt, AcceptsSignedDecimalAcrossTheWhole32BitRange) {
  const Accepted cases[] = {
      {"0", 0},
      {"-0", 0},
      {"+5", 5},
      {"-17", -17},
      {"007", 7},
      {" 5", 5},
      {"   -42", -42},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"+2147483647", INT_MAX},
      {"000000000000000000002147483647", INT_MAX},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StrToInt(c.text), c.value);
    int tried = 12345;
    EXPECT_TRUE(TryStrToInt(c.text, tried));
    EXPECT_EQ(tried, c.value);
    EXPECT_EQ(StrToIntDef(c.text, 99), c.value);
  }
}

TEST(StrToInt, RejectsEverythingElseWithTheClassicMessage) {
  const std::string rejected[] = {
      "",
      " ",
      "+",
      "-",
      "5 ",
      "12a",
      "a12",
      "1 2",
      "--5",
      "+-5",
      "- 5",
      "\t5",
      "$1F",
      "0x1F",
      "1.0",
      "1e3",
      "2147483648",
      "-2147483649",
      "99999999999999999999999",
      std::string("5\0", 2),
      "\xEF\xBC\x95",  // a full-width digit five
  };
  for (const std::string& text : rejected) {
    SCOPED_TRACE(text);
    try {
      StrToInt(text);
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + text + "' is not a valid integer value");
    }
    int tried = 12345;
    EXPECT_FALSE(TryStrToInt(text, tried));
    EXPECT_EQ(tried, 12345) << "a failed conversion must leave the target alone";
    EXPECT_EQ(StrToIntDef(text, -7), -7);
  }
}

TEST(StrToInt, RoundTripsWithIntToStr) {
  for (int value : {INT_MIN, -1000000, -1, 0, 1, 65535, INT_MAX}) {
    EXPECT_EQ(StrToInt(IntToStr(value)), value);
  }
  EXPECT_EQ(IntToStr(-2147483647 - 1), "-2147483648");
}

}  // namespace
}  // namespace lumora
