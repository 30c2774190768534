// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/graphic_pixmap.h"

#include <QImage>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "jpeg/jpeg_image.h"
#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"
#include "toolkit/orientation.h"

namespace lumora {

namespace {

QPixmap PixmapOfBitmap(const TBitmap& bitmap) {
  if (bitmap.GetEmpty()) return {};
  const bool palette = bitmap.GetPixelFormat() == TPixelFormat::pf8bit;
  // Wraps the bitmap's rows without copying them; the pixmap takes its own copy in the screen's format.
  QImage rows(bitmap.ScanLine(0), bitmap.GetWidth(), bitmap.GetHeight(), bitmap.RowStride(),
              palette ? QImage::Format_Indexed8 : QImage::Format_BGR888);
  if (palette) {
    QList<QRgb> colours;
    for (const TPaletteEntry& entry : bitmap.GetPalette())
      colours.push_back(qRgb(entry.peRed, entry.peGreen, entry.peBlue));
    // Indexes beyond the palette show black, as they read in the bitmap files themselves.
    while (colours.size() < 256) colours.push_back(qRgb(0, 0, 0));
    rows.setColorTable(colours);
  }
  return QPixmap::fromImage(rows);
}

// A second thread that runs one job at a time while its caller goes on; handing over the next job first waits
// for the one before. One thread for all the bands of a picture: starting one per band would take the
// process's memory lock for every stack, and the placing thread's page faults would queue behind it.
class JobAhead {
 public:
  JobAhead() : thread_([this] { Run(); }) {}
  ~JobAhead() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  JobAhead(const JobAhead&) = delete;
  JobAhead& operator=(const JobAhead&) = delete;

  void Hand(std::function<void()> job) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_ && !busy_; });
    job_ = std::move(job);
    changed_.notify_all();
  }
  // Waits until every job handed over has run.
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_ && !busy_; });
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      // Kept busy a moment before sleeping: a thread that sleeps between jobs is woken on its caller's core
      // and takes turns with it there, while one still running is soon moved to a core of its own.
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
      while (!job_ && !stopping_ && std::chrono::steady_clock::now() < until) {
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
      }
      changed_.wait(lock, [this] { return job_ || stopping_; });
      if (!job_) return;
      const std::function<void()> job = std::move(job_);
      job_ = nullptr;
      busy_ = true;
      lock.unlock();
      job();
      lock.lock();
      busy_ = false;
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: started once everything it uses is ready
};

// A colour photo straight from the decoder into the screen's 32-bit layout, the right way up as its camera
// noted: an upright photo's rows are decoded in place; a turned one's come a band at a time, each put in
// its turned places on a second thread while the decoder fills the next band. No bitmap of the stored
// pixels is ever made. Null for pictures that are not colour.
QImage UprightColourImage(TJPEGImage& jpeg) {
  int orientation = jpeg.ExifOrientation();
  if (orientation < eoNormal || orientation > eoRotate270) orientation = eoNormal;
  QImage upright;
  std::array<std::vector<std::uint8_t>, 2> bands;
  std::size_t filling = 0;  // the band the decoder writes into; the other one may be being placed
  std::ptrdiff_t bandStride = 0;
  std::uint8_t* pixels = nullptr;
  std::ptrdiff_t pixelStride = 0;
  int width = 0;
  int height = 0;
  // Declared after the bands: leaving early still waits for the placing before they go.
  std::optional<JobAhead> placing;
  const TScreenRowTarget target{
      [&](int storedWidth, int storedHeight) {
        width = storedWidth;
        height = storedHeight;
        const bool swaps = orientation >= eoTranspose;
        upright = QImage(swaps ? height : width, swaps ? width : height, QImage::Format_RGB32);
        if (upright.isNull()) throw EOutOfResources("Not enough memory to show the picture");
        pixels = upright.bits();
        pixelStride = upright.bytesPerLine();
        bandStride = std::ptrdiff_t{width} * 4;
        if (orientation == eoNormal) return;
        for (auto& band : bands) band.resize(static_cast<std::size_t>(bandStride) * kScreenBandRows);
        placing.emplace();
      },
      [&](int row) {
        return orientation == eoNormal ? pixels + row * pixelStride
                                       : bands[filling].data() + (row % kScreenBandRows) * bandStride;
      },
      [&](int firstRow, int rowCount) {
        if (orientation == eoNormal) return;
        // Handing over waits for the band before, the one about to be filled next.
        placing->Hand([&, band = bands[filling].data(), firstRow, rowCount] {
          PlaceUpright32(band, bandStride, firstRow, rowCount, width, height, orientation, pixels,
                         pixelStride);
        });
        filling ^= 1;
      }};
  const bool decoded = jpeg.DecodeScreenRows(target);
  if (placing) placing->Wait();
  if (!decoded) return {};
  return upright;
}

}  // namespace

ShownGraphic ShowGraphic(TGraphic& graphic) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&graphic)) return {PixmapOfBitmap(*bitmap)};
  auto* jpeg = dynamic_cast<TJPEGImage*>(&graphic);
  if (jpeg == nullptr || jpeg->GetEmpty()) return {};
  if (QImage upright = UprightColourImage(*jpeg); !upright.isNull()) {
    // The pixmap adopts the image instead of converting it.
    return {QPixmap::fromImage(std::move(upright)), true};
  }
  // Gray and CMYK pictures, and 8-bit output: the decoded bitmap, turned in a copy that shares nothing it
  // changes.
  TBitmap upright;
  upright.Assign(jpeg->DecodedBitmap());
  ApplyOrientation(upright, jpeg->ExifOrientation());
  return {PixmapOfBitmap(upright)};
}

}  // namespace lumora
