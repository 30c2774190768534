// SPDX-License-Identifier: GPL-3.0-or-later
// The installed "lumora" command: which directory it starts the program in, what it puts there, and the
// whole installed program started from the desktop's menu, from a cmake --install tree and from the
// unpacked Debian package.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "e2e/lumora_session.h"
#include "support/desktop_driver.h"
#include "support/process.h"
#include "support/xvfb.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kSamples = std::string(LUMORA_SOURCE_DIR) + "/data/img";
const std::string kHelp = "使用说明.txt";

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  if (!fs::is_directory(dir)) return names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The launcher of a copy of the installed tree, with the program replaced by one that writes down the
// directory it was started in, where the launcher was started, and its arguments, so that each choice is
// seen without a display.
class LauncherChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(LUMORA_INSTALLED_TREE, dir_ / "tree", fs::copy_options::recursive);
    const std::string program = dir_ / "tree/" LUMORA_PROGRAM_DIR "/lumora";
    ASSERT_TRUE(fs::remove(program));
    WriteWholeFile(program,
                   "#!/bin/sh\n{ pwd; printf '%s\\n' \"$LUMORA_CALLER_DIR\" \"$@\"; } > \"$REPORT\"\n");
    fs::permissions(program, fs::perms::owner_all);
    fs::create_directories(dir_ / "home");
  }

  // Runs the launcher in a directory; the directory the program ran in, or "" when it did not run.
  std::string RunIn(const std::string& cwd, std::map<std::string, std::string> env = {},
                    const std::string& launcher = "") {
    ProcessOptions options;
    options.workingDirectory = cwd;
    options.setEnv = std::move(env);
    options.setEnv["HOME"] = dir_ / "home";
    options.setEnv["REPORT"] = dir_ / "report.txt";
    if (!options.setEnv.contains("XDG_DATA_HOME")) options.unsetEnv.push_back("XDG_DATA_HOME");
    fs::remove(dir_ / "report.txt");
    const RunResult run =
        RunProgram({launcher.empty() ? dir_ / "tree/bin/lumora" : launcher, "-x", "two words"}, options);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::string report = ReadWholeFile(dir_ / "report.txt");
    if (report.empty()) return "";
    // A file the command line names relative to where it was given is found from there.
    EXPECT_EQ(report.substr(report.find('\n') + 1), cwd + "\n-x\ntwo words\n");
    return report.substr(0, report.find('\n'));
  }

  ScratchDirectory dir_;
};

TEST_F(LauncherChoice, FromTheMenuItRunsInANewDataDirectoryWithTheSamplesWhereverTheTreeLies) {
  // Started as a desktop starts it: in the home directory, XDG_DATA_HOME unset, through a link on PATH.
  fs::create_directories(dir_ / "links");
  fs::create_symlink(dir_ / "tree/bin/lumora", dir_ / "links/lumora");
  const std::string data = dir_ / "home/.local/share/lumora";
  EXPECT_EQ(RunIn(dir_ / "home", {}, dir_ / "links/lumora"), data);
  EXPECT_EQ(Names(data), (std::vector<std::string>{"img", kHelp}));
  EXPECT_EQ(Names(data + "/img"), Names(kSamples));
  EXPECT_EQ(ReadWholeFile(data + "/img/sky.jpg"), ReadWholeFile(kSamples + "/sky.jpg"));
  EXPECT_EQ(Names(dir_ / "home"), std::vector<std::string>{".local"});  // nothing else in the home
  EXPECT_EQ(Names(dir_ / "home/.local/share"), std::vector<std::string>{"lumora"});  // no leftovers

  // XDG_DATA_HOME chooses the place when it is an absolute path; a relative one is not valid.
  EXPECT_EQ(RunIn(dir_ / "home", {{"XDG_DATA_HOME", dir_ / "data"}}), dir_ / "data/lumora");
  EXPECT_EQ(Names(dir_ / "data/lumora/img"), Names(kSamples));
  fs::create_directories(dir_ / "home/relative");
  EXPECT_EQ(RunIn(dir_ / "home", {{"XDG_DATA_HOME", "relative"}}), data);
  EXPECT_TRUE(Names(dir_ / "home/relative").empty());
}

TEST_F(LauncherChoice, ADirectoryHoldingAListIsWhereItRunsAndItGetsNothing) {
  fs::create_directories(dir_ / "work");
  WriteWholeFile(dir_ / "work/zodeveda.orl", "/pictures/a.jpg\r\n");
  EXPECT_EQ(RunIn(dir_ / "work"), dir_ / "work");
  EXPECT_EQ(Names(dir_ / "work"), std::vector<std::string>{"zodeveda.orl"});
  EXPECT_FALSE(fs::exists(dir_ / "home/.local"));
  // Without the list the same directory is not the data directory.
  fs::remove(dir_ / "work/zodeveda.orl");
  EXPECT_EQ(RunIn(dir_ / "work"), dir_ / "home/.local/share/lumora");
}

// The real program through an installed tree's launcher, started in the home directory as a desktop's
// menu starts it, on an X server with a notification area.
class InstalledProgram : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!XvfbServer::Available() || !ProgramAvailable("xdotool") || !ProgramAvailable("trayer")) {
      GTEST_SKIP() << "needs Xvfb, xdotool and trayer (the README's set-up installs them)";
    }
    server_.StartTrayHost();
    for (const char* sub : {"home", "config", "data"}) fs::create_directories(dir_ / sub);
    fs::create_directories(dir_ / "runtime");
    fs::permissions(dir_ / "runtime", fs::perms::owner_all);
  }

  // Starts the launcher, waits for the main window and ends the program with "退出".
  void StartAndQuit(const std::string& log) {
    ProcessOptions options = server_.Options();
    options.workingDirectory = dir_ / "home";
    options.setEnv["HOME"] = dir_ / "home";
    options.setEnv["XDG_DATA_HOME"] = dir_ / "data";
    options.setEnv["XDG_CONFIG_HOME"] = dir_ / "config";
    options.setEnv["XDG_RUNTIME_DIR"] = dir_ / "runtime";
    options.outputFile = dir_ / log;
    ChildProcess lumora({std::string(GetParam()) + "/bin/lumora"}, options);
    std::optional<unsigned long> main;
    for (int i = 0; i < 200 && !main && lumora.Running(); ++i) {
      for (unsigned long window : driver_.FindWindows(kMainTitle)) {
        const WindowGeometry g = driver_.Geometry(window);
        if (g.width == 608 && g.height == 565) main = window;
      }
      if (!main) std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(main) << ReadWholeFile(dir_ / log);
    std::this_thread::sleep_for(300ms);
    driver_.Click(*main, 522 + 37, 528 + 12);  // "退出"
    EXPECT_EQ(lumora.Wait(10s), std::optional<int>(0)) << ReadWholeFile(dir_ / log);
  }

  ScratchDirectory dir_;
  XvfbServer server_;
  DesktopDriver driver_{server_};
};

TEST_P(InstalledProgram, FirstStartListsTheSamplesAndLaterStartsKeepTheUsersFiles) {
  const std::string data = dir_ / "data/lumora";
  ASSERT_NO_FATAL_FAILURE(StartAndQuit("first.log"));
  // The samples, JPEG pictures first, as the first run listed them; saved by "退出".
  EXPECT_EQ(Names(data + "/img"), Names(kSamples));
  EXPECT_EQ(ReadWholeFile(data + "/zodeveda.orl"), data + "/img/dawn.jpg\r\n" + data + "/img/lagoon.jpg\r\n" +
                                                       data + "/img/sky.jpg\r\n" + data +
                                                       "/img/tiles.bmp\r\n");
  EXPECT_TRUE(Names(dir_ / "home").empty());  // nothing of Lumora's in the home directory

  fs::remove(data + "/img/dawn.jpg");
  WriteWholeFile(data + "/" + kHelp, "我的笔记");
  ASSERT_NO_FATAL_FAILURE(StartAndQuit("second.log"));
  EXPECT_FALSE(fs::exists(data + "/img/dawn.jpg"));  // not copied again
  EXPECT_EQ(ReadWholeFile(data + "/" + kHelp), "我的笔记");
  // The saved list came back (the missing picture stays listed until the user takes it out).
  EXPECT_EQ(ReadWholeFile(data + "/zodeveda.orl"), data + "/img/dawn.jpg\r\n" + data + "/img/lagoon.jpg\r\n" +
                                                       data + "/img/sky.jpg\r\n" + data +
                                                       "/img/tiles.bmp\r\n");
  EXPECT_TRUE(Names(dir_ / "home").empty());
}

INSTANTIATE_TEST_SUITE_P(Trees, InstalledProgram, ::testing::Values(LUMORA_INSTALLED_TREE, LUMORA_DEB_TREE),
                         [](const auto& tree) { return tree.index == 0 ? "CmakeInstall" : "DebianPackage"; });

}  // namespace
}  // namespace lumora::test
