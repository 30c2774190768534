// SPDX-License-Identifier: GPL-3.0-or-later
// The wallpaper list's files in the real main window, 10 000 entries: "打开" and "保存" with their dialogs
// answered, the save at exit, and a first run over 10 000 pictures in img/; each checked, and timed against
// plain Qt doing the same job with text instead of the entries' bytes. Run by run_all.sh.
// usage: bench_list_files [runs]   (in an empty directory; exits 1 on a wrong result, 2 on a missed target)

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSaveFile>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "jpeg/jpeg_file_formats.h"
#include "toolkit/messages.h"
#include "toolkit/registry.h"

namespace fs = std::filesystem;
using namespace lumora;

namespace {

constexpr int kEntries = 10000;
using Clock = std::chrono::steady_clock;

// Lets the windows finish what the last step queued (layout, painting) before the next one is timed.
void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}
double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}
void Time(std::vector<double>& times, const std::function<void()>& job) {
  Settle();
  const Clock::time_point start = Clock::now();
  job();
  times.push_back(Ms(start, Clock::now()));
}
double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Check(bool holds, const std::string& what) {
  if (holds) return;
  std::fprintf(stderr, "bench_list_files: FAILED: %s\n", what.c_str());
  std::exit(1);
}

// A box would wait for a person, and any message at all means the step went wrong.
RecordingMessageSink messages;
void NoMessages(const std::string& step) {
  for (const MessageRequest& m : messages.Requests()) Check(false, step + " showed a message: " + m.text);
}

std::string Slurp(const fs::path& path) {
  QFile file(QFile::decodeName(path.c_str()));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// Paths as a picture collection has them: mostly ASCII, two in five in Chinese, and every 250th from an
// old GBK system ("壁纸图片"), bytes that are not UTF-8.
std::vector<std::string> MakeEntries() {
  const char* folders[] = {"/home/lin/Pictures/Wallpapers/", "/mnt/photos/archive/", "/home/lin/图片/壁纸/",
                           "/media/lin/数据盘/照片/", "/home/lin/old/\xB1\xDA\xD6\xBD\xCD\xBC\xC6\xAC/"};
  const char* tags[] = {"", "_edit", "_hdr", "_pano_stitched", "_调色后", "_small"};
  std::vector<std::string> entries;
  for (int i = 0; i < kEntries; ++i) {
    const int folder = i % 250 == 7 ? 4 : i % 5 >= 3 ? i % 5 - 1 : i % 2;
    char name[160];
    std::snprintf(name, sizeof name, "%s%04d/%02d-%02d/%s_%04d%02d%02d_%02d%02d%02d_%05d%s.%s",
                  folders[folder], 2010 + i % 14, 1 + i % 12, 1 + i % 28, folder >= 2 ? "旅行" : "IMG",
                  2010 + i % 14, 1 + i % 12, 1 + i % 28, i % 24, i % 60, i * 7 % 60, i, tags[i % 6],
                  i % 7 == 0 ? "bmp" : "jpg");
    entries.emplace_back(name);
    Check(entries.back().size() >= 60 && entries.back().size() <= 90, "entry length: " + entries.back());
    Check((folder == 4) == (QString::fromUtf8(name).toUtf8().toStdString() != name), "GBK entry is UTF-8");
  }
  return entries;
}

// Runs the handler and answers its dialog as a person does, typing the name and pressing OK; times from
// the OK, since how long the dialog stood open is the person's time, not ours.
void TimedAnswer(std::vector<double>& times, const std::string& step, QFileDialog* dialog,
                 const fs::path& path, const std::function<void()>& handler) {
  Settle();
  static Clock::time_point accepted;  // outlives a dialog that never ran, whose answer comes later
  accepted = {};
  QTimer::singleShot(0, dialog, [dialog, path] {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    Check(name != nullptr, "the file dialog has no name box");
    name->setText(QFile::decodeName(path.c_str()));
    accepted = Clock::now();
    static_cast<QDialog*>(dialog)->accept();
  });
  handler();
  const Clock::time_point done = Clock::now();
  NoMessages(step);
  Check(accepted != Clock::time_point{}, step + ": the file dialog was never answered");
  times.push_back(Ms(accepted, done));
}

bool targetsMet = true;
void Report(const char* label, double ours, double target, const char* peerName, double peer) {
  targetsMet = targetsMet && ours < target;
  // The label goes last: printf pads by bytes, and a Chinese character is three bytes in two columns.
  std::printf("%7.2f ms (target < %3.0f ms) %-6s vs %-27s %7.2f ms = %5.2f x   %s\n", ours, target,
              ours < target ? "ok" : "MISSED", peerName, peer, ours / peer, label);
}

// The window's list on a first run in dir: a fresh store holds no marker. Had a marker stayed, the
// window would read the saved list instead, and there is none.
std::vector<std::string> FirstRunList(const fs::path& dir, std::vector<double>& times) {
  fs::current_path(dir);
  fs::remove(RegistryStorePath());
  std::unique_ptr<TForm1> form;
  Time(times, [&] { form = std::make_unique<TForm1>(); });
  NoMessages("the first run");
  return form->ListBox1->Entries();
}

void Run(const fs::path& home, int runs) {
  const std::vector<std::string> entries = MakeEntries();
  std::string listBytes;
  std::size_t entryBytes = 0;
  for (const std::string& entry : entries) {
    listBytes += entry + "\r\n";
    entryBytes += entry.size();
  }
  fs::create_directories(home / "list");
  const fs::path source = home / "list" / "collection.orl";
  std::ofstream(source, std::ios::binary) << listBytes;
  Check(Slurp(source) == listBytes, "the list file could not be written");

  fs::current_path(home / "list");
  auto form = std::make_unique<TForm1>();
  form->show();
  QListWidget peer;  // on screen, as the window's list is
  peer.resize(313, 161);
  peer.show();
  std::vector<double> open, peerOpen, save, autoSave, peerSave;
  const fs::path autoSaved = home / "list" / "zodeveda.orl";
  for (int run = 0; run < runs; ++run) {
    TimedAnswer(open, "打开", form->OpenDialog1, source, [&] { form->Button5Click(); });
    Check(form->ListBox1->Entries() == entries, "打开 did not give the list file's entries");
    Time(peerOpen, [&] {
      QFile file(QFile::decodeName(source.c_str()));
      Check(file.open(QIODevice::ReadOnly), "peer cannot open the list file");
      peer.clear();
      peer.addItems(QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
    });
    Check(peer.count() == kEntries, "peer list count");

    const fs::path saved = home / "list" / ("saved-" + std::to_string(run) + ".orl");
    Check(!fs::exists(saved), "the name to save under is taken");
    TimedAnswer(save, "保存", form->SaveDialog1, saved, [&] { form->Button6Click(); });
    Check(fs::file_size(saved) == entryBytes + 2 * entries.size(), "保存 wrote the wrong number of bytes");
    Check(Slurp(saved) == listBytes, "保存 did not write the entries' bytes");
    Time(peerSave, [&] {
      QString text;
      for (int i = 0; i < peer.count(); ++i) text += peer.item(i)->text() + QStringLiteral("\r\n");
      QSaveFile file(QFile::decodeName((home / "list" / "peer.orl").c_str()));
      Check(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0 && file.commit(), "peer's save");
    });

    // A stale file that stays would show that the save did not happen.
    std::ofstream(autoSaved, std::ios::binary) << "stale\r\n";
    Time(autoSave, [&] { form->SaveAutoSavedList(); });
    NoMessages("the exit's save");
    Check(Slurp(autoSaved) == listBytes, "the exit's save did not write the entries' bytes");
  }
  form->Button7Click();
  std::vector<double> reopen;
  TimedAnswer(reopen, "打开 of a saved list", form->OpenDialog1, home / "list" / "saved-0.orl",
              [&] { form->Button5Click(); });
  Check(form->ListBox1->Entries() == entries, "the saved list opens as another list");
  form.reset();

  // The first run: 10 000 pictures in img/, named in no order, against an empty img/.
  const fs::path img = home / "first" / "img";
  fs::create_directories(img);
  fs::create_directories(home / "empty" / "img");
  std::vector<std::pair<std::string, std::string>> jpgs, bmps;  // folded name, name
  for (int i = 0; i < kEntries; ++i) {
    const char* extension = i % 2 == 0 ? "jpg" : i % 4 == 1 ? "BMP" : "bmp";
    char name[64];  // 7919 is prime: every number once, scattered
    std::snprintf(name, sizeof name, "%s_%05d_%s.%s", i % 3 == 0 ? "img" : "IMG", i * 7919 % kEntries,
                  i % 5 == 0 ? "Sunset" : "beach", extension);
    const std::ofstream empty(img / name);  // the list reads names only
    (i % 2 == 0 ? jpgs : bmps).emplace_back(QByteArray(name).toLower().toStdString(), name);
  }
  std::sort(jpgs.begin(), jpgs.end());
  std::sort(bmps.begin(), bmps.end());
  std::vector<std::string> expected;
  for (const auto* group : {&jpgs, &bmps}) {
    for (const auto& [folded, name] : *group) expected.push_back((img / name).string());
  }
  std::vector<double> full, empty, peerFill;
  for (int run = 0; run < runs; ++run) {
    Check(FirstRunList(home / "first", full) == expected, "the first run's list");
    Check(FirstRunList(home / "empty", empty).empty(), "the empty first run's list");
    Time(peerFill, [&] {
      const QDir dir(QFile::decodeName(img.c_str()));
      const auto filters = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
      const auto order = QDir::Name | QDir::IgnoreCase;
      peer.clear();
      peer.addItems(dir.entryList({QStringLiteral("*.jpg")}, filters, order) +
                    dir.entryList({QStringLiteral("*.bmp")}, filters, order));
    });
    Check(peer.count() == kEntries, "peer's first-run count");
  }

  std::printf("%d entries, %zu bytes in the list file; medians of %d runs\n", kEntries, listBytes.size(),
              runs);
  Report("打开 (Button5Click after OK)", Median(open), 100, "readAll+split+addItems", Median(peerOpen));
  Report("保存 (Button6Click after OK)", Median(save), 100, "texts+QSaveFile", Median(peerSave));
  Report("exit save (SaveAutoSavedList)", Median(autoSave), 100, "texts+QSaveFile", Median(peerSave));
  std::printf("first run: TForm1 with 10 000 pictures %.2f ms, with none %.2f ms\n", Median(full),
              Median(empty));
  Report("first-run fill (difference)", Median(full) - Median(empty), 200, "QDir::entryList x2+addItems",
         Median(peerFill));
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  const JpegFileFormats jpegFiles;  // as the program registers them at start-up
  const ScopedMessageSink sink(messages);
  try {
    Check(runs > 0, "runs must be positive");
    Run(fs::current_path(), runs);
  } catch (const std::exception& error) {
    Check(false, error.what());
  }
  return targetsMet ? 0 : 2;
}
