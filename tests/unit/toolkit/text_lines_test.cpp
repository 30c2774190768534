// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/text_lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "toolkit/exceptions.h"
#include "unit/toolkit/temp_dir.h"

namespace lumora {
namespace {

using Lines = std::vector<std::string>;
using test_support::TempDir;

struct SplitCase {
  std::string text;
  Lines lines;
};

TEST(SplitTextLines, FollowsTheStringListLineRules) {
  const SplitCase cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r", {"a"}},
      {"a\r\n", {"a"}},
      {"\r\n", {""}},
      {"\n", {""}},
      {"\r", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      // LF then CR is not a pair: two line ends.
      {"a\n\rb", {"a", "", "b"}},
      {"\n\r", {"", ""}},
      {"a\r\n\nb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
      {"  spaced  \r\n\tx", {"  spaced  ", "\tx"}},
      {"壁纸\r\n图片.jpg", {"壁纸", "图片.jpg"}},
      {std::string("a\0b\nc", 5), {std::string("a\0b", 3), "c"}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    EXPECT_EQ(SplitTextLines(c.text), c.lines);
  }
}

TEST(JoinTextLines, EndsEveryLineWithCrLfAndSplitsBackToTheSameLines) {
  EXPECT_EQ(JoinTextLines({}), "");
  EXPECT_EQ(JoinTextLines({""}), "\r\n");
  EXPECT_EQ(JoinTextLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  const Lines samples[] = {{}, {""}, {"", ""}, {"a", "", "b", ""}, {"  x  ", "壁纸"}};
  for (const Lines& lines : samples) EXPECT_EQ(SplitTextLines(JoinTextLines(lines)), lines);
}

std::string FileContents(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(TextLinesFile, SavesCrLfLinesAndLoadsThemBack) {
  TempDir dir;
  const std::string file = dir.File("list.txt");
  const Lines lines = {"/home/u/壁纸/one.jpg", "", " two with spaces.bmp "};
  SaveTextLinesToFile(file, lines);
  EXPECT_EQ(FileContents(file), "/home/u/壁纸/one.jpg\r\n\r\n two with spaces.bmp \r\n");
  EXPECT_EQ(LoadTextLinesFromFile(file), lines);

  SaveTextLinesToFile(file, {"only"});
  EXPECT_EQ(LoadTextLinesFromFile(file), Lines{"only"}) << "saving must replace, not append";
  SaveTextLinesToFile(file, {});
  EXPECT_EQ(FileContents(file), "");
  EXPECT_EQ(LoadTextLinesFromFile(file), Lines{});
}

TEST(TextLinesFile, LoadDropsALeadingByteOrderMarkOnly) {
  TempDir dir;
  const std::string file = dir.File("bom.txt");
  std::ofstream(file, std::ios::binary) << "\xEF\xBB\xBF"
                                        << "first\nsecond\xEF\xBB\xBF\n";
  EXPECT_EQ(LoadTextLinesFromFile(file), (Lines{"first", "second\xEF\xBB\xBF"}));
}

TEST(TextLinesFile, FailuresAreReportedNotLost) {
  TempDir dir;
  const std::string missing = dir.File("missing.txt");
  try {
    LoadTextLinesFromFile(missing);
    ADD_FAILURE() << "loading a missing file succeeded";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find(missing), std::string::npos) << e.Message();
  }
  EXPECT_THROW(LoadTextLinesFromFile(dir.Path().string()), EFOpenError);

  const std::string unreachable = dir.File("no-such-dir/list.txt");
  try {
    SaveTextLinesToFile(unreachable, {"a"});
    ADD_FAILURE() << "saving into a missing directory succeeded";
  } catch (const EFCreateError& e) {
    EXPECT_NE(e.Message().find(unreachable), std::string::npos) << e.Message();
  }
  if (std::filesystem::is_character_file("/dev/full")) {
    EXPECT_THROW(SaveTextLinesToFile("/dev/full", {"a"}), EWriteError);
  }
}

}  // namespace
}  // namespace lumora
