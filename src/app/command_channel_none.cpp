// SPDX-License-Identifier: GPL-3.0-or-later
// A build without Qt Network has no channel: the command line then finds no running Lumora, and --set sets
// the picture once itself.
#include "app/command_channel.h"

namespace lumora {

struct CommandServer::Listener {};

CommandServer::CommandServer(const std::string&) : error_("built without Qt Network") {}

CommandServer::~CommandServer() = default;

void CommandServer::Serve(Handler handler) {
  handler_ = std::move(handler);
}

std::optional<CommandReply> AskRunningLumora(const std::string&, const CommandLine&) {
  return std::nullopt;
}

}  // namespace lumora
