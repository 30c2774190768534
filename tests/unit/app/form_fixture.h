// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/main_form.h"
#include "support/process.h"
#include "toolkit/messages.h"
#include "toolkit/registry.h"

namespace lumora::test {

// What the window asked of the desktop; the style pair is kept here as a desktop keeps it.
struct DesktopRecord {
  platform::DisplayStylePair style;
  int styleWrites = 0;
  std::string styleFailure;  // how the next style writes fail: "silent" (no answer), "refused", or not at all
  int reapplies = 0;
  std::vector<std::string> wallpapers;  // each SetWallpaper's file, as it read at that moment
  std::vector<bool> withPicture;        // whether the pixels came along
};

class RecordingDesktop : public platform::DesktopWallpaper {
 public:
  explicit RecordingDesktop(std::shared_ptr<DesktopRecord> record) : record_(std::move(record)) {}
  std::string Name() const override { return "recording"; }
  platform::DisplayStylePair ReadStyle() override { return record_->style; }
  void WriteStyle(const platform::DisplayStylePair& pair) override {
    if (record_->styleFailure == "silent") throw platform::EDesktopNoAnswer("no reply");
    if (record_->styleFailure == "refused")
      throw ERegistryException("Failed to set data for 'TileWallPaper'");
    record_->style = pair;
    ++record_->styleWrites;
  }
  bool SetWallpaper(const std::string& bmpFile, const PixelRows* picture) override {
    record_->wallpapers.push_back(ReadWholeFile(bmpFile));
    record_->withPicture.push_back(picture != nullptr);
    return true;
  }
  bool Reapply() override {
    ++record_->reapplies;
    return true;
  }

 private:
  std::shared_ptr<DesktopRecord> record_;
};

// The session's hot keys as the window used them: what is registered under which identifier, which
// combinations the session refuses, and the window's press handler to press them with.
struct HotKeyRecord {
  struct Combination {
    unsigned modifiers = 0;
    unsigned key = 0;
    bool operator==(const Combination&) const = default;
  };
  std::vector<std::pair<int, Combination>> registered;
  std::vector<Combination> attempts;
  int refusals = 0;               // how many of the next attempts the session refuses
  bool notOffered = false;        // a session that lets no program bind keys
  platform::ManualHotKey manual;  // what such a session tells the user to bind by hand
  platform::GlobalHotKeys::PressHandler press;
};

class RecordingHotKeys : public platform::GlobalHotKeys {
 public:
  explicit RecordingHotKeys(std::shared_ptr<HotKeyRecord> record) : record_(std::move(record)) {}
  platform::HotKeyResult Register(int id, unsigned modifiers, unsigned key) override {
    record_->attempts.push_back({modifiers, key});
    if (record_->notOffered) return platform::HotKeyResult::NotOffered;
    if (record_->refusals > 0) {
      --record_->refusals;
      return platform::HotKeyResult::Taken;
    }
    record_->registered.push_back({id, {modifiers, key}});
    return platform::HotKeyResult::Registered;
  }
  platform::ManualHotKey ManualBinding(unsigned, unsigned) const override { return record_->manual; }
  void Unregister(int id) override {
    std::erase_if(record_->registered, [id](const auto& entry) { return entry.first == id; });
  }

 private:
  std::shared_ptr<HotKeyRecord> record_;
};

// Each test starts the window in a directory of its own with a registry of its own, as a fresh user
// would, and records every message the window shows.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
    SetRegistryStorePath(dir_ / "registry.ini");
  }
  void TearDown() override {
    form_.reset();
    SetRegistryStorePath("");
    ASSERT_EQ(::chdir("/"), 0);
  }

  TForm1& Form() {
    if (!form_) {
      form_ = std::make_unique<TForm1>(nullptr, std::make_unique<RecordingDesktop>(desktop_),
                                       [this](platform::GlobalHotKeys::PressHandler press) {
                                         hotKeys_->press = std::move(press);
                                         return std::make_unique<RecordingHotKeys>(hotKeys_);
                                       });
    }
    return *form_;
  }
  void Rebuild() {
    form_.reset();
    Form();
  }
  static std::string ReadRegistry(TRootKey root, const std::string& key, const std::string& name) {
    TRegistry registry;
    registry.RootKey = root;
    registry.OpenKey(key, false);
    return registry.ReadString(name);
  }
  static void WriteRegistry(TRootKey root, const std::string& key, const std::string& name,
                            const std::string& value) {
    TRegistry registry;
    registry.RootKey = root;
    registry.OpenKey(key, true);
    registry.WriteString(name, value);
  }
  // Runs the event loop until the condition holds or the time is up.
  static bool ProcessEventsUntil(const std::function<bool()>& condition, int milliseconds = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
      if (timer.elapsed() > milliseconds) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
  }

  // Answers the file dialog when it runs: types the names (full paths, or names in the dialog's folder)
  // into its file name box and accepts, as a user would; no names cancels it.
  static void AnswerDialog(QFileDialog* dialog, const QStringList& names) {
    QTimer::singleShot(0, dialog, [dialog, names] {
      if (names.isEmpty()) return dialog->reject();
      QString typed = names.size() == 1 ? names.front() : "\"" + names.join("\" \"") + "\"";
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
      static_cast<QDialog*>(dialog)->accept();  // the dialog's own checks run, as for the OK button
    });
  }

  ScratchDirectory dir_;
  std::shared_ptr<DesktopRecord> desktop_ = std::make_shared<DesktopRecord>();
  std::shared_ptr<HotKeyRecord> hotKeys_ = std::make_shared<HotKeyRecord>();
  RecordingMessageSink messages_;
  ScopedMessageSink scopedSink_{messages_};
  std::unique_ptr<TForm1> form_;
};

}  // namespace lumora::test
