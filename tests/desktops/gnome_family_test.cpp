// SPDX-License-Identifier: GPL-3.0-or-later
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "desktops/private_session.h"
#include "platform/linux_desktops/linux_desktops.h"
#include "toolkit/exceptions.h"

namespace lumora::test {
namespace {

using platform::DisplayStylePair;
using platform::GnomeFlavour;

// A string key as GSettings' own tool reads it (a GVariant text); "<missing>" when it cannot.
std::string GsettingsGet(const std::string& schema, const std::string& key) {
  const RunResult result = RunInSession({"gsettings", "get", schema, key});
  GVariant* value =
      result.exitCode != 0
          ? nullptr
          : g_variant_parse(G_VARIANT_TYPE_STRING, Chomp(result.output).c_str(), nullptr, nullptr, nullptr);
  if (value == nullptr) return "<missing>";
  std::string text = g_variant_get_string(value, nullptr);
  g_variant_unref(value);
  return text;
}

void GsettingsSet(const std::string& schema, const std::string& key, const std::string& value) {
  const RunResult result = RunInSession({"gsettings", "set", schema, key, value});
  ASSERT_EQ(result.exitCode, 0) << result.output;
}

bool HasAPair(const DisplayStylePair& pair) {
  return pair == platform::kCentredPair || pair == platform::kStretchedPair || pair == platform::kTiledPair;
}

struct Flavour {
  const char* name;
  GnomeFlavour flavour;
  const char* schema;
  const char* pictureKey;
  bool uri;
  bool darkKey;
};

void PrintTo(const Flavour& flavour, std::ostream* out) {
  *out << flavour.name;
}

class GnomeFamilyTest : public testing::TestWithParam<Flavour> {
 protected:
  void SetUp() override {
    if (PrivateSession::Get() == nullptr) {
      GTEST_SKIP() << PrivateSession::SkipReason();
    }
    if (!ProgramAvailable("gsettings") || !std::filesystem::exists("/usr/libexec/dconf-service") ||
        RunInSession({"gsettings", "list-keys", GetParam().schema}).exitCode != 0) {
      GTEST_SKIP() << "gsettings, dconf-service or schema " << GetParam().schema
                   << " is not installed (scripts/setup-debian.sh installs them)";
    }
    folder_ = PrivateSession::Get()->NewFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    picture_ = WritePicture(folder_);
    wallpaper_ = platform::CreateGnomeFamilyWallpaper(GetParam().flavour);
  }

  std::string Expected(const std::string& path) const { return GetParam().uri ? FileUri(path) : path; }
  std::string Get(const char* key) const { return GsettingsGet(GetParam().schema, key); }
  void Set(const char* key, const std::string& value) const { GsettingsSet(GetParam().schema, key, value); }

  std::string folder_;
  std::string picture_;
  std::unique_ptr<platform::DesktopWallpaper> wallpaper_;
};

// The desktops reload on a change of the picture key, and dconf reports no change for an equal value:
// every apply of the one file must still reach a watcher as changes, each naming that file.
TEST_P(GnomeFamilyTest, EveryApplyChangesThePictureKeys) {
  EXPECT_FALSE(wallpaper_->Reapply()) << "nothing recorded yet";
  const std::string log = folder_ + "/monitor.txt";
  ProcessOptions options;
  options.outputFile = log;
  ChildProcess monitor({"gsettings", "monitor", GetParam().schema, GetParam().pictureKey}, options);
  int attempt = 0;
  ASSERT_TRUE(WaitFor([&] {
    Set(GetParam().pictureKey, Expected(folder_ + "/ready" + std::to_string(++attempt)));
    return !Lines(ReadWholeFile(log)).empty();
  }));
  const std::size_t before = Lines(ReadWholeFile(log)).size();

  ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
  ASSERT_TRUE(wallpaper_->Reapply());
  ASSERT_TRUE(WaitFor([&] { return Lines(ReadWholeFile(log)).size() >= before + 4; })) << ReadWholeFile(log);
  const std::string prefix = std::string(GetParam().pictureKey) + ": ";
  const auto lines = Lines(ReadWholeFile(log));
  for (std::size_t i = before; i < lines.size(); ++i) {
    ASSERT_TRUE(lines[i].starts_with(prefix)) << lines[i];
    GVariant* value =
        g_variant_parse(G_VARIANT_TYPE_STRING, lines[i].c_str() + prefix.size(), nullptr, nullptr, nullptr);
    ASSERT_NE(value, nullptr) << lines[i];
    const std::string text = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
    EXPECT_TRUE(std::filesystem::equivalent(GetParam().uri ? PathOfUri(text) : text, picture_)) << text;
  }

  const std::string stored = Get(GetParam().pictureKey);
  EXPECT_EQ(stored, Expected(picture_));
  if (GetParam().uri) {
    EXPECT_EQ(PathOfUri(stored), picture_);
  }
  if (GetParam().darkKey) {
    EXPECT_EQ(Get("picture-uri-dark"), stored);
  }
  // The desktop would refuse what is not a readable file: so do we, leaving the settings alone.
  EXPECT_FALSE(wallpaper_->SetWallpaper(folder_ + "/missing.bmp", nullptr));
  EXPECT_FALSE(wallpaper_->SetWallpaper(folder_, nullptr));
  EXPECT_EQ(Get(GetParam().pictureKey), stored);
}

TEST_P(GnomeFamilyTest, StylesMapBothWays) {
  const struct {
    DisplayStylePair pair;
    const char* option;
  } cases[] = {{platform::kCentredPair, "centered"},
               {platform::kStretchedPair, "stretched"},
               {platform::kTiledPair, "wallpaper"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    Set("picture-options", "zoom");
    wallpaper_->WriteStyle(c.pair);
    EXPECT_EQ(Get("picture-options"), c.option);
    Set("picture-options", "scaled");
    Set("picture-options", c.option);
    EXPECT_EQ(wallpaper_->ReadStyle(), c.pair);
  }
  // A stored pair that is none of the three tiles, as the root painter shows it.
  wallpaper_->WriteStyle({"1", "2"});
  EXPECT_EQ(Get("picture-options"), "wallpaper");
  // Styles without a pair read as none of the three and go back unchanged.
  for (const char* option : {"zoom", "spanned"}) {
    Set("picture-options", option);
    const DisplayStylePair read = wallpaper_->ReadStyle();
    EXPECT_FALSE(HasAPair(read)) << option;
    Set("picture-options", "centered");
    wallpaper_->WriteStyle(read);
    EXPECT_EQ(Get("picture-options"), option);
  }
  // A value the desktop does not know is a failed write, and the setting stays.
  EXPECT_THROW(wallpaper_->WriteStyle({"", "sideways"}), Exception);
  EXPECT_EQ(Get("picture-options"), "spanned");
}

INSTANTIATE_TEST_SUITE_P(
    Schemas, GnomeFamilyTest,
    testing::Values(
        Flavour{"Gnome", GnomeFlavour::Gnome, "org.gnome.desktop.background", "picture-uri", true, true},
        Flavour{"Cinnamon", GnomeFlavour::Cinnamon, "org.cinnamon.desktop.background", "picture-uri", true,
                false},
        Flavour{"Mate", GnomeFlavour::Mate, "org.mate.background", "picture-filename", false, false}),
    [](const testing::TestParamInfo<Flavour>& param) { return std::string(param.param.name); });

// GSettings reads its schemas once per process: GNOME before 42 (no picture-uri-dark) and desktops whose
// schema is missing are tried in a child run of this program that sees only a small schema of ours.
constexpr const char* kSchemaRootVariable = "LUMORA_TEST_SCHEMA_ROOT";

TEST(GnomeFamilyOtherSchemas, OldGnomeSchemaAndMissingSchemas) {
  if (PrivateSession::Get() == nullptr || !ProgramAvailable("glib-compile-schemas")) {
    GTEST_SKIP()
        << "dbus-daemon or glib-compile-schemas is not installed (scripts/setup-debian.sh installs them)";
  }
  const std::string root = PrivateSession::Get()->NewFolder("old-schemas");
  std::filesystem::create_directories(root + "/glib-2.0/schemas");
  WriteWholeFile(root + "/glib-2.0/schemas/org.gnome.desktop.background.gschema.xml", R"(<schemalist>
  <enum id="test.options"><value nick="wallpaper" value="1"/><value nick="zoom" value="5"/></enum>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-options" enum="test.options"><default>'zoom'</default></key>
  </schema>
</schemalist>)");
  const RunResult compiled = RunInSession({"glib-compile-schemas", root + "/glib-2.0/schemas"});
  ASSERT_EQ(compiled.exitCode, 0) << compiled.output;

  ProcessOptions options;
  options.setEnv[kSchemaRootVariable] = root;
  const RunResult child = RunProgram({"/proc/self/exe", "--gtest_also_run_disabled_tests",
                                      "--gtest_filter=GnomeFamilyOtherSchemas.DISABLED_InChild"},
                                     options);
  EXPECT_EQ(child.exitCode, 0) << child.output;
  EXPECT_NE(child.output.find("[  PASSED  ] 1 test"), std::string::npos) << child.output;
}

TEST(GnomeFamilyOtherSchemas, DISABLED_InChild) {
  const char* root = std::getenv(kSchemaRootVariable);
  ASSERT_NE(root, nullptr) << "runs only as the child of OldGnomeSchemaAndMissingSchemas";
  ASSERT_NE(PrivateSession::Get(), nullptr);
  // After the bus has started (it finds dconf-service through the system's data folders), before GSettings.
  ::setenv("XDG_DATA_DIRS", root, 1);
  const std::string picture = WritePicture(PrivateSession::Get()->NewFolder("child"));

  const auto gnome = platform::CreateGnomeFamilyWallpaper(GnomeFlavour::Gnome);
  ASSERT_TRUE(gnome->SetWallpaper(picture, nullptr));
  EXPECT_EQ(GsettingsGet("org.gnome.desktop.background", "picture-uri"), FileUri(picture));
  gnome->WriteStyle(platform::kTiledPair);
  EXPECT_EQ(gnome->ReadStyle(), platform::kTiledPair);

  for (const GnomeFlavour flavour : {GnomeFlavour::Cinnamon, GnomeFlavour::Mate}) {
    const auto missing = platform::CreateGnomeFamilyWallpaper(flavour);
    SCOPED_TRACE(missing->Name());
    EXPECT_EQ(missing->ReadStyle(), DisplayStylePair{});
    EXPECT_THROW(missing->WriteStyle(platform::kCentredPair), Exception);
    EXPECT_FALSE(missing->SetWallpaper(picture, nullptr));
    EXPECT_FALSE(missing->Reapply());
  }
}

}  // namespace
}  // namespace lumora::test
