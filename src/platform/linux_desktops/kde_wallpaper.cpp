// SPDX-License-Identifier: GPL-3.0-or-later
// KDE Plasma keeps the wallpaper in each desktop containment's configuration, group
// Wallpaper/org.kde.image/General: Image (a URL) and FillMode (6 pad = centred, 0 stretch, 3 tile). We set
// them through plasmashell's scripting interface (org.kde.PlasmaShell.evaluateScript on /PlasmaShell), the
// way KDE documents for desktop-wide changes; the script's print() output comes back as the reply.
// What this backend relies on to make Plasma show a file rewritten under the same name:
// - Plasma's image wallpaper does nothing when it is given the URL it already shows (plasma-workspace's
//   image wallpaper compares the new URL with the current one; see the project's notes on desktops), and
//   no file watch of Plasma's is relied on. So every apply sends two scripts: the first names the same
//   file under a second spelling (file:///dir/./name.bmp, see SecondSpelling), a different URL to Plasma
//   but the new content once loaded; the second names the plain URL. Two scripts rather than two writes
//   in one, so that no merging of writes inside one script can hide the first.
// - The URL is g_filename_to_uri's (percent-encoded, so a '#', '?' or '%' in the name stays within the
//   path), quoted with JavaScriptStringLiteral.
// - Plasma 6.6 took tiling out of org.kde.image into a plugin of its own, org.kde.tiled, which has an Image
//   and no FillMode. The scripts ask plasmashell for its version (applicationVersion, part of the scripting
//   API since 4.5) and for the plugins it has (knownWallpaperPlugins, an object keyed by plugin name): from
//   6.6 on, where org.kde.tiled is installed, the tiled style switches the desktops to it and any other
//   style back to org.kde.image, carrying the picture over. Without it (a distribution may leave it out),
//   and before 6.6, tiling is org.kde.image's own FillMode 3.
// - plasmashell not running (a session without Plasma's shell, or one that crashed): the bus daemon itself
//   answers that nobody owns the name, and a style change raises EDesktopNoAnswer with nothing written.
#include <gio/gio.h>

#include <optional>
#include <string>

#include "platform/linux_desktops/desktop_common.h"
#include "platform/linux_desktops/javascript_literal.h"
#include "platform/linux_desktops/linux_desktops.h"
#include "platform/linux_desktops/session_bus.h"

namespace lumora::platform {

namespace {

constexpr const char* kService = "org.kde.plasmashell";
constexpr const char* kPath = "/PlasmaShell";
constexpr const char* kInterface = "org.kde.PlasmaShell";
// Plasma may have to start the image plugin on every desktop first.
constexpr int kTimeoutMs = 20000;

// Sets up every desktop for a style and, when image is not empty, a picture. fillMode < 0 keeps each
// desktop's own style (a desktop on org.kde.tiled keeps tiling); a picture that was shown by the plugin
// being left is carried over to the new one.
std::string EachDesktopScript(int fillMode, const std::string& imageLiteral) {
  return "var fillMode = " + std::to_string(fillMode) + ";\n" + "var image = " + imageLiteral + ";\n" +
         "var version = applicationVersion.split('.').map(Number);\n"
         "var tilePlugin = (version[0] > 6 || (version[0] == 6 && version[1] >= 6)) &&\n"
         "    'org.kde.tiled' in knownWallpaperPlugins();\n"
         "var all = desktops();\n"
         "for (var i = 0; i < all.length; ++i) {\n"
         "  var d = all[i];\n"
         "  var was = d.wallpaperPlugin;\n"
         "  var mode = fillMode < 0 && was == 'org.kde.tiled' ? 3 : fillMode;\n"
         "  var tile = tilePlugin && mode == 3;\n"
         "  var plugin = tile ? 'org.kde.tiled' : 'org.kde.image';\n"
         "  var shown = image;\n"
         "  if (shown == '' && was != plugin && (was == 'org.kde.image' || was == 'org.kde.tiled')) {\n"
         "    d.currentConfigGroup = ['Wallpaper', was, 'General'];\n"
         "    shown = d.readConfig('Image');\n"
         "  }\n"
         "  d.wallpaperPlugin = plugin;\n"
         "  d.currentConfigGroup = ['Wallpaper', plugin, 'General'];\n"
         "  if (!tile && mode >= 0) d.writeConfig('FillMode', mode);\n"
         "  if (shown) d.writeConfig('Image', shown);\n"
         "}\n";
}

// Prints the first desktop's FillMode, or "tiled" when it uses Plasma 6.6's tiling plugin.
constexpr const char* kReadFillMode =
    "var all = desktops();\n"
    "if (all.length > 0 && all[0].wallpaperPlugin == 'org.kde.tiled') {\n"
    "  print('tiled');\n"
    "} else if (all.length > 0 && all[0].wallpaperPlugin == 'org.kde.image') {\n"
    "  all[0].currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];\n"
    "  print(all[0].readConfig('FillMode'));\n"
    "}\n";

int FillModeOf(DisplayStyle style) {
  switch (style) {
    case DisplayStyle::Centred:
      return 6;
    case DisplayStyle::Stretched:
      return 0;
    case DisplayStyle::Tiled:
      return 3;
  }
  return 6;
}

// The FillMode a pair stands for: the desktop's own number when the pair came from ReadStyle.
int FillModeOf(const DisplayStylePair& pair) {
  return desktops::DesktopOwnNumber(pair).value_or(FillModeOf(StyleOfPair(pair)));
}

class KdeWallpaper final : public DesktopWallpaper {
 public:
  std::string Name() const override { return "KDE Plasma"; }

  DisplayStylePair ReadStyle() override {
    desktops::BusError error;
    const auto printed = Evaluate(kReadFillMode, error);
    if (!printed) return {};
    std::string text = *printed;
    while (!text.empty() && g_ascii_isspace(text.back())) text.pop_back();
    if (text.empty()) return {};
    if (text == "6") return kCentredPair;
    if (text == "0") return kStretchedPair;
    if (text == "3" || text == "tiled") return kTiledPair;
    return desktops::DesktopOwnPair(text);
  }

  // Also kept here: Plasma may rewrite FillMode when a wallpaper is set, so SetWallpaper writes it again.
  void WriteStyle(const DisplayStylePair& pair) override {
    desktops::BusError error;
    if (!Evaluate(EachDesktopScript(FillModeOf(pair), "''"), error)) {
      desktops::StyleNotWritten(error.message, error.unanswered);
    }
    style_ = pair;
  }

  bool SetWallpaper(const std::string& bmpFile, const PixelRows*) override {
    if (!desktops::ReadableFile(bmpFile)) return false;
    for (const std::string& path : {desktops::SecondSpelling(bmpFile), bmpFile}) {
      gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
      if (uri == nullptr) return false;
      const std::string script =
          EachDesktopScript(style_ ? FillModeOf(*style_) : -1, JavaScriptStringLiteral(uri));
      g_free(uri);
      desktops::BusError error;
      if (!Evaluate(script, error)) return false;
    }
    recorded_ = bmpFile;
    return true;
  }

  bool Reapply() override { return !recorded_.empty() && SetWallpaper(recorded_, nullptr); }

 private:
  // What the script print()ed, or nullopt when plasmashell is not there or the script failed.
  std::optional<std::string> Evaluate(const std::string& script, desktops::BusError& error) {
    GVariant* reply =
        bus_.Call(kService, kPath, kInterface, "evaluateScript", g_variant_new("(s)", script.c_str()),
                  G_VARIANT_TYPE("(s)"), kTimeoutMs, error);
    if (reply == nullptr) return std::nullopt;
    const gchar* printed = nullptr;
    g_variant_get(reply, "(&s)", &printed);
    std::string result = printed;
    g_variant_unref(reply);
    return result;
  }

  desktops::SessionBus bus_;
  std::optional<DisplayStylePair> style_;
  std::string recorded_;
};

}  // namespace

std::unique_ptr<DesktopWallpaper> CreateKdeWallpaper() {
  return std::make_unique<KdeWallpaper>();
}

}  // namespace lumora::platform
