// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/messages.h"

#include <atomic>
#include <iostream>

#include "toolkit/exceptions.h"

namespace lumora {

namespace {

std::atomic<MessageSink*> installedSink{nullptr};

std::string& Title() {
  static std::string title = "Lumora";
  return title;
}

MessageResult Deliver(const MessageRequest& request) {
  if (MessageSink* sink = installedSink.load()) return sink->Show(request);
  return WriteToErrorStream(request);
}

}  // namespace

MessageResult WriteToErrorStream(const MessageRequest& request) {
  std::cerr << (request.caption.empty() ? std::string() : request.caption + ": ") << request.text << '\n';
  return MessageResult::Ok;
}

void SetMessageSink(MessageSink* sink) {
  installedSink.store(sink);
}

MessageSink* GetMessageSink() {
  return installedSink.load();
}

MessageResult MessageBox(const std::string& text, const std::string& caption) {
  return Deliver({MessageKind::MessageBox, text, caption, false, false});
}

MessageResult OwnedMessageBox(const std::string& text, const std::string& caption) {
  return Deliver({MessageKind::MessageBox, text, caption, true, false});
}

void ShowMessage(const std::string& text) {
  // The toolkit's dialog is modal: it holds the program's windows, never the tray icon.
  Deliver({MessageKind::ShowMessage, text, ApplicationTitle(), true, false});
}

MessageResult AskOkCancel(const std::string& text, const std::string& caption) {
  return Deliver({MessageKind::Question, text, caption, false, true});
}

MessageResult AskYesNo(const std::string& text, const std::string& caption) {
  return Deliver({MessageKind::Question, text, caption, true, false, true});
}

void ShowException(const std::exception& error) {
  if (dynamic_cast<const EAbort*>(&error) != nullptr) return;
  Deliver({MessageKind::ErrorDisplay, error.what(), ApplicationTitle(), true, false});
}

const std::string& ApplicationTitle() {
  return Title();
}

void SetApplicationTitle(std::string title) {
  Title() = std::move(title);
}

MessageResult RecordingMessageSink::Show(const MessageRequest& request) {
  std::lock_guard<std::mutex> guard(mutex_);
  requests_.push_back(request);
  if (script_.empty()) return MessageResult::Ok;
  const MessageResult result = script_.front();
  script_.pop_front();
  return result;
}

void RecordingMessageSink::QueueResult(MessageResult result) {
  std::lock_guard<std::mutex> guard(mutex_);
  script_.push_back(result);
}

std::vector<MessageRequest> RecordingMessageSink::Requests() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

void RecordingMessageSink::Clear() {
  std::lock_guard<std::mutex> guard(mutex_);
  requests_.clear();
  script_.clear();
}

}  // namespace lumora
