// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/wallpaper_setter.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <exception>
#include <functional>
#include <future>
#include <optional>

#include "app/wallpaper_file.h"
#include "toolkit/files.h"
#include "toolkit/messages.h"
#include "toolkit/pixel_rows.h"
#include "toolkit/readable_name.h"
#include "toolkit/regular_file.h"

namespace lumora {

namespace {

// The wallpaper file about to be replaced, held open until the new picture shows. Replacing a file frees its
// blocks and cached pages (milliseconds for a 4K picture) unless it is still open; then that happens at the
// close, after the screen changed. Windows could not replace a file held open, so there nothing is held.
class RetiredFile {
 public:
  explicit RetiredFile([[maybe_unused]] const std::string& fileName) {
#if !defined(_WIN32)
    try {
      file_.emplace(fileName);
    } catch (const std::exception&) {
      // No file yet, or one that cannot be read: nothing to hold.
    }
#endif
  }

 private:
  std::optional<RegularFile> file_;
};

}  // namespace

bool WallpaperSetter::SetFrom(const std::string& path, const std::string& bmpFile) {
  if (!FileExists(path)) {
    SayMissing(path);
    return false;
  }
  const WallpaperKind kind = KindOfWallpaper(path);
  if (kind == WallpaperKind::Jpeg) return SetFromJpeg(path, bmpFile);
  if (kind == WallpaperKind::Bitmap && !SameFile(path, bmpFile)) return SetFromBitmap(path, bmpFile);
  return Prepare(path, bmpFile) && Apply(bmpFile);
}

bool WallpaperSetter::SetFromJpeg(const std::string& source, const std::string& bmpFile) {
  bool taken = false;
  {
    // Freed before Applied, which hands the memory back to the system.
    const std::unique_ptr<TBitmap> picture = DecodeWallpaperJpeg(source);
    taken = SetFromPixelsUnapplied(RowsOf(*picture), bmpFile);
  }
  return Applied(taken);
}

bool WallpaperSetter::SetFromBitmap(const std::string& source, const std::string& bmpFile) {
  bool taken = false;
  {
    // The file goes over byte for byte; the desktop's pixels come from the same bytes, read once.
    const std::string contents = ReadFileText(source);
    TBitmap picture;
    taken = ShowWhileWriting(
        bmpFile, [&contents, &bmpFile] { WriteFileAtomically(bmpFile, contents); },
        [&contents, &picture]() -> std::optional<PixelRows> {
          // The usual 24-bit file is shown from its own bytes; other forms are read into a bitmap first.
          if (std::optional<PixelRows> rows = RowsInBmpBytes(contents)) return rows;
          if (!ReadBitmapBytes(contents, picture)) return std::nullopt;
          return RowsOf(picture);
        });
  }
  return Applied(taken);
}

bool WallpaperSetter::SetFromPixels(const PixelRows& picture, const std::string& bmpFile) {
  return Applied(SetFromPixelsUnapplied(picture, bmpFile));
}

bool WallpaperSetter::SetFromPixelsUnapplied(const PixelRows& picture, const std::string& bmpFile) {
  return ShowWhileWriting(
      bmpFile, [&picture, &bmpFile] { WriteBmp(picture, bmpFile); },
      [&picture] { return std::optional(picture); });
}

bool WallpaperSetter::ShowWhileWriting(const std::string& bmpFile, const std::function<void()>& write,
                                       const std::function<std::optional<PixelRows>()>& readyPixels) {
  const RetiredFile retired(bmpFile);
  // Writing the file (most of it the wait for the disk) overlaps the desktop's work on the pixels; the
  // desktop shows them only once the file is complete, so a failed write leaves both as they were. The
  // future's destructor waits for the writing, which may read the pixels, even when the desktop raises.
  std::future<void> writing = std::async(std::launch::async, write);
  std::exception_ptr failure;
  bool waited = false;
  auto fileWritten = [&]() {
    if (!waited) {
      waited = true;
      try {
        writing.get();
      } catch (...) {
        failure = std::current_exception();
      }
    }
    return failure == nullptr;
  };
  const std::optional<PixelRows> picture = readyPixels();
  // Pixels that could not be had leave the desktop to read the file itself, once it is written.
  const bool taken = picture ? desktop_.SetWallpaperWhileWritten(bmpFile, *picture, fileWritten)
                             : fileWritten() && desktop_.SetWallpaper(bmpFile, nullptr);
  if (!fileWritten()) std::rethrow_exception(failure);
  return taken;
}

bool WallpaperSetter::Prepare(const std::string& path, const std::string& bmpFile) {
  preparedPicture_.reset();
  switch (KindOfWallpaper(path)) {
    case WallpaperKind::Jpeg:
      return JpgToBmp(path, bmpFile);
    case WallpaperKind::Bitmap:
      // The wallpaper file itself, chosen from the list, is already what the desktop is to show.
      if (!SameFile(path, bmpFile)) CopyWallpaperFile(path, bmpFile);
      return true;
    case WallpaperKind::Other:
      break;
  }
  SayNotAPicture(path);
  return false;
}

bool WallpaperSetter::JpgToBmp(const std::string& source, const std::string& target) {
  std::unique_ptr<TBitmap> picture = DecodeWallpaperJpeg(source);
  WriteBmp(RowsOf(*picture), target);
  preparedPicture_ = std::move(picture);
  return true;
}

void WallpaperSetter::WriteBmp(const PixelRows& picture, const std::string& target) {
  // Written beside the old file and renamed over it: a failure half-way never leaves half a wallpaper.
  WriteFileAtomically(target, [&picture](std::ostream& out) { SaveBmpRows(picture, out); });
}

bool WallpaperSetter::Apply(const std::string& bmpFile) {
  // The pixels just written go along, so a desktop that paints them itself need not read them back.
  const PixelRows picture = preparedPicture_ ? RowsOf(*preparedPicture_) : PixelRows{};
  const bool taken = desktop_.SetWallpaper(bmpFile, preparedPicture_ ? &picture : nullptr);
  preparedPicture_.reset();
  return Applied(taken);
}

bool WallpaperSetter::Applied(bool taken) {
#if defined(__GLIBC__)
  // A freed picture (24 MB at 4K) stays in glibc's heap once its mmap threshold has grown past that size:
  // handed back here, or the program would keep a wallpaper's worth of memory for as long as it runs.
  malloc_trim(0);
#endif
  // A desktop's refusal goes unreported, as it always has; a session with no way at all to set a wallpaper
  // is said once, or the button would seem to do nothing. Said last, as the window stays usable meanwhile.
  if (!desktop_.CanSetWallpaper() && !toldNoDesktop_) {
    toldNoDesktop_ = true;
    MessageBox("Lumora不能在这个桌面(" + desktop_.Name() + ")上设置墙纸!", "错误提示");
  }
  return taken;
}

void SayNotAPicture(const std::string& path) {
  MessageBox(ReadableFileName(path) + "不是JPG或BMP图片!", "错误提示");
}

void SayMissing(const std::string& path) {
  MessageBox(ReadableFileName(path) + "不存在!", "错误提示");
}

std::string NotTakenText(const platform::DesktopWallpaper& desktop) {
  return "the desktop (" + desktop.Name() + ") did not take the wallpaper";
}

void SayDesktopSilent(const platform::DesktopWallpaper& desktop) {
  MessageBox("桌面(" + desktop.Name() + ")没有应答,墙纸显示方式没有改变!", "错误提示");
}

}  // namespace lumora
