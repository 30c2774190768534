// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"

namespace lumora {

// Listens on the instance channel for the command line's requests. Only the process that owns the
// instance mutex makes one, so whatever lies at the channel then is left by a copy that was killed: it is
// taken over, never asked. Only this user may connect.
class CommandServer : public QObject {
 public:
  using Answer = std::function<void(const CommandReply&)>;
  using Handler = std::function<void(const CommandLine&, const Answer&)>;

  explicit CommandServer(const std::string& channel);
  ~CommandServer() override;
  // Why nothing listens, when nothing does.
  const std::string& Error() const { return error_; }
  // From now on whole requests go to the handler; until then they wait. nullptr: they wait again.
  void Serve(Handler handler);

 private:
  struct Listener;
  std::unique_ptr<Listener> listener_;
  Handler handler_;
  std::string error_;
};

// Sends the request to the Lumora listening at the channel and waits for its reply; nullopt when none
// listens there any more (a copy that was killed left the channel behind).
std::optional<CommandReply> AskRunningLumora(const std::string& channel, const CommandLine& command);

}  // namespace lumora
