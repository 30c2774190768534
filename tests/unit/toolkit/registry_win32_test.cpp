// SPDX-License-Identifier: GPL-3.0-or-later
// TRegistry on Windows is the registry itself: what it writes, other programs read there, and the reverse.
#include <gtest/gtest.h>

#include <string>

#include "toolkit/registry.h"
#include "unit/toolkit/registry_probe_win32.h"

namespace lumora {
namespace {

// A key of the tests' own under HKEY_CURRENT_USER, gone before and after each case.
const char kTestKey[] = "Software\\Lumora tests\\Registry";

class RegistryWin32Test : public ::testing::Test {
 protected:
  void SetUp() override { test_support::DeleteUserKeyTree(kTestKey); }
  void TearDown() override { test_support::DeleteUserKeyTree(kTestKey); }
};

TEST_F(RegistryWin32Test, WhatTRegistryWritesIsInTheRegistryAndTheRegistryReadsBack) {
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + kTestKey + "\\desktop", true));
    reg.WriteString("WallpaperStyle", "2");
  }
  EXPECT_TRUE(test_support::UserKeyExists(std::string(kTestKey) + "\\desktop"));
  EXPECT_EQ(test_support::ReadUserString(std::string(kTestKey) + "\\desktop", "WallpaperStyle"), "2");

  ASSERT_TRUE(test_support::WriteUserString(std::string(kTestKey) + "\\desktop", "TileWallpaper", "1"));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(std::string("\\") + kTestKey + "\\DESKTOP", false));
  EXPECT_TRUE(reg.ValueExists("tilewallpaper"));
  EXPECT_EQ(reg.ReadString("TileWallpaper"), "1");
  EXPECT_FALSE(reg.ValueExists("Missing"));
  EXPECT_EQ(reg.ReadString("Missing"), "");
}

TEST_F(RegistryWin32Test, AMissingKeyOpensOnlyWhenItMayBeCreated) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(std::string("\\") + kTestKey + "\\A\\B", false));
  EXPECT_FALSE(test_support::UserKeyExists(std::string(kTestKey) + "\\A"));
  ASSERT_TRUE(reg.OpenKey(std::string("\\") + kTestKey + "\\A\\B", true));
  EXPECT_EQ(reg.CurrentPath(), std::string(kTestKey) + "\\A\\B");
  EXPECT_TRUE(test_support::UserKeyExists(std::string(kTestKey) + "\\A\\B"));
  // A relative name goes on from the open key.
  ASSERT_TRUE(reg.OpenKey("C", true));
  EXPECT_TRUE(test_support::UserKeyExists(std::string(kTestKey) + "\\A\\B\\C"));
}

TEST_F(RegistryWin32Test, ValuesKeepTheirBytes) {
  const std::string gbk =
      "\xD6\xD0\xCE\xC4";  // "中文" in code page 936, as list files and earlier versions keep it
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(std::string("\\") + kTestKey, true));
  reg.WriteString("sn", gbk);
  reg.WriteString("empty", "");
  EXPECT_EQ(reg.ReadString("sn"), gbk);
  EXPECT_TRUE(reg.ValueExists("empty"));
  EXPECT_EQ(reg.ReadString("empty"), "");
}

}  // namespace
}  // namespace lumora
