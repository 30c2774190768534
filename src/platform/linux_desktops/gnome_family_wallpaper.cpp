// SPDX-License-Identifier: GPL-3.0-or-later
// GNOME, Unity, Budgie, Cinnamon and MATE keep the wallpaper in GSettings (the dconf backend in a real
// session). What this backend relies on to make the desktop show a file rewritten under the same name:
// - dconf drops a write of the value a key already has: no change is reported (checked with `gsettings
//   monitor` against dconf-service 0.40). So every apply writes the picture key twice, first with the same
//   file under a second spelling ("/dir/./name.bmp", see SecondSpelling), then with the plain name, and
//   waits for each write (g_settings_sync) so the two are not merged into one.
// - GnomeBG (gnome-desktop) and its copies in cinnamon-desktop and mate-desktop (MateBG) reload when the
//   file name or the file's modification time differs from what they show, and keep a file monitor on
//   the picture that reloads it on any change (gnome-bg.c, mate-bg.c: is_different, file_changed).
// - GNOME Shell (3.14 on, js/ui/background.js: Background._watchFile) caches pictures by file, whatever
//   its spelling, and drops a cached picture when its file monitor sees the file change, a rename over it
//   included; the key change then redraws from the fresh picture. Budgie draws through Mutter's image
//   cache as well; that it watches the file alike is unverified.
// GNOME 42 and later show picture-uri-dark in dark mode: it gets the same picture when the schema has it.
#include <gio/gio.h>

#include <string>

#include "platform/linux_desktops/desktop_common.h"
#include "platform/linux_desktops/gsettings.h"
#include "platform/linux_desktops/linux_desktops.h"

namespace lumora::platform {

namespace {

struct FlavourTraits {
  const char* name;
  const char* schema;
  const char* pictureKey;
  bool pictureIsUri;  // file:// URI; MATE keeps a plain path
};

FlavourTraits TraitsOf(GnomeFlavour flavour) {
  switch (flavour) {
    case GnomeFlavour::Gnome:
      return {"GNOME", "org.gnome.desktop.background", "picture-uri", true};
    case GnomeFlavour::Unity:
      return {"Unity", "org.gnome.desktop.background", "picture-uri", true};
    case GnomeFlavour::Budgie:
      return {"Budgie", "org.gnome.desktop.background", "picture-uri", true};
    case GnomeFlavour::Cinnamon:
      return {"Cinnamon", "org.cinnamon.desktop.background", "picture-uri", true};
    case GnomeFlavour::Mate:
      return {"MATE", "org.mate.background", "picture-filename", false};
  }
  return {"GNOME", "org.gnome.desktop.background", "picture-uri", true};
}

constexpr const char* kStyleKey = "picture-options";
constexpr const char* kDarkPictureKey = "picture-uri-dark";

using desktops::Settings;

// picture-options as a key of an enum; all three desktops name the three styles alike.
const char* OptionOf(DisplayStyle style) {
  switch (style) {
    case DisplayStyle::Centred:
      return "centered";
    case DisplayStyle::Stretched:
      return "stretched";
    case DisplayStyle::Tiled:
      return "wallpaper";
  }
  return "centered";
}

class GnomeFamilyWallpaper final : public DesktopWallpaper {
 public:
  explicit GnomeFamilyWallpaper(GnomeFlavour flavour) : traits_(TraitsOf(flavour)) {}

  std::string Name() const override { return traits_.name; }

  DisplayStylePair ReadStyle() override {
    Settings settings(traits_.schema);
    if (!settings || !settings.HasKey(kStyleKey)) return {};
    const std::string option = settings.GetString(kStyleKey);
    if (option == "centered") return kCentredPair;
    if (option == "stretched") return kStretchedPair;
    if (option == "wallpaper") return kTiledPair;
    return desktops::DesktopOwnPair(option);
  }

  void WriteStyle(const DisplayStylePair& pair) override {
    Settings settings(traits_.schema);
    if (!settings) Fail("schema " + std::string(traits_.schema) + " is not installed");
    const std::string option =
        desktops::IsDesktopOwnValue(pair) ? pair.wallpaperStyle : OptionOf(StyleOfPair(pair));
    if (!settings.SetString(kStyleKey, option)) Fail(std::string(kStyleKey) + " cannot be set to " + option);
    settings.Sync();
  }

  bool SetWallpaper(const std::string& bmpFile, const PixelRows*) override {
    if (!desktops::ReadableFile(bmpFile)) return false;
    Settings settings(traits_.schema);
    if (!settings) return false;
    if (!Show(settings, desktops::SecondSpelling(bmpFile)) || !Show(settings, bmpFile)) return false;
    recorded_ = bmpFile;
    return true;
  }

  bool Reapply() override { return !recorded_.empty() && SetWallpaper(recorded_, nullptr); }

 private:
  [[noreturn]] static void Fail(const std::string& reason) { desktops::StyleNotWritten(reason); }

  bool Show(Settings& settings, const std::string& path) {
    std::string value = path;
    if (traits_.pictureIsUri) {
      gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
      if (uri == nullptr) return false;
      value = uri;
      g_free(uri);
    }
    if (!settings.SetString(traits_.pictureKey, value)) return false;
    if (traits_.pictureIsUri && settings.HasKey(kDarkPictureKey) &&
        !settings.SetString(kDarkPictureKey, value)) {
      return false;
    }
    settings.Sync();
    return true;
  }

  FlavourTraits traits_;
  std::string recorded_;
};

}  // namespace

std::unique_ptr<DesktopWallpaper> CreateGnomeFamilyWallpaper(GnomeFlavour flavour) {
  return std::make_unique<GnomeFamilyWallpaper>(flavour);
}

}  // namespace lumora::platform
