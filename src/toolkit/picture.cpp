// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/picture.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"
#include "toolkit/files.h"

namespace lumora {

namespace {

struct FileFormat {
  std::string description;
  TPicture::GraphicFactory factory;
};

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return text;
}

struct Formats {
  std::mutex mutex;
  std::map<std::string, FileFormat> byExtension{
      {"bmp", {"Bitmaps", [] { return std::unique_ptr<TGraphic>(std::make_unique<TBitmap>()); }}}};
};

Formats& Registered() {
  static Formats formats;
  return formats;
}

}  // namespace

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  GraphicFactory factory) {
  std::lock_guard lock(Registered().mutex);
  Registered().byExtension[Lowered(extension)] = {description, std::move(factory)};
}

void TPicture::UnregisterFileFormat(const std::string& extension) {
  std::lock_guard lock(Registered().mutex);
  Registered().byExtension.erase(Lowered(extension));
}

std::string TPicture::FileFormatDescription(const std::string& extension) {
  std::lock_guard lock(Registered().mutex);
  const auto found = Registered().byExtension.find(Lowered(extension));
  return found == Registered().byExtension.end() ? std::string() : found->second.description;
}

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string ext = ExtractFileExt(fileName);
  GraphicFactory factory;
  {
    std::lock_guard lock(Registered().mutex);
    const auto found = Registered().byExtension.find(Lowered(ext.empty() ? ext : ext.substr(1)));
    if (found != Registered().byExtension.end()) factory = found->second.factory;
  }
  if (!factory) throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  std::unique_ptr<TGraphic> graphic = factory();
  graphic->LoadFromFile(fileName);
  graphic_ = std::move(graphic);
}

}  // namespace lumora
