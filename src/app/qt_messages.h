#pragma once

#include <QPointer>
#include <QWidget>

#include "toolkit/messages.h"

namespace lumora {

// Shows the program's messages as Qt message boxes: without owner (their own task-bar entry, centred on
// the screen) unless the message belongs to the main window.
class QtMessageSink final : public MessageSink {
 public:
  static QtMessageSink& Instance();
  void Install();
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  MessageResult Show(const MessageRequest& request) override;

 private:
  QPointer<QWidget> mainWindow_;
};

}  // namespace lumora
