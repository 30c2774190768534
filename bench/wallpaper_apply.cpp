// SPDX-License-Identifier: GPL-3.0-or-later
// "设为墙纸" as the window does it — PrepareBmpFile then ApplyBmpFile — onto the X11 root window, for a
// JPEG picture in the centred and the stretched style, and for a BMP picture. Prints one median per case,
// in milliseconds. Run by run_wallpaper.sh, on an X server of the picture's size with no desktop running.
// usage: bench_wallpaper_apply picture.jpg picture.bmp runs
// With BENCH_EACH set, every single time goes to stderr too: the first runs of a process are slower
// while the memory it frees and takes again is first touched (markedly so in a virtual machine).
#include <QApplication>
#include <QRadioButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "jpeg/jpeg_file_formats.h"
#include "toolkit/messages.h"

namespace {

double MedianMs(const std::vector<double>& times) {
  std::vector<double> sorted = times;
  std::sort(sorted.begin(), sorted.end());
  return sorted[sorted.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s picture.jpg picture.bmp runs\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const lumora::JpegFileFormats jpegFiles;
  lumora::RecordingMessageSink messages;
  lumora::ScopedMessageSink scoped(messages);
  lumora::TForm1 form;
  const int runs = std::max(1, std::atoi(argv[3]));

  auto measure = [&](const char* label, QRadioButton* style, const std::string& picture) {
    style->setChecked(true);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
      const auto start = std::chrono::steady_clock::now();
      if (form.PrepareBmpFile(picture)) form.ApplyBmpFile();
      times.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    if (std::getenv("BENCH_EACH") != nullptr) {
      for (const double time : times) std::fprintf(stderr, "%s %.1f\n", label, time);
    }
    std::printf("%s %.1f\n", label, MedianMs(times));
  };
  measure("jpeg-centred", form.RadioButton1, argv[1]);
  measure("jpeg-stretched", form.RadioButton2, argv[1]);
  measure("bmp-centred", form.RadioButton1, argv[2]);
  for (const lumora::MessageRequest& shown : messages.Requests()) {
    std::fprintf(stderr, "bench_wallpaper_apply: the window said: %s\n", shown.text.c_str());
    return 1;
  }
  return 0;
}
