// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

namespace lumora {

enum class MessageKind {
  MessageBox,    // a plain message box with the caller's caption
  ShowMessage,   // the simple message dialog; caption is the application title
  Question,      // a box that asks for OK or Cancel
  ErrorDisplay,  // the application's standard display of an error
};

enum class MessageResult { Ok, Cancel };

struct MessageRequest {
  MessageKind kind = MessageKind::MessageBox;
  std::string text;
  std::string caption;
  bool ownedByMainWindow = false;  // modal to the main window rather than free-standing
  bool okCancel = false;           // OK and Cancel buttons rather than OK alone
  bool yesNo = false;              // Yes and No buttons, No the default (Ok stands for Yes)
};

// Every message the program shows goes through the one installed sink: the application installs one
// that shows dialogs, tests install one that records.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual MessageResult Show(const MessageRequest& request) = 0;
};

// Process-wide. The sink must outlive its installation; nullptr restores the fallback, which writes
// the message to stderr and answers Ok, so nothing is lost before the user interface exists.
void SetMessageSink(MessageSink* sink);
MessageSink* GetMessageSink();
// What the fallback does: the message on stderr, answered Ok.
MessageResult WriteToErrorStream(const MessageRequest& request);

// A box with one OK button that belongs to no window.
MessageResult MessageBox(const std::string& text, const std::string& caption);
// The same, modal to the main window.
MessageResult OwnedMessageBox(const std::string& text, const std::string& caption);
// The plain message dialog, captioned with the application title and modal to the main window.
void ShowMessage(const std::string& text);
// A box with OK and Cancel that belongs to no window.
MessageResult AskOkCancel(const std::string& text, const std::string& caption);
// Yes / No question with No as the default, modal to the main window: Ok means yes.
MessageResult AskYesNo(const std::string& text, const std::string& caption);

// The application's standard error display: a box with the error's text as it is, captioned with the
// application title and modal to the main window. EAbort shows nothing: it exists to end an operation
// quietly.
void ShowException(const std::exception& error);

const std::string& ApplicationTitle();
void SetApplicationTitle(std::string title);

// Records every request and answers from a script: queued results in order, then Ok.
class RecordingMessageSink : public MessageSink {
 public:
  MessageResult Show(const MessageRequest& request) override;

  void QueueResult(MessageResult result);
  std::vector<MessageRequest> Requests() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<MessageRequest> requests_;
  std::deque<MessageResult> script_;
};

// Installs a sink for the lifetime of the object and puts the previous one back afterwards.
class ScopedMessageSink {
 public:
  explicit ScopedMessageSink(MessageSink& sink) : previous_(GetMessageSink()) { SetMessageSink(&sink); }
  ~ScopedMessageSink() { SetMessageSink(previous_); }
  ScopedMessageSink(const ScopedMessageSink&) = delete;
  ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

 private:
  MessageSink* previous_;
};

}  // namespace lumora
