// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "desktops/private_session.h"
#include "platform/linux_desktops/javascript_literal.h"
#include "platform/linux_desktops/linux_desktops.h"

namespace lumora::test {
namespace {

using platform::DisplayStylePair;

// Runs a recorded script as Plasma's scripting would: argv[2] is plasmashell's version, argv[3] its
// wallpaper plugins (comma-separated), each further argument one desktop as "plugin,FillMode,Image". Prints
// "desktop key value" for each writeConfig into the desktop's own plugin's group ("wrong group desktop key
// value" for any other group), "desktop plugin X" when a desktop changes plugin, and "print text" for each
// print().
constexpr const char* kPlasmaHarness = R"(
const [script, version, plugins, ...states] = process.argv.slice(1);
const lines = [];
const made = states.map((state, index) => {
  const [plugin, fillMode, image] = state.split(',');
  let current = plugin;
  return {
    config: {'org.kde.image/FillMode': fillMode, [plugin + '/Image']: image},
    currentConfigGroup: [],
    get wallpaperPlugin() { return current; },
    set wallpaperPlugin(name) { if (name != current) lines.push(index + ' plugin ' + name); current = name; },
    group() {
      const g = this.currentConfigGroup;
      return g.length == 3 && g[0] == 'Wallpaper' && g[2] == 'General' ? g[1] : g.join('/');
    },
    writeConfig(key, value) {
      const g = this.group();
      lines.push((g == current ? '' : 'wrong ' + g + ' ') + [index, key, value].join(' '));
      this.config[g + '/' + key] = value;
    },
    readConfig(key) { return this.config[this.group() + '/' + key]; },
  };
});
const known = () => Object.fromEntries(plugins.split(',').map((name) => [name, []]));
new Function('desktops', 'print', 'applicationVersion', 'knownWallpaperPlugins',
             require('fs').readFileSync(script, 'utf8'))(
    () => made, (text) => lines.push('print ' + text), version, known);
console.log(lines.join('\n'));
)";

// Plasma before 6.6: one desktop showing a picture, one showing a plain colour.
const std::vector<std::string> kPlasma65 = {"6.5.4", "org.kde.image,org.kde.color",
                                            "org.kde.image,6,file:///old.png", "org.kde.color,,"};
// Plasma 6.6 with its tiling plugin: one desktop showing a picture, one tiling one.
const std::vector<std::string> kPlasma66 = {"6.6.0", "org.kde.image,org.kde.tiled,org.kde.color",
                                            "org.kde.image,6,file:///old.png",
                                            "org.kde.tiled,,file:///tiled.png"};

class KdeTest : public testing::Test {
 protected:
  void SetUp() override {
    if (PrivateSession::Get() == nullptr || !ProgramAvailable("node")) {
      GTEST_SKIP() << "dbus-daemon or node is not installed (scripts/setup-debian.sh installs them)";
    }
    folder_ = PrivateSession::Get()->NewFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    records_ = folder_ + "/scripts";
    std::filesystem::create_directories(records_);
    plasma_ = std::make_unique<ChildProcess>(std::vector<std::string>{PLASMA_STAND_IN, records_, Reply()});
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(records_ + "/ready"); }));
    picture_ = WritePicture(folder_);
    wallpaper_ = platform::CreateKdeWallpaper();
  }

  std::string Reply() const { return folder_ + "/reply.txt"; }

  // What plasmashell received, oldest first, each as the harness runs it on the given Plasma.
  std::vector<std::vector<std::string>> Scripts(const std::vector<std::string>& plasma = kPlasma65) const {
    std::vector<std::vector<std::string>> runs;
    for (const auto& name : ScriptFiles()) runs.push_back(Run(name, plasma));
    return runs;
  }

  // The newest script only.
  std::vector<std::string> Last(const std::vector<std::string>& plasma = kPlasma65) const {
    const auto names = ScriptFiles();
    return names.empty() ? std::vector<std::string>{} : Run(names.back(), plasma);
  }

 private:
  std::vector<std::string> ScriptFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(records_)) {
      if (entry.path().extension() == ".js") names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> Run(const std::string& name, const std::vector<std::string>& plasma) const {
    std::vector<std::string> argv = {"node", "-e", kPlasmaHarness, name};
    argv.insert(argv.end(), plasma.begin(), plasma.end());
    const RunResult result = RunInSession(argv);
    EXPECT_EQ(result.exitCode, 0) << result.output << ReadWholeFile(name);
    return Lines(result.output);
  }

 protected:
  std::string folder_;
  std::string records_;
  std::string picture_;
  std::unique_ptr<ChildProcess> plasma_;
  std::unique_ptr<platform::DesktopWallpaper> wallpaper_;
};

// Plasma ignores the URL it already shows: each apply names the same file under another URL first.
TEST_F(KdeTest, SetWallpaperNamesTheFileOnEveryDesktop) {
  ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
  const std::string uri = FileUri(picture_);
  const auto expected = [](const std::string& image) {
    return std::vector<std::string>{"0 Image " + image, "1 plugin org.kde.image", "1 Image " + image};
  };
  auto runs = Scripts();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1], expected(uri));
  EXPECT_EQ(PathOfUri(uri), picture_);
  ASSERT_EQ(runs[0].size(), 3u);
  const std::string first = runs[0][0].substr(std::string("0 Image ").size());
  EXPECT_EQ(runs[0], expected(first));
  EXPECT_NE(first, uri);
  EXPECT_TRUE(std::filesystem::equivalent(PathOfUri(first), picture_)) << first;

  EXPECT_FALSE(wallpaper_->SetWallpaper(folder_ + "/missing.bmp", nullptr));
  EXPECT_TRUE(wallpaper_->Reapply());
  runs = Scripts();
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[3], expected(uri));
}

TEST_F(KdeTest, StylesGoIntoFillMode) {
  const struct {
    DisplayStylePair pair;
    const char* mode;
  } cases[] = {{platform::kCentredPair, "6"},
               {platform::kStretchedPair, "0"},
               {platform::kTiledPair, "3"},
               {{"", "2"}, "2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const std::string mode = std::string(" FillMode ") + c.mode;
    wallpaper_->WriteStyle(c.pair);
    EXPECT_EQ(Last(), (std::vector<std::string>{"0" + mode, "1 plugin org.kde.image", "1" + mode}));
    // Kept for the next apply, which writes it with the picture.
    ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
    const auto last = Last();
    EXPECT_EQ(std::count_if(last.begin(), last.end(), [&](const auto& line) { return line.ends_with(mode); }),
              2);
    WriteWholeFile(Reply(), std::string(c.mode) + "\n");
    EXPECT_EQ(wallpaper_->ReadStyle(), c.pair);
  }
  // A stored pair that is none of the three tiles, as the root painter shows it.
  wallpaper_->WriteStyle({"1", "2"});
  EXPECT_EQ(Last(), (std::vector<std::string>{"0 FillMode 3", "1 plugin org.kde.image", "1 FillMode 3"}));
  WriteWholeFile(Reply(), "");
  EXPECT_EQ(wallpaper_->ReadStyle(), DisplayStylePair{});
  // The reading script asks the first desktop for its FillMode and prints it.
  EXPECT_EQ(Last(), std::vector<std::string>{"print 6"});
}

// From Plasma 6.6 tiling is a plugin of its own; the picture moves with the desktop between the plugins.
TEST_F(KdeTest, Plasma66TilesThroughItsOwnPlugin) {
  const std::string uri = FileUri(picture_);
  // No style chosen yet: each desktop keeps its plugin.
  ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
  EXPECT_EQ(Last(kPlasma66), (std::vector<std::string>{"0 Image " + uri, "1 Image " + uri}));

  wallpaper_->WriteStyle(platform::kTiledPair);
  EXPECT_EQ(Last(kPlasma66), (std::vector<std::string>{"0 plugin org.kde.tiled", "0 Image file:///old.png"}));
  ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
  EXPECT_EQ(Last(kPlasma66),
            (std::vector<std::string>{"0 plugin org.kde.tiled", "0 Image " + uri, "1 Image " + uri}));

  wallpaper_->WriteStyle(platform::kCentredPair);
  EXPECT_EQ(Last(kPlasma66), (std::vector<std::string>{"0 FillMode 6", "1 plugin org.kde.image",
                                                       "1 FillMode 6", "1 Image file:///tiled.png"}));

  WriteWholeFile(Reply(), "tiled\n");
  EXPECT_EQ(wallpaper_->ReadStyle(), platform::kTiledPair);
  EXPECT_EQ(Last({"6.6.0", "org.kde.tiled", "org.kde.tiled,,file:///tiled.png"}),
            std::vector<std::string>{"print tiled"});
}

// A Plasma 6.6 without org.kde.tiled (left out, or not installed yet) tiles with the image plugin's own
// FillMode, and a desktop still set to the missing plugin is brought back to the image plugin, tiling.
TEST_F(KdeTest, Plasma66WithoutTheTilingPluginTilesWithFillMode) {
  std::vector<std::string> withoutTiling = kPlasma66;
  withoutTiling[1] = "org.kde.image,org.kde.color";
  wallpaper_->WriteStyle(platform::kTiledPair);
  EXPECT_EQ(Last(withoutTiling), (std::vector<std::string>{"0 FillMode 3", "1 plugin org.kde.image",
                                                           "1 FillMode 3", "1 Image file:///tiled.png"}));

  const auto fresh = platform::CreateKdeWallpaper();  // no style chosen: each desktop keeps its own
  ASSERT_TRUE(fresh->SetWallpaper(picture_, nullptr));
  const std::string uri = FileUri(picture_);
  EXPECT_EQ(Last(withoutTiling), (std::vector<std::string>{"0 Image " + uri, "1 plugin org.kde.image",
                                                           "1 FillMode 3", "1 Image " + uri}));
}

// A style change that plasmashell refuses fails with its words; with no plasmashell at all, it fails as
// the desktop not answering, which the window tells the user in its own words.
TEST_F(KdeTest, AMissingShellIsToldApartFromARefusal) {
  WriteWholeFile(Reply(), "error TypeError: Cannot read property 'split' of undefined");
  EXPECT_THROW(wallpaper_->WriteStyle(platform::kTiledPair), ERegistryException);
  plasma_.reset();
  EXPECT_THROW(wallpaper_->WriteStyle(platform::kTiledPair), platform::EDesktopNoAnswer);
  EXPECT_EQ(wallpaper_->ReadStyle(), DisplayStylePair{});
}

// A real script engine reads every literal back as the text it was made from.
TEST(JavaScriptStringLiteral, EvaluatesToTheSameText) {
  if (!ProgramAvailable("node")) {
    GTEST_SKIP() << "node is not installed (scripts/setup-debian.sh installs nodejs)";
  }
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"'); desktops()[0].wallpaperPlugin = ('a\\b", "'); desktops()[0].wallpaperPlugin = ('a\\b"},
      {"line\nfeed\rreturn\ttab\x7f\u2028\u2029", "line\nfeed\rreturn\ttab\x7f\u2028\u2029"},
      {"壁纸 😀 %E4\"`${x}`", "壁纸 😀 %E4\"`${x}`"},
      {std::string("nul\0byte", 8), std::string("nul\0byte", 8)},
      // Broken UTF-8: each stray byte becomes U+FFFD.
      {"a\xff\xe4\xb8", "a\uFFFD\uFFFD\uFFFD"},
      {"\xc0\xaf\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) {
    const std::string literal = platform::JavaScriptStringLiteral(c.text);
    SCOPED_TRACE(literal);
    EXPECT_TRUE(std::all_of(literal.begin(), literal.end(), [](char ch) { return ch >= 0x20 && ch < 0x7f; }));
    const RunResult result =
        RunInSession({"node", "-e", "process.stdout.write(eval(process.argv[1]))", literal});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, c.expected);
  }
}

}  // namespace
}  // namespace lumora::test
