// SPDX-License-Identifier: GPL-3.0-or-later
// The hot key in GNOME on Wayland: through the GlobalShortcuts portal where there is one (a recording
// stand-in), else "启用" makes a custom keybinding of the settings daemon that runs a rotation step, beside
// the user's own, in the real dconf on a private bus.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "e2e/lumora_session.h"
#include "support/private_bus.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
const std::string kUsers = std::string(kFolder) + "custom0/";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

class GnomeHotKey : public LumoraSessionTest {
 protected:
  void SetUp() override {
    LumoraSessionTest::SetUp();
    if (IsSkipped()) return;
    if (!ProgramAvailable("dbus-daemon") || !ProgramAvailable("gsettings") ||
        !std::filesystem::exists("/usr/libexec/dconf-service")) {
      GTEST_SKIP() << "dbus-daemon, gsettings or dconf-service is not installed";
    }
    options_ = S().Options();
    options_.setEnv.insert({{"HOME", S().Dir().Path()},
                            {"GSETTINGS_BACKEND", "dconf"},
                            {"XDG_CURRENT_DESKTOP", "GNOME"},
                            {"XDG_SESSION_TYPE", "wayland"}});
    bus_ = std::make_unique<PrivateBus>(S().Dir().Path(), options_);
    options_.setEnv["DBUS_SESSION_BUS_ADDRESS"] = bus_->Address();
    if (Gsettings({"list-keys", kMediaKeys}).exitCode != 0) GTEST_SKIP() << kMediaKeys << " is not installed";
    // The user's own binding, which Lumora must leave alone.
    Set(kMediaKeys, "custom-keybindings", "['" + kUsers + "']");
    Set(Custom(kUsers), "name", "'Files'");
    Set(Custom(kUsers), "command", "'nautilus'");
    Set(Custom(kUsers), "binding", "'<Super>e'");
    SetUpColourList();
  }

  RunResult Gsettings(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), "gsettings");
    return RunProgram(arguments, options_, 20s);
  }
  static std::string Custom(const std::string& path) {
    return std::string(kMediaKeys) + ".custom-keybinding:" + path;
  }
  void Set(const std::string& schema, const std::string& key, const std::string& value) const {
    ASSERT_EQ(Gsettings({"set", schema, key, value}).exitCode, 0);
  }
  // A key's string, or the items of its list; "<unreadable>" when it has neither.
  std::string Get(const std::string& schema, const std::string& key) const { return Read(schema, key)[0]; }
  std::vector<std::string> List() const { return Read(kMediaKeys, "custom-keybindings"); }
  std::vector<std::string> Read(const std::string& schema, const std::string& key) const {
    GVariant* value =
        g_variant_parse(nullptr, Gsettings({"get", schema, key}).output.c_str(), nullptr, nullptr, nullptr);
    if (value == nullptr) return {"<unreadable>"};
    std::vector<std::string> texts;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
      texts.emplace_back(g_variant_get_string(value, nullptr));
    } else {
      gsize count = 0;
      const gchar** items = g_variant_get_strv(value, &count);
      texts.assign(items, items + count);
      g_free(items);
    }
    g_variant_unref(value);
    return texts;
  }

  std::unique_ptr<ChildProcess> StartLumora() {
    ProcessOptions options = options_;
    options.outputFile = S().Dir() / "lumora.log";
    auto lumora = std::make_unique<ChildProcess>(std::vector<std::string>{LumoraSession::Binary()}, options);
    main_ = S().WaitForMainWindow();
    EXPECT_TRUE(main_) << Log();
    if (main_) D().Click(*main_, 208 + 50, 272 + 8);  // 热键更换墙纸
    return lumora;
  }
  void Enable() { ClickButton(*main_, 296, 400); }
  void Disable() { ClickButton(*main_, 392, 400); }

  ProcessOptions options_;
  std::unique_ptr<PrivateBus> bus_;
  std::optional<unsigned long> main_;
};

TEST_F(GnomeHotKey, EnablingAddsABindingThatStepsAndDisablingTakesItAway) {
  auto lumora = StartLumora();
  ASSERT_TRUE(main_);
  Enable();
  AnswerTitledBox("enabled");
  auto list = List();
  ASSERT_EQ(list.size(), 2U) << Log();
  EXPECT_EQ(list[0], kUsers);
  const std::string ours = list[1];
  EXPECT_TRUE(ours.starts_with(kFolder)) << ours;
  EXPECT_EQ(Get(Custom(ours), "binding"), "<Control>q");
  const std::string command = Get(Custom(ours), "command");
  EXPECT_TRUE(command.ends_with(" --next")) << command;
  // What the settings daemon runs on the key: the running program takes one step each time.
  for (const int picture : {0, 1}) {
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", command}, options_, 20s).exitCode, 0);
    EXPECT_TRUE(WaitForShown(picture)) << Log();
  }

  Disable();
  AnswerTitledBox("disabled");
  EXPECT_EQ(List(), std::vector<std::string>{kUsers});
  EXPECT_EQ(Get(Custom(ours), "binding"), "") << "reset to the schema's default";
  EXPECT_EQ(Get(Custom(kUsers), "binding"), "<Super>e");
  EXPECT_EQ(Get(Custom(kUsers), "command"), "nautilus");
}

TEST_F(GnomeHotKey, ACombinationGnomeBindsIsRefusedAKilledRunsBindingTakenOverAndQuittingEndsOurs) {
  // A run that was killed left its binding; GNOME closes windows on Ctrl+Q, spelled its own way.
  const std::string stale = std::string(kFolder) + "lumora-next-alt-x/";
  Set(kMediaKeys, "custom-keybindings", "['" + stale + "', '" + kUsers + "']");
  Set(Custom(stale), "binding", "'<Alt>x'");
  Set("org.gnome.desktop.wm.keybindings", "close", "['<Alt>F4', '<Primary>Q']");
  auto lumora = StartLumora();
  ASSERT_TRUE(main_);
  Enable();
  ASSERT_TRUE(D().AnswerMessageBox("更换墙纸热键启用失败")) << Log();
  EXPECT_EQ(List(), (std::vector<std::string>{stale, kUsers}));

  // The user's own custom bindings count as well, and Ctrl+Shift+Q is not Ctrl+Q.
  Set("org.gnome.desktop.wm.keybindings", "close", "['<Alt>F4']");
  Set(Custom(kUsers), "binding", "'<Ctrl>q'");
  Enable();
  ASSERT_TRUE(D().AnswerMessageBox("更换墙纸热键启用失败")) << Log();
  Set(Custom(kUsers), "binding", "'<Shift><Ctrl>q'");
  Enable();
  AnswerTitledBox("enabled");
  const auto list = List();
  ASSERT_EQ(list.size(), 2U) << Log();
  EXPECT_EQ(list[0], kUsers);
  EXPECT_EQ(Get(Custom(list[1]), "binding"), "<Control>q");
  EXPECT_EQ(Get(Custom(stale), "binding"), "");

  ASSERT_EQ(RunProgram({LumoraSession::Binary(), "--quit"}, options_, 20s).exitCode, 0);
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(List(), std::vector<std::string>{kUsers});
}

TEST_F(GnomeHotKey, ThePortalIsPreferredAndEachOfItsActivationsSteps) {
  const std::string record = S().Dir() / "portal.txt";
  ChildProcess portal({SHORTCUTS_PORTAL_STAND_IN, record}, options_);
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(record + ".ready"); }));
  const auto calls = [&] { return Lines(ReadWholeFile(record)); };
  const auto press = [&](const std::string& session) {
    RunProgram({"gdbus", "call", "--session", "--dest", "org.freedesktop.portal.Desktop", "--object-path",
                "/org/freedesktop/portal/desktop", "--method", "org.lumora.Test.Press", session},
               options_, 20s);
  };
  auto lumora = StartLumora();
  ASSERT_TRUE(main_);
  // The user cancels the portal's dialog: nothing is bound, and the window says how to bind it by hand.
  Enable();
  ASSERT_TRUE(D().AnswerMessageBox("^更换墙纸热键$")) << Log();
  Enable();
  AnswerTitledBox("enabled");
  const auto seen = calls();
  ASSERT_EQ(seen.size(), 3U) << ReadWholeFile(record);
  const std::string refused = seen[0].substr(14, seen[0].find(' ', 14) - 14);
  const std::string session = seen[2].substr(14, seen[2].find(' ', 14) - 14);
  EXPECT_NE(refused, session);
  EXPECT_EQ(seen, (std::vector<std::string>{"BindShortcuts " + refused + " next-wallpaper CTRL+q",
                                            "Close " + refused,
                                            "BindShortcuts " + session + " next-wallpaper CTRL+q"}));
  EXPECT_EQ(List(), std::vector<std::string>{kUsers}) << "no custom keybinding beside the portal's";

  press(session);
  EXPECT_TRUE(WaitForShown(0)) << Log();
  press(refused);  // a session that was closed steps nothing, here and at the end
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(Shown(), 0);
  press(session);
  EXPECT_TRUE(WaitForShown(1)) << Log();
  Disable();
  AnswerTitledBox("disabled");
  EXPECT_EQ(calls().back(), "Close " + session);
  press(session);
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(Shown(), 1);
}

}  // namespace
}  // namespace lumora::test
