// SPDX-License-Identifier: GPL-3.0-or-later
// XFCE keeps the wallpaper in xfconfd, channel xfce4-desktop: one last-image (string) and one image-style
// (int) per monitor and workspace, under /backdrop/screen<N>/monitor<ID>/workspace<N>/. We talk to
// xfconfd over D-Bus (org.xfce.Xfconf: GetAllProperties, SetProperty), as xfconf-query does.
// What this backend relies on to make xfdesktop show a file rewritten under the same name:
// - xfconfd ignores a SetProperty with the value the property already has: no PropertyChanged is sent
//   (checked against xfconfd 4.18 with dbus-monitor). So every apply sets last-image twice, first to the
//   same file under a second spelling ("/dir/./name.bmp", see SecondSpelling), then to the plain name:
//   xfdesktop follows each PropertyChanged of last-image and loads the file it names, which both times
//   is the new content. (xfdesktop 4.18 also watches the picture's folder and 4.20 the file itself; the
//   two changes do not depend on either.)
// When no last-image exists yet (xfdesktop has not saved one), one is created for every connected output
// and workspace under the names xfdesktop 4.12 and later look up: monitor<RandR output name>
// (monitorHDMI-1, monitoreDP-1) and workspace<0..n-1>. Without an X display to ask, monitor0/workspace0,
// the name of older versions.
#include <gio/gio.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux_desktops/desktop_common.h"
#include "platform/linux_desktops/linux_desktops.h"
#include "platform/linux_desktops/session_bus.h"
#include "platform/x11/x11_outputs.h"

namespace lumora::platform {

namespace {

constexpr const char* kService = "org.xfce.Xfconf";
constexpr const char* kPath = "/org/xfce/Xfconf";
constexpr const char* kInterface = "org.xfce.Xfconf";
constexpr const char* kChannel = "xfce4-desktop";
constexpr const char* kLastImage = "last-image";
constexpr const char* kImageStyle = "image-style";
constexpr const char* kFallbackPrefix = "/backdrop/screen0/monitor0/workspace0/";
constexpr int kTimeoutMs = 5000;

// The monitor/workspace folder of a backdrop property ("/backdrop/screen0/monitor0/workspace0/") and its
// leaf ("last-image"); empty when the property is not one of those.
std::pair<std::string, std::string> SplitBackdropProperty(const std::string& property) {
  const auto slash = property.rfind('/');
  if (slash == std::string::npos) return {};
  const std::string prefix = property.substr(0, slash + 1);
  std::vector<std::string> parts;
  for (std::size_t start = 1; start < prefix.size();) {
    const auto end = prefix.find('/', start);
    parts.push_back(prefix.substr(start, end - start));
    start = end + 1;
  }
  if (parts.size() != 4 || parts[0] != "backdrop" || !parts[1].starts_with("screen") ||
      !parts[2].starts_with("monitor") || !parts[3].starts_with("workspace")) {
    return {};
  }
  return {prefix, property.substr(slash + 1)};
}

int StyleNumber(DisplayStyle style) {
  switch (style) {
    case DisplayStyle::Centred:
      return 1;
    case DisplayStyle::Tiled:
      return 2;
    case DisplayStyle::Stretched:
      return 3;
  }
  return 1;
}

class XfceWallpaper final : public DesktopWallpaper {
 public:
  std::string Name() const override { return "XFCE"; }

  DisplayStylePair ReadStyle() override {
    desktops::BusError error;
    const auto properties = Backdrop(error);
    for (const auto& [property, value] : properties) {
      if (SplitBackdropProperty(property).second != kImageStyle || !value) continue;
      switch (const int number = *value) {
        case 1:
          return kCentredPair;
        case 2:
          return kTiledPair;
        case 3:
          return kStretchedPair;
        default:
          return desktops::DesktopOwnPair(std::to_string(number));
      }
    }
    return {};
  }

  void WriteStyle(const DisplayStylePair& pair) override {
    const int number = desktops::DesktopOwnNumber(pair).value_or(StyleNumber(StyleOfPair(pair)));
    desktops::BusError error;
    const auto prefixes = Prefixes(error);
    if (!error.empty()) Fail(error);
    for (const auto& prefix : prefixes) {
      if (!Set(prefix + kImageStyle, g_variant_new_int32(number), error)) Fail(error);
    }
  }

  bool SetWallpaper(const std::string& bmpFile, const PixelRows*) override {
    if (!desktops::ReadableFile(bmpFile)) return false;
    desktops::BusError error;
    const auto prefixes = Prefixes(error);
    if (!error.empty()) return false;
    for (const std::string& path : {desktops::SecondSpelling(bmpFile), bmpFile}) {
      for (const auto& prefix : prefixes) {
        if (!Set(prefix + kLastImage, g_variant_new_string(path.c_str()), error)) return false;
      }
    }
    recorded_ = bmpFile;
    return true;
  }

  bool Reapply() override { return !recorded_.empty() && SetWallpaper(recorded_, nullptr); }

 private:
  // Properties by name (so in a stable order), with their values when those are numbers (image-style).
  using Properties = std::map<std::string, std::optional<int>>;

  [[noreturn]] static void Fail(const desktops::BusError& error) {
    desktops::StyleNotWritten(error.message, error.unanswered);
  }

  // Every property under /backdrop, by name; empty with the reason in error when xfconfd did not answer.
  // A channel with no such property yet answers with an error as well, which is not a failure.
  Properties Backdrop(desktops::BusError& error) {
    Properties properties;
    GVariant* reply =
        bus_.Call(kService, kPath, kInterface, "GetAllProperties",
                  g_variant_new("(ss)", kChannel, "/backdrop"), G_VARIANT_TYPE("(a{sv})"), kTimeoutMs, error);
    if (reply == nullptr) return properties;
    GVariantIter* iter = nullptr;
    g_variant_get(reply, "(a{sv})", &iter);
    const char* name = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_next(iter, "{&sv}", &name, &value)) {
      properties[name] = g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)
                             ? std::optional(g_variant_get_int32(value))
                             : std::nullopt;
      g_variant_unref(value);
    }
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return properties;
  }

  // The monitor/workspace folders that already have a last-image, else the ones we create. error is set
  // only when xfconfd cannot be reached at all.
  std::vector<std::string> Prefixes(desktops::BusError& error) {
    desktops::BusError listError;
    std::vector<std::string> prefixes;
    for (const auto& entry : Backdrop(listError)) {
      const auto [prefix, leaf] = SplitBackdropProperty(entry.first);
      if (leaf == kLastImage) prefixes.push_back(prefix);
    }
    if (prefixes.empty()) {
      // Tell an empty channel from a missing xfconfd: only the latter fails a harmless read.
      if (!listError.empty() && !Reachable(error)) return {};
      return NewPrefixes();
    }
    return prefixes;
  }

  static std::vector<std::string> NewPrefixes() {
    const X11Outputs outputs = ReadX11Outputs();
    if (outputs.names.empty()) return {kFallbackPrefix};
    std::vector<std::string> prefixes;
    for (const auto& name : outputs.names) {
      for (int workspace = 0; workspace < outputs.workspaces; ++workspace) {
        prefixes.push_back("/backdrop/screen0/monitor" + name + "/workspace" + std::to_string(workspace) +
                           "/");
      }
    }
    return prefixes;
  }

  bool Reachable(desktops::BusError& error) {
    GVariant* reply = bus_.Call(kService, kPath, kInterface, "ListChannels", nullptr, G_VARIANT_TYPE("(as)"),
                                kTimeoutMs, error);
    if (reply == nullptr) return false;
    g_variant_unref(reply);
    return true;
  }

  bool Set(const std::string& property, GVariant* value, desktops::BusError& error) {
    GVariant* reply =
        bus_.Call(kService, kPath, kInterface, "SetProperty",
                  g_variant_new("(ssv)", kChannel, property.c_str(), value), nullptr, kTimeoutMs, error);
    if (reply == nullptr) return false;
    g_variant_unref(reply);
    return true;
  }

  desktops::SessionBus bus_;
  std::string recorded_;
};

}  // namespace

std::unique_ptr<DesktopWallpaper> CreateXfceWallpaper() {
  return std::make_unique<XfceWallpaper>();
}

}  // namespace lumora::platform
