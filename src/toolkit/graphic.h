// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace lumora {

enum class TProgressStage { psStarting, psRunning, psEnding };

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Height() const { return Bottom - Top; }
  int Width() const { return Right - Left; }
};

class TGraphic;
using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, std::uint8_t percent,
                                          bool redrawNow, const TRect& rect, const std::string& message)>;

// A picture held in memory: the common base of bitmaps and JPEG images.
class TGraphic {
 public:
  virtual ~TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  virtual const char* ClassName() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual bool GetEmpty() const = 0;

  virtual void LoadFromStream(std::istream& stream) = 0;
  virtual void SaveToStream(std::ostream& stream) = 0;

  // Open the file and hand it to LoadFromStream / SaveToStream. Opening failures raise EFOpenError or
  // EFCreateError; a save that the file system refuses part-way raises EWriteError. Only a regular file is
  // loaded, and opening it never waits (RegularFile).
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

  // Copy the picture of source into this graphic. The base asks source to AssignTo this graphic,
  // which raises EConvertError when neither side knows the other.
  virtual void Assign(const TGraphic& source);
  virtual void AssignTo(TGraphic& dest) const;

  TProgressEvent OnProgress;
  std::function<void(TGraphic& sender)> OnChange;

 protected:
  TGraphic() = default;
  virtual void Changed() {
    if (OnChange) OnChange(*this);
  }
  void Progress(TProgressStage stage, std::uint8_t percent, bool redrawNow, const TRect& rect) {
    if (OnProgress) OnProgress(*this, stage, percent, redrawNow, rect, std::string());
  }
  bool PaletteModified = false;
};

}  // namespace lumora
