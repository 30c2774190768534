// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

using platform::DisplayStyle;

TEST(CommandLineTest, ParsesEachActionAndRefusesWhatIsWrong) {
  const auto command = [](CommandAction action, std::string file = {},
                          std::optional<DisplayStyle> style = std::nullopt) {
    return CommandLine{action, std::move(file), style, {}};
  };
  const struct {
    std::vector<std::string> arguments;
    CommandLine expected;
  } valid[] = {
      {{}, command(CommandAction::Start)},
      {{"--next"}, command(CommandAction::Next)},
      {{"--show"}, command(CommandAction::Show)},
      {{"--quit"}, command(CommandAction::Quit)},
      {{"--help"}, command(CommandAction::Help)},
      {{"--version"}, command(CommandAction::Version)},
      {{"--set", "a b.jpg"}, command(CommandAction::Set, "a b.jpg")},
      {{"--set", "--next"}, command(CommandAction::Set, "--next")},
      {{"--set=x=y.bmp", "--style", "tiled"}, command(CommandAction::Set, "x=y.bmp", DisplayStyle::Tiled)},
      {{"--style=stretched", "--set", "p.jpg"},
       command(CommandAction::Set, "p.jpg", DisplayStyle::Stretched)},
      {{"--set", "p.jpg", "--style", "centred"}, command(CommandAction::Set, "p.jpg", DisplayStyle::Centred)},
  };
  for (const auto& [arguments, expected] : valid) {
    EXPECT_EQ(ParseCommandLine(arguments), expected) << ::testing::PrintToString(arguments);
  }
  const std::vector<std::string> invalid[] = {
      {"--bogus"},
      {"next"},
      {"-n"},
      {"--set"},
      {"--set="},
      {"--next", "--quit"},
      {"--next=1"},
      {"--style", "tiled"},
      {"--set", "p.jpg", "--style"},
      {"--set", "p.jpg", "--style", "zoom"},
      {"--set", "p", "--style", "tiled", "--style", "tiled"},
  };
  for (const auto& arguments : invalid) {
    const CommandLine parsed = ParseCommandLine(arguments);
    EXPECT_EQ(parsed.action, CommandAction::Invalid) << ::testing::PrintToString(arguments);
    EXPECT_FALSE(parsed.error.empty());
  }
}

TEST(CommandLineTest, RequestsAndRepliesArriveWholeOrNotAtAll) {
  const CommandLine set{CommandAction::Set, "/tmp/a\nb.jpg", DisplayStyle::Tiled, {}};
  const std::string bytes = EncodeRequest(set);
  EXPECT_EQ(DecodeRequest(bytes), set);
  EXPECT_EQ(DecodeRequest(bytes.substr(0, bytes.size() - 1)), std::nullopt);
  EXPECT_EQ(DecodeRequest(EncodeRequest(CommandLine{CommandAction::Quit, {}, {}, {}})),
            (CommandLine{CommandAction::Quit, {}, {}, {}}));
  for (const std::string& malformed :
       {std::string("start\0\0\0", 8), std::string("next\0tiled\0\0", 12), std::string("set\0\0\0", 6),
        std::string("set\0zoom\0/a.jpg\0", 16), std::string("show\0\0/a.jpg\0", 13)}) {
    EXPECT_EQ(DecodeRequest(malformed).value_or(CommandLine{}).action, CommandAction::Invalid);
  }
  const CommandReply failed = ReplyFromMessages({"a不存在!", "second"});
  EXPECT_FALSE(failed.done);
  const std::optional<CommandReply> decoded = DecodeReply(EncodeReply(failed));
  ASSERT_TRUE(decoded);
  EXPECT_FALSE(decoded->done);
  EXPECT_EQ(decoded->message, "a不存在!\nsecond");
  EXPECT_TRUE(DecodeReply(EncodeReply(ReplyFromMessages({})))->done);
  EXPECT_EQ(DecodeReply(std::string("done\0", 5)), std::nullopt);
}

}  // namespace
}  // namespace lumora
