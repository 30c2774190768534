// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <utility>

namespace lumora {

namespace {

using platform::DisplayStyle;

// The requests that go to the running program, by the names they have on the command line and on the
// socket.
constexpr std::array<std::pair<CommandAction, std::string_view>, 4> kRemoteActions{{
    {CommandAction::Next, "next"},
    {CommandAction::Set, "set"},
    {CommandAction::Show, "show"},
    {CommandAction::Quit, "quit"},
}};
constexpr std::array<std::pair<DisplayStyle, std::string_view>, 3> kStyles{{
    {DisplayStyle::Centred, "centred"},
    {DisplayStyle::Stretched, "stretched"},
    {DisplayStyle::Tiled, "tiled"},
}};

template <class Value, std::size_t N>
std::optional<Value> ByName(const std::array<std::pair<Value, std::string_view>, N>& table,
                            std::string_view name) {
  for (const auto& [value, valueName] : table) {
    if (valueName == name) return value;
  }
  return std::nullopt;
}

template <class Value, std::size_t N>
std::string_view NameOf(const std::array<std::pair<Value, std::string_view>, N>& table, Value value) {
  for (const auto& [entry, name] : table) {
    if (entry == value) return name;
  }
  return {};
}

CommandLine Invalid(std::string error) {
  CommandLine invalid;
  invalid.action = CommandAction::Invalid;
  invalid.error = std::move(error);
  return invalid;
}

// Splits the fields of an encoded message; nullopt until count fields have arrived.
std::optional<std::vector<std::string_view>> Fields(std::string_view bytes, std::size_t count) {
  std::vector<std::string_view> fields;
  while (fields.size() < count) {
    const std::size_t end = bytes.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    fields.push_back(bytes.substr(0, end));
    bytes.remove_prefix(end + 1);
  }
  return fields;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine command;
  bool styleGiven = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string option = arguments[i];
    std::optional<std::string> value;
    if (const std::size_t equals = option.find('=');
        option.starts_with("--") && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
    }
    const bool takesValue = option == "--set" || option == "--style";
    if (takesValue && !value) {
      if (i + 1 == arguments.size()) return Invalid(option + " needs a value");
      value = arguments[++i];
    } else if (!takesValue && value) {
      return Invalid(option + " takes no value");
    }
    CommandAction action = CommandAction::Invalid;
    if (option == "--style") {
      const std::optional<DisplayStyle> style = ByName(kStyles, *value);
      if (!style) return Invalid("unknown style '" + *value + "' (centred, stretched or tiled)");
      if (styleGiven) return Invalid("--style is given twice");
      styleGiven = true;
      command.style = style;
      continue;
    }
    if (option == "--help") {
      action = CommandAction::Help;
    } else if (option == "--version") {
      action = CommandAction::Version;
    } else if (option.starts_with("--")) {
      action = ByName(kRemoteActions, std::string_view(option).substr(2)).value_or(CommandAction::Invalid);
    }
    if (action == CommandAction::Invalid) return Invalid("unknown argument '" + arguments[i] + "'");
    if (command.action != CommandAction::Start) return Invalid("one action at a time");
    command.action = action;
    if (action == CommandAction::Set) {
      if (value->empty()) return Invalid("--set needs a file");
      command.file = *value;
    }
  }
  if (styleGiven && command.action != CommandAction::Set) return Invalid("--style goes with --set only");
  return command;
}

std::string UsageText() {
  return "Usage: lumora [--next | --set FILE [--style centred|stretched|tiled] | --show | --quit]\n"
         "       lumora --help | --version\n";
}

std::string HelpText() {
  return UsageText() +
         "\n"
         "Without arguments, starts Lumora in the current directory (one Lumora runs per user).\n"
         "The other actions go to the running Lumora and end once it has done them:\n"
         "  --next          change the wallpaper to the next picture of the list, as the hot key does\n"
         "  --set FILE      make the JPEG or BMP picture FILE the wallpaper, as 设为墙纸 does; without\n"
         "                  a running Lumora the picture is set once, without a window\n"
         "  --style STYLE   with --set: show it centred, stretched or tiled, as the style buttons do\n"
         "  --show          bring the window out of the notification area\n"
         "  --quit          end Lumora, saving its list, as 退出 does\n"
         "  --help          print this help\n"
         "  --version       print the version\n"
         "\n"
         "Exit status: 0 done; 1 not done (the reason is printed); 2 wrong arguments.\n";
}

CommandReply ReplyFromMessages(const std::vector<std::string>& said) {
  CommandReply reply;
  reply.done = said.empty();
  for (const std::string& text : said) reply.message += (reply.message.empty() ? "" : "\n") + text;
  return reply;
}

std::string EncodeRequest(const CommandLine& request) {
  std::string bytes(NameOf(kRemoteActions, request.action));
  bytes += '\0';
  if (request.style) bytes += NameOf(kStyles, *request.style);
  bytes += '\0';
  bytes += request.file;
  bytes += '\0';
  return bytes;
}

std::optional<CommandLine> DecodeRequest(std::string_view bytes) {
  const auto fields = Fields(bytes, 3);
  if (!fields) return std::nullopt;
  CommandLine request;
  request.action = ByName(kRemoteActions, (*fields)[0]).value_or(CommandAction::Invalid);
  if (!(*fields)[1].empty()) request.style = ByName(kStyles, (*fields)[1]);
  request.file = (*fields)[2];
  const bool setsFile = request.action == CommandAction::Set;
  if (request.action == CommandAction::Invalid || setsFile == request.file.empty() ||
      (!(*fields)[1].empty() && (!request.style || !setsFile))) {
    return Invalid("malformed request");
  }
  return request;
}

std::string EncodeReply(const CommandReply& reply) {
  std::string bytes = reply.done ? "done" : "failed";
  bytes += '\0';
  bytes += reply.message;
  bytes += '\0';
  return bytes;
}

std::optional<CommandReply> DecodeReply(std::string_view bytes) {
  const auto fields = Fields(bytes, 2);
  if (!fields) return std::nullopt;
  return CommandReply{(*fields)[0] == "done", std::string((*fields)[1])};
}

}  // namespace lumora
