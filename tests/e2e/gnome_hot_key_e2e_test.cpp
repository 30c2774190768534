// SPDX-License-Identifier: GPL-3.0-or-later
// The hot key in GNOME on Wayland without the GlobalShortcuts portal: "启用" makes a custom keybinding of
// the settings daemon that runs a rotation step, beside the user's own, in the real dconf on a private bus.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "e2e/lumora_session.h"
#include "support/private_bus.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
const std::string kUsers = std::string(kFolder) + "custom0/";

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
    for (const auto& [name, value] : std::map<std::string, std::string>{{"HOME", S().Dir().Path()},
                                                                        {"GSETTINGS_BACKEND", "dconf"},
                                                                        {"XDG_CURRENT_DESKTOP", "GNOME"},
                                                                        {"XDG_SESSION_TYPE", "wayland"},
                                                                        {"QT_QPA_PLATFORM", "xcb"}}) {
      options_.setEnv[name] = value;
    }
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
  // A string or string-list key as its items; none when it cannot be read.
  std::vector<std::string> Get(const std::string& schema, const std::string& key) const {
    const RunResult result = Gsettings({"get", schema, key});
    std::vector<std::string> items;
    GVariant* value = g_variant_parse(nullptr, result.output.c_str(), nullptr, nullptr, nullptr);
    if (value == nullptr) return items;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
      items.emplace_back(g_variant_get_string(value, nullptr));
    } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
      const gchar** texts = g_variant_get_strv(value, nullptr);
      for (const gchar** text = texts; *text != nullptr; ++text) items.emplace_back(*text);
      g_free(texts);
    }
    g_variant_unref(value);
    return items;
  }
  std::vector<std::string> List() const { return Get(kMediaKeys, "custom-keybindings"); }

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

TEST_F(GnomeHotKey, EnablingAddsABindingThatStepsAndDisablingOrQuittingTakesItAway) {
  auto lumora = StartLumora();
  ASSERT_TRUE(main_);
  Enable();
  AnswerTitledBox("enabled");
  auto list = List();
  ASSERT_EQ(list.size(), 2U) << Log();
  EXPECT_EQ(list[0], kUsers);
  const std::string ours = list[1];
  EXPECT_TRUE(ours.starts_with(kFolder)) << ours;
  EXPECT_EQ(Get(Custom(ours), "binding"), std::vector<std::string>{"<Control>q"});
  const auto command = Get(Custom(ours), "command");
  ASSERT_EQ(command.size(), 1U);
  EXPECT_TRUE(command[0].ends_with(" --next")) << command[0];
  // What the settings daemon runs on the key: the running program takes one step each time.
  for (const int picture : {0, 1}) {
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", command[0]}, options_, 20s).exitCode, 0);
    EXPECT_TRUE(WaitForShown(picture)) << Log();
  }

  Disable();
  AnswerTitledBox("disabled");
  EXPECT_EQ(List(), std::vector<std::string>{kUsers});
  EXPECT_EQ(Get(Custom(ours), "binding"), std::vector<std::string>{""}) << "reset to the schema's default";
  EXPECT_EQ(Get(Custom(kUsers), "binding"), std::vector<std::string>{"<Super>e"});
  EXPECT_EQ(Get(Custom(kUsers), "command"), std::vector<std::string>{"nautilus"});

  Enable();
  AnswerTitledBox("enabled again");
  EXPECT_EQ(List().size(), 2U);
  ClickButton(*main_, 522, 528);  // 退出
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(List(), std::vector<std::string>{kUsers});
}

TEST_F(GnomeHotKey, ACombinationGnomeBindsIsRefusedAndAKilledRunsBindingIsTakenOver) {
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
  EXPECT_EQ(Get(Custom(list[1]), "binding"), std::vector<std::string>{"<Control>q"});
  EXPECT_EQ(Get(Custom(stale), "binding"), std::vector<std::string>{""});

  ASSERT_EQ(RunProgram({LumoraSession::Binary(), "--quit"}, options_, 20s).exitCode, 0);
  EXPECT_EQ(lumora->Wait(10s), std::optional<int>(0)) << Log();
  EXPECT_EQ(List(), std::vector<std::string>{kUsers});
}

}  // namespace
}  // namespace lumora::test
