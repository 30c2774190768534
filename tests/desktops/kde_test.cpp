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

// Runs a recorded script as Plasma's scripting would, on two desktops (the first showing a picture whose
// FillMode is argv[2]). Prints "desktop key value" for each writeConfig on the image plugin's group,
// "print text" for each print(), and "wrong ..." for anything written elsewhere.
constexpr const char* kPlasmaHarness = R"(
const lines = [];
const made = [0, 1].map((index) => ({
  wallpaperPlugin: index == 0 ? 'org.kde.image' : 'org.kde.color',
  currentConfigGroup: [],
  writeConfig(key, value) {
    const where = this.wallpaperPlugin + '/' + this.currentConfigGroup.join('/');
    const right = where == 'org.kde.image/Wallpaper/org.kde.image/General';
    lines.push((right ? '' : 'wrong ' + where + ' ') + [index, key, value].join(' '));
  },
  readConfig(key) { return key == 'FillMode' ? Number(process.argv[2]) : undefined; },
}));
new Function('desktops', 'print', require('fs').readFileSync(process.argv[1], 'utf8'))(
    () => made, (text) => lines.push('print ' + text));
console.log(lines.join('\n'));
)";

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

  // What plasmashell received, oldest first, each as the harness runs it.
  std::vector<std::vector<std::string>> Scripts(int fillMode = 0) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(records_)) {
      if (entry.path().extension() == ".js") names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<std::vector<std::string>> runs;
    for (const auto& name : names) {
      const RunResult result = RunInSession({"node", "-e", kPlasmaHarness, name, std::to_string(fillMode)});
      EXPECT_EQ(result.exitCode, 0) << result.output << ReadWholeFile(name);
      runs.push_back(Lines(result.output));
    }
    return runs;
  }

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
  auto runs = Scripts();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1], (std::vector<std::string>{"0 Image " + uri, "1 Image " + uri}));
  EXPECT_EQ(PathOfUri(uri), picture_);
  ASSERT_EQ(runs[0].size(), 2u);
  const std::string first = runs[0][0].substr(std::string("0 Image ").size());
  EXPECT_EQ(runs[0][1], "1 Image " + first);
  EXPECT_NE(first, uri);
  EXPECT_TRUE(std::filesystem::equivalent(PathOfUri(first), picture_)) << first;

  EXPECT_FALSE(wallpaper_->SetWallpaper(folder_ + "/missing.bmp", nullptr));
  EXPECT_TRUE(wallpaper_->Reapply());
  runs = Scripts();
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[3], (std::vector<std::string>{"0 Image " + uri, "1 Image " + uri}));
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
    EXPECT_EQ(Scripts().back(), (std::vector<std::string>{"0" + mode, "1" + mode}));
    // Kept for the next apply, which writes it with the picture.
    ASSERT_TRUE(wallpaper_->SetWallpaper(picture_, nullptr));
    const auto last = Scripts().back();
    EXPECT_EQ(std::count_if(last.begin(), last.end(), [&](const auto& line) { return line.ends_with(mode); }),
              2);
    WriteWholeFile(Reply(), std::string(c.mode) + "\n");
    EXPECT_EQ(wallpaper_->ReadStyle(), c.pair);
  }
  WriteWholeFile(Reply(), "");
  EXPECT_EQ(wallpaper_->ReadStyle(), DisplayStylePair{});
  // The reading script asks the first desktop for its FillMode and prints it.
  EXPECT_EQ(Scripts(3).back(), std::vector<std::string>{"print 3"});
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
