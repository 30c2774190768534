// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "toolkit/exceptions.h"

namespace lumora {
struct PixelRows;
}

namespace lumora::platform {

// How the desktop shows its wallpaper, as the classic pair of desktop settings "TileWallPaper" and
// "WallpaperStyle": "0"/"0" centred, "0"/"2" stretched, "1"/"0" tiled. A desktop style with no such pair
// (zoomed, spanned…) reads as a pair that is none of the three; an unset style reads as two empty texts.
struct DisplayStylePair {
  std::string tileWallPaper;
  std::string wallpaperStyle;
  friend bool operator==(const DisplayStylePair&, const DisplayStylePair&) = default;
};

inline const DisplayStylePair kCentredPair{"0", "0"};
inline const DisplayStylePair kStretchedPair{"0", "2"};
inline const DisplayStylePair kTiledPair{"1", "0"};

// The three ways a desktop is asked to show a picture.
enum class DisplayStyle { Centred, Stretched, Tiled };

// The pair each style is written as.
inline const DisplayStylePair& PairOfStyle(DisplayStyle style) {
  switch (style) {
    case DisplayStyle::Stretched:
      return kStretchedPair;
    case DisplayStyle::Tiled:
      return kTiledPair;
    case DisplayStyle::Centred:
      break;
  }
  return kCentredPair;
}

// What a pair shows, for every pair, the way Windows reads its two settings: "1" in TileWallPaper tiles
// whatever WallpaperStyle says, else "2" stretches, and anything else (an unset pair too) centres. The one
// reading of a pair: the root painter and every desktop backend show a stored pair by it, so a pair such
// as "1"/"2" looks the same on every desktop.
inline DisplayStyle StyleOfPair(const DisplayStylePair& pair) {
  if (pair.tileWallPaper == "1") return DisplayStyle::Tiled;
  if (pair.wallpaperStyle == "2") return DisplayStyle::Stretched;
  return DisplayStyle::Centred;
}

// Raised by WriteStyle when the desktop that keeps the style did not answer at all (no session bus, its
// service not running, no reply in time): nothing was written, and the user is to hear that the desktop
// was silent rather than read the bus's own words.
class EDesktopNoAnswer : public Exception {
 public:
  using Exception::Exception;
};

// The desktop that shows the wallpaper, and its settings: what Windows does for SystemParametersInfoA
// (SPI_SETDESKWALLPAPER) and keeps under the user's "Control Panel\desktop". Each backend keeps the style
// and the wallpaper's path where its desktop keeps them, so other tools see the same.
class DesktopWallpaper {
 public:
  virtual ~DesktopWallpaper() = default;

  // The desktop this backend serves, for messages and logs ("X11 root window", "GNOME", …).
  virtual std::string Name() const = 0;
  // False when this session offers no way at all to set a wallpaper (a Wayland desktop this program
  // cannot talk to): the user is to be told so rather than see nothing happen.
  virtual bool CanSetWallpaper() const { return true; }

  // The style pair from the desktop's settings. Nothing readable gives two empty texts; never raises.
  virtual DisplayStylePair ReadStyle() = 0;
  // Writes the pair to the desktop's settings ("TileWallPaper" first). Raises EDesktopNoAnswer when the
  // desktop did not answer, another Exception (toolkit) when the settings cannot be written.
  virtual void WriteStyle(const DisplayStylePair& pair) = 0;

  // Makes bmpFile (a full path to a BMP file) the wallpaper, shown in the style now in the settings, and
  // records it as the desktop's wallpaper. picture, when given, holds exactly the pixels just written to
  // bmpFile, so that a backend that paints them itself need not read the file again. Every call shows the
  // file's current content, even when the path is the same as last time. The desktop's refusal (a file it
  // cannot read, no desktop to talk to) is not raised: the result is false.
  virtual bool SetWallpaper(const std::string& bmpFile, const PixelRows* picture) = 0;
  // SetWallpaper for a picture whose file is still being written: fileWritten waits for the writing and
  // says whether bmpFile now holds picture. A backend that paints the pixels itself does its heavy work
  // meanwhile, but shows nothing unless fileWritten said yes; the others wait first. False, with the
  // desktop as it was, when the file was not written.
  virtual bool SetWallpaperWhileWritten(const std::string& bmpFile, const PixelRows& picture,
                                        const std::function<bool()>& fileWritten) {
    return fileWritten() && SetWallpaper(bmpFile, &picture);
  }

  // Shows the recorded wallpaper again, in the style now in the settings. False when there is none or the
  // desktop refused.
  virtual bool Reapply() = 0;
};

// The backend for this session. On Linux it is chosen from XDG_CURRENT_DESKTOP (lower-cased, by substring:
// gnome, unity, budgie, cinnamon, mate, xfce, kde, sway), else sway when SWAYSOCK is set, else the X11 root
// window; on Wayland without a desktop this program can talk to, a backend that refuses every change and
// says so in its Name().
std::unique_ptr<DesktopWallpaper> CreateDesktopWallpaper();

}  // namespace lumora::platform
