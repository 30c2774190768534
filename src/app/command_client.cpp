// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_client.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "app/command_channel.h"
#include "app/controls.h"
#include "app/wallpaper_setter.h"
#include "platform/instance_channel.h"
#include "toolkit/files.h"
#include "toolkit/messages.h"

namespace lumora {

namespace {

int Report(const CommandReply& reply) {
  if (reply.done) return 0;
  std::istringstream lines(reply.message);
  for (std::string line; std::getline(lines, line);) std::fprintf(stderr, "lumora: %s\n", line.c_str());
  return 1;
}

// A picture named relative to where the command was given; the installed launcher may have changed to
// the data directory since and says where it was.
std::string AbsolutePicture(const std::string& file) {
  std::filesystem::path path(file);
  if (path.is_absolute()) return file;
  if (const char* from = std::getenv("LUMORA_CALLER_DIR"); from != nullptr && *from == '/') {
    return (std::filesystem::path(from) / path).lexically_normal().string();
  }
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? file : absolute.lexically_normal().string();
}

// "设为墙纸" without a window: the picture goes to zodeveda.bmp of the current directory, as the window
// would put it there, and on to the desktop.
CommandReply SetWallpaperOnce(const CommandLine& command) {
  const std::string dir = GetCurrentDir();
  if (dir.empty()) return CommandReply{false, "the current directory is gone"};
  const std::unique_ptr<platform::DesktopWallpaper> desktop = platform::CreateDesktopWallpaper();
  WallpaperSetter setter(*desktop);
  RecordingMessageSink said;
  bool taken = false;
  {
    const ScopedMessageSink captured(said);
    RunHandler([&] {
      if (command.style) {
        try {
          desktop->WriteStyle(platform::PairOfStyle(*command.style));
        } catch (const platform::EDesktopNoAnswer&) {
          SayDesktopSilent(*desktop);
          return;
        }
      }
      taken = setter.SetFrom(command.file, dir + kPathDelimiter + "zodeveda.bmp");
    });
  }
  std::vector<std::string> texts;
  for (const MessageRequest& request : said.Requests()) texts.push_back(request.text);
  if (!taken && texts.empty()) texts.push_back(NotTakenText(*desktop));
  return ReplyFromMessages(texts);
}

}  // namespace

int RunCommandRequest(int argc, char** argv, CommandLine command) {
  const QCoreApplication app(argc, argv);
  if (command.action == CommandAction::Set) command.file = AbsolutePicture(command.file);
  std::string error;
  const std::string channel = platform::InstanceChannel(kInstanceName, error);
  if (channel.empty()) return Report(CommandReply{false, error});
  std::string why;
  switch (platform::CheckChannel(channel, why)) {
    case platform::ChannelCheck::Trusted:
      if (const std::optional<CommandReply> reply = AskRunningLumora(channel, command)) return Report(*reply);
      break;
    case platform::ChannelCheck::Untrusted:
      std::fprintf(stderr, "lumora: %s; not used\n", why.c_str());
      break;
    case platform::ChannelCheck::Absent:
      break;
  }
  if (command.action == CommandAction::Set) return Report(SetWallpaperOnce(command));
  return Report(CommandReply{false, "no Lumora is running"});
}

}  // namespace lumora
