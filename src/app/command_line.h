// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop_wallpaper.h"

namespace lumora {

// What the lumora command was asked to do.
enum class CommandAction {
  Start,    // no arguments: the program with its window
  Next,     // --next
  Set,      // --set FILE [--style STYLE]
  Show,     // --show
  Quit,     // --quit
  Help,     // --help
  Version,  // --version
  Invalid,  // anything else; error says what is wrong
};

struct CommandLine {
  CommandAction action = CommandAction::Start;
  std::string file;                             // the picture of --set
  std::optional<platform::DisplayStyle> style;  // --style, which goes with --set only
  std::string error;                            // why the arguments are Invalid
  friend bool operator==(const CommandLine&, const CommandLine&) = default;
};

// The arguments after the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// --help's text; the usage lines alone follow an error.
std::string HelpText();
std::string UsageText();

// The running program's answer to a request: done, or not done and the messages that say why.
struct CommandReply {
  bool done = false;
  std::string message;
};
// The reply to a request whose run said these texts (the boxes it would have shown): done when it said
// nothing.
CommandReply ReplyFromMessages(const std::vector<std::string>& said);

// A request to the running program and its reply as they travel over the local socket. Every field ends
// with a NUL, which no path holds. Decoding gives nullopt while the bytes do not yet hold the whole of
// one; a malformed request decodes as Invalid.
std::string EncodeRequest(const CommandLine& request);
std::optional<CommandLine> DecodeRequest(std::string_view bytes);
std::string EncodeReply(const CommandReply& reply);
std::optional<CommandReply> DecodeReply(std::string_view bytes);

}  // namespace lumora
