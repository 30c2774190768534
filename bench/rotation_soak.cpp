// SPDX-License-Identifier: GPL-3.0-or-later
// A timed rotation left running: the real window, a one-second interval over the given JPEG pictures,
// the wallpaper painted on the X root (no desktop environment). Every ten seconds it notes the process's
// resident memory and open files and the X server's wallpaper pixmaps; it notes the moment of every
// wallpaper write. Prints the samples and a summary, and fails when a target is missed:
//   after the first minute, resident memory within 5 MB of its lowest, open files flat, the server's
//   pixmaps flat in number and memory (each change frees the wallpaper before), and no gap between
//   writes beyond the interval plus a fifth.
// usage: bench_rotation_soak minutes picture.jpg...   (run by run_rotation_soak.sh)
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "jpeg/jpeg_file_formats.h"
#include "toolkit/messages.h"

// Xlib last: its macros would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

namespace {

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

long OpenFiles() {
  long count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// The server's pixmaps, all clients together, and the memory they take. A root setter's leak shows as a
// count that grows by one, and the memory by a screen's worth, at every change.
struct ServerPixmaps {
  long count = 0;
  unsigned long bytes = 0;
  bool operator==(const ServerPixmaps&) const = default;
};

ServerPixmaps CountServerPixmaps(Display* display) {
  ServerPixmaps pixmaps;
  const Atom pixmapType = XInternAtom(display, "PIXMAP", False);
  int clients = 0;
  XResClient* list = nullptr;
  XResQueryClients(display, &clients, &list);
  for (int i = 0; i < clients; ++i) {
    unsigned long bytes = 0;
    XResQueryClientPixmapBytes(display, list[i].resource_base, &bytes);
    pixmaps.bytes += bytes;
    int types = 0;
    XResType* counts = nullptr;
    XResQueryClientResources(display, list[i].resource_base, &types, &counts);
    for (int t = 0; t < types; ++t) {
      if (counts[t].resource_type == pixmapType) pixmaps.count += counts[t].count;
    }
    XFree(counts);
  }
  XFree(list);
  return pixmaps;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s minutes picture.jpg...\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const lumora::JpegFileFormats jpegFiles;
  lumora::RecordingMessageSink messages;
  lumora::ScopedMessageSink scoped(messages);
  lumora::TForm1 form;
  std::vector<std::string> pictures(argv + 2, argv + argc);
  form.ListBox1->AddEntries(pictures);
  form.Edit2->setText(QStringLiteral("1"));
  form.Button8->click();
  form.Button9->click();
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;

  QElapsedTimer clock;
  clock.start();
  std::vector<qint64> writes;
  ino_t lastFile = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    struct stat info {};
    if (::stat(form.BmpFile.c_str(), &info) == 0 && info.st_ino != lastFile) {
      lastFile = info.st_ino;
      writes.push_back(clock.elapsed());
    }
  });
  watch.start(10);

  struct Sample {
    qint64 at;
    long rss;
    long files;
    ServerPixmaps pixmaps;
  };
  std::vector<Sample> samples;
  QTimer sample;
  QObject::connect(&sample, &QTimer::timeout, [&] {
    samples.push_back({clock.elapsed(), ResidentKilobytes(), OpenFiles(), CountServerPixmaps(display)});
    const Sample& s = samples.back();
    std::printf("t=%4llds rss=%ld kB files=%ld server-pixmaps=%ld (%lu kB) writes=%zu\n",
                static_cast<long long>(s.at / 1000), s.rss, s.files, s.pixmaps.count, s.pixmaps.bytes / 1024,
                writes.size());
    std::fflush(stdout);
  });
  sample.start(10000);
  QTimer::singleShot(std::atoi(argv[1]) * 60000, &app, &QCoreApplication::quit);
  QApplication::exec();

  int failures = 0;
  std::vector<Sample> settled;
  std::copy_if(samples.begin(), samples.end(), std::back_inserter(settled),
               [](const Sample& s) { return s.at >= 60000; });
  if (!settled.empty()) {
    const auto [low, high] = std::minmax_element(
        settled.begin(), settled.end(), [](const Sample& a, const Sample& b) { return a.rss < b.rss; });
    const long growth = high->rss - low->rss;
    const bool filesFlat = std::all_of(settled.begin(), settled.end(),
                                       [&](const Sample& s) { return s.files == settled.front().files; });
    const bool pixmapsFlat = std::all_of(settled.begin(), settled.end(), [&](const Sample& s) {
      return s.pixmaps == settled.front().pixmaps;
    });
    std::printf("after the first minute: rss %ld..%ld kB (spread %ld kB, target <= 5120)%s\n", low->rss,
                high->rss, growth, growth <= 5120 ? "" : "  MISSED");
    std::printf("open files %s; the server's pixmaps %s\n", filesFlat ? "flat" : "CHANGED  MISSED",
                pixmapsFlat ? "flat (the one wallpaper replaced at each change)" : "CHANGED  MISSED");
    failures += growth > 5120 ? 1 : 0;
    failures += filesFlat ? 0 : 1;
    failures += pixmapsFlat ? 0 : 1;
  }
  qint64 longest = 0;
  double total = 0;
  for (std::size_t i = 1; i < writes.size(); ++i) {
    longest = std::max(longest, writes[i] - writes[i - 1]);
    total += static_cast<double>(writes[i] - writes[i - 1]);
  }
  const double mean = writes.size() > 1 ? total / static_cast<double>(writes.size() - 1) : 0;
  std::printf("%zu wallpaper writes; gap mean %.0f ms, longest %lld ms (target <= 1200)%s\n", writes.size(),
              mean, static_cast<long long>(longest), longest <= 1200 ? "" : "  MISSED");
  failures += longest > 1200 ? 1 : 0;
  for (const lumora::MessageRequest& shown : messages.Requests()) {
    if (shown.kind != lumora::MessageKind::ShowMessage) {
      std::printf("the window said: %s  MISSED\n", shown.text.c_str());
      ++failures;
    }
  }
  XCloseDisplay(display);
  return failures == 0 ? 0 : 1;
}
