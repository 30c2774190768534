// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>
#include <thread>

#include "toolkit/messages.h"

namespace lumora {

// Shows the program's messages as Qt message boxes. A box without owner has its own task-bar entry, sits
// in the middle of the screen and blocks nothing: the main window and the tray icon stay usable while it
// is open, and the code that asked waits for the answer all the same. A box that belongs to the main
// window blocks that window only.
class QtMessageSink final : public MessageSink {
 public:
  static QtMessageSink& Instance();
  void Install();
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  MessageResult Show(const MessageRequest& request) override;

 private:
  QPointer<QWidget> mainWindow_;
  // Boxes are widgets, which live on the thread that made the sink, the user-interface thread.
  std::thread::id ownThread_ = std::this_thread::get_id();
};

}  // namespace lumora
