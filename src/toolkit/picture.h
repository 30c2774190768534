// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "toolkit/graphic.h"

namespace lumora {

// A picture of whatever kind its file is: the graphic class is chosen by the file's extension, ignoring
// case, among the kinds registered for it. Bitmaps ("bmp") are always known; other kinds register
// themselves at start-up.
class TPicture {
 public:
  using GraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 GraphicFactory factory);
  static void UnregisterFileFormat(const std::string& extension);
  // The description registered for an extension (without its dot), empty when none is.
  static std::string FileFormatDescription(const std::string& extension);

  // Raises EInvalidGraphic for an extension that no kind is registered for; errors of the graphic's own
  // loading pass through. On any failure the picture keeps what it held.
  void LoadFromFile(const std::string& fileName);

  TGraphic* GetGraphic() const { return graphic_.get(); }
  int GetWidth() const { return graphic_ ? graphic_->GetWidth() : 0; }
  int GetHeight() const { return graphic_ ? graphic_->GetHeight() : 0; }

 private:
  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace lumora
