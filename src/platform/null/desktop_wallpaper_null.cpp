// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"

namespace lumora::platform {

namespace {

class UnreachableDesktop final : public DesktopWallpaper {
 public:
  explicit UnreachableDesktop(std::string name) : name_(std::move(name)) {}
  std::string Name() const override { return name_; }
  bool CanSetWallpaper() const override { return false; }
  DisplayStylePair ReadStyle() override { return {}; }
  void WriteStyle(const DisplayStylePair&) override {}
  bool SetWallpaper(const std::string&, const PixelRows*) override { return false; }
  bool Reapply() override { return false; }

 private:
  std::string name_;
};

}  // namespace

std::unique_ptr<DesktopWallpaper> CreateNullDesktopWallpaper(std::string name) {
  return std::make_unique<UnreachableDesktop>(std::move(name));
}

}  // namespace lumora::platform
