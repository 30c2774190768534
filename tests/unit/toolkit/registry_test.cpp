// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/exceptions.h"
#include "unit/toolkit/temp_dir.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

const char kProductKey[] = "\\SOFTWARE\\VezeVuru\\ZodeVeda";

class RegistryTest : public ::testing::Test {
 protected:
  // The store's directory does not exist yet: the first write has to create it.
  std::string StoreFile() const { return dir_.File("config/lumora/registry.ini"); }
  std::string StoreDir() const { return dir_.File("config/lumora"); }

  std::string StoreText() const {
    std::ifstream in(StoreFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void PutStore(const std::string& contents) const {
    fs::create_directories(StoreDir());
    std::ofstream(StoreFile(), std::ios::binary) << contents;
  }

  // What a separate process opening the key afresh would read.
  std::optional<std::string> ReadFresh(TRootKey root, const std::string& key, const std::string& name) const {
    TRegistry reg(StoreFile());
    reg.RootKey = root;
    if (!reg.OpenKey(key, false)) return std::nullopt;
    if (!reg.ValueExists(name)) return std::nullopt;
    return reg.ReadString(name);
  }

  void Write(TRootKey root, const std::string& key, const std::string& name, const std::string& value) const {
    TRegistry reg(StoreFile());
    reg.RootKey = root;
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString(name, value);
  }

  test_support::TempDir dir_;
};

TEST_F(RegistryTest, AwkwardValuesAndNamesRoundTripExactly) {
  const std::string values[] = {
      "",
      "plain",
      " leading",
      "trailing ",
      "   ",
      "a=b=c",
      "\\",
      "C:\\Windows\\Web\\Wallpaper\\img0.jpg",
      "ends with backslash\\",
      "\\x41 is not an escape here",
      "\\n neither",
      "line1\nline2",
      "\r\n",
      "cr\ronly",
      "\ttabbed\t",
      "中文壁纸 – 图片",
      "[HKEY_CURRENT_USER\\Fake]",
      "; not a comment",
      "# nor this",
      std::string("nul\0inside", 10),
      std::string("\0", 1),
      "\xFF\xFE not UTF-8 \xC0\xAF \xED\xA0\x80",
      "\x7F\x01\x1B[0m",
      std::string(100000, 'v'),
  };
  const std::string names[] = {
      "sn", "", "a=b", "[bracket", ";semicolon", "#hash", " spaced ", "名字", "back\\slash", "new\nline", "=",
  };

  TRegistry reg(StoreFile());
  reg.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  for (std::size_t i = 0; i < std::size(values); ++i) {
    reg.WriteString("v" + std::to_string(i), values[i]);
  }
  for (std::size_t i = 0; i < std::size(names); ++i) {
    reg.WriteString(names[i], "value of name " + std::to_string(i));
  }

  for (std::size_t i = 0; i < std::size(values); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ReadFresh(HKEY_LOCAL_MACHINE, kProductKey, "v" + std::to_string(i)), values[i]);
  }
  for (std::size_t i = 0; i < std::size(names); ++i) {
    SCOPED_TRACE(::testing::PrintToString(names[i]));
    EXPECT_EQ(ReadFresh(HKEY_LOCAL_MACHINE, kProductKey, names[i]), "value of name " + std::to_string(i));
  }
  // Stray lines would mean an escape was missed and some text leaked into the structure.
  const std::string text = StoreText();
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.find(std::string(1, '\0')), std::string::npos);
}

TEST_F(RegistryTest, KeysAndNamesIgnoreAsciiCaseAndTheLeadingBackslash) {
  Write(HKEY_LOCAL_MACHINE, kProductKey, "SN", "1");
  EXPECT_EQ(ReadFresh(HKEY_LOCAL_MACHINE, "software\\vezevuru\\ZODEVEDA", "sn"), "1");
  EXPECT_EQ(ReadFresh(HKEY_LOCAL_MACHINE, "SOFTWARE\\VezeVuru\\ZodeVeda\\", "Sn"), "1");

  Write(HKEY_LOCAL_MACHINE, "\\software\\VEZEVURU\\zodeveda", "sn", "2");
  EXPECT_EQ(ReadFresh(HKEY_LOCAL_MACHINE, kProductKey, "SN"), "2");
  // One key and one value, keeping the spelling they were created with.
  const std::string text = StoreText();
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\VezeVuru\\ZodeVeda]"), std::string::npos) << text;
  EXPECT_EQ(text.find("[HKEY_LOCAL_MACHINE\\software"), std::string::npos) << text;
  EXPECT_NE(text.find("SN=2"), std::string::npos) << text;
  EXPECT_EQ(text.find("sn="), std::string::npos) << text;

  // Case folding is ASCII only: these are different names.
  Write(HKEY_LOCAL_MACHINE, kProductKey, "É", "upper");
  Write(HKEY_LOCAL_MACHINE, kProductKey, "é", "lower");
  EXPECT_EQ(ReadFresh(HKEY_LOCAL_MACHINE, kProductKey, "É"), "upper");
}

TEST_F(RegistryTest, HivesAreSeparate) {
  Write(HKEY_LOCAL_MACHINE, "\\Control Panel\\desktop", "Wallpaper", "machine.bmp");
  Write(HKEY_CURRENT_USER, "\\Control Panel\\desktop", "Wallpaper", "user.bmp");
  EXPECT_EQ(ReadFresh(HKEY_LOCAL_MACHINE, "\\Control Panel\\desktop", "Wallpaper"), "machine.bmp");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, "\\Control Panel\\desktop", "Wallpaper"), "user.bmp");
  EXPECT_EQ(ReadFresh(HKEY_USERS, "\\Control Panel\\desktop", "Wallpaper"), std::nullopt);
  EXPECT_EQ(TRegistry(StoreFile()).RootKey, HKEY_CURRENT_USER);
}

TEST_F(RegistryTest, MissingKeyWithoutCreateFailsAndReadsEmpty) {
  TRegistry reg(StoreFile());
  EXPECT_FALSE(reg.OpenKey(kProductKey, false));
  EXPECT_EQ(reg.ReadString("sn"), "");
  EXPECT_FALSE(reg.ValueExists("sn"));
  EXPECT_FALSE(fs::exists(StoreFile())) << "looking must not create the store";

  Write(HKEY_CURRENT_USER, "\\Other", "sn", "other");
  ASSERT_TRUE(reg.OpenKey("\\Other", false));
  // A failed open leaves the current key as it was.
  EXPECT_FALSE(reg.OpenKey(kProductKey, false));
  EXPECT_EQ(reg.CurrentPath(), "Other");
  EXPECT_EQ(reg.ReadString("sn"), "other");
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_FALSE(reg.ValueExists("missing"));
}

TEST_F(RegistryTest, CreatedKeysPersistAndImplyTheirParents) {
  {
    TRegistry reg(StoreFile());
    ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  }
  TRegistry reg(StoreFile());
  EXPECT_TRUE(reg.OpenKey(kProductKey, false));
  EXPECT_TRUE(reg.OpenKey("\\SOFTWARE\\VezeVuru", false));
  EXPECT_TRUE(reg.OpenKey("\\SOFTWARE", false));
  EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\Veze", false)) << "a prefix of a name is not a parent key";
  EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\VezeVuru\\ZodeVeda\\Deeper", false));
  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_FALSE(reg.OpenKey(kProductKey, false));
}

TEST_F(RegistryTest, NamesWithoutLeadingBackslashContinueFromTheOpenKey) {
  TRegistry reg(StoreFile());
  ASSERT_TRUE(reg.OpenKey("SOFTWARE", true));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");
  ASSERT_TRUE(reg.OpenKey("VezeVuru\\ZodeVeda", true));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\VezeVuru\\ZodeVeda");
  reg.WriteString("sn", "nested");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), "nested");

  ASSERT_TRUE(reg.OpenKey("\\Control Panel", true));
  EXPECT_EQ(reg.CurrentPath(), "Control Panel");
  reg.CloseKey();
  EXPECT_EQ(reg.CurrentPath(), "");
  ASSERT_TRUE(reg.OpenKey("SOFTWARE", false));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");
}

TEST_F(RegistryTest, WithoutAnOpenKeyValuesBelongToTheHiveAndChangingHivesClosesTheKey) {
  TRegistry reg(StoreFile());
  reg.WriteString("top", "level");
  ASSERT_TRUE(reg.OpenKey(kProductKey, true));
  reg.WriteString("sn", "user");
  EXPECT_EQ(reg.ReadString("top"), "");
  EXPECT_NE(StoreText().find("[HKEY_CURRENT_USER]\ntop=level"), std::string::npos) << StoreText();

  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_EQ(reg.CurrentPath(), "");
  EXPECT_EQ(reg.ReadString("sn"), "");
  reg.WriteString("sn", "machine root");
  EXPECT_EQ(ReadFresh(HKEY_LOCAL_MACHINE, "", "sn"), "machine root");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), "user");
  reg.RootKey = HKEY_CURRENT_USER;
  EXPECT_EQ(reg.ReadString("top"), "level");
}

TEST_F(RegistryTest, KeyNamesTheStoreCannotHoldAreRefused) {
  TRegistry reg(StoreFile());
  EXPECT_FALSE(reg.OpenKey("\\bad\nkey", true));
  EXPECT_FALSE(reg.OpenKey("\\bad\x01key", true));
  EXPECT_FALSE(reg.OpenKey("\\bad\xFFkey", true));
  EXPECT_FALSE(fs::exists(StoreFile()));
  EXPECT_TRUE(reg.OpenKey("\\键\\ключ", true));
  EXPECT_TRUE(TRegistry(StoreFile()).OpenKey("\\键\\ключ", false));
}

TEST_F(RegistryTest, ObjectsSharingTheStoreKeepEachOthersValues) {
  TRegistry first(StoreFile());
  TRegistry second(StoreFile());
  ASSERT_TRUE(first.OpenKey(kProductKey, true));
  ASSERT_TRUE(second.OpenKey(kProductKey, true));
  first.WriteString("sn", "from first");
  second.WriteString("user", "from second");
  first.WriteString("count", "3");
  ASSERT_TRUE(second.OpenKey("\\Control Panel\\desktop", true));
  second.WriteString("Wallpaper", "w.bmp");

  EXPECT_EQ(first.ReadString("user"), "from second") << "reads must see other writers' values";
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), "from first");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "user"), "from second");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "count"), "3");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, "\\Control Panel\\desktop", "Wallpaper"), "w.bmp");
}

TEST_F(RegistryTest, ConcurrentProcessesLoseNoValues) {
  constexpr int kProcesses = 4;
  constexpr int kWritesEach = 30;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        TRegistry reg(StoreFile());
        if (!reg.OpenKey(kProductKey, true)) status = 2;
        for (int i = 0; i < kWritesEach && status == 0; ++i) {
          reg.WriteString("p" + std::to_string(p) + "-" + std::to_string(i), std::to_string(i * p));
        }
      } catch (...) {
        status = 3;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  TRegistry reg(StoreFile());
  ASSERT_TRUE(reg.OpenKey(kProductKey, false));
  int missing = 0;
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kWritesEach; ++i) {
      const std::string name = "p" + std::to_string(p) + "-" + std::to_string(i);
      if (!reg.ValueExists(name) || reg.ReadString(name) != std::to_string(i * p)) ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(test_support::TempDir::EntriesOf(StoreDir()), std::set<std::string>{"registry.ini"});
}

TEST_F(RegistryTest, WritesAreAtomicAndPrivate) {
  for (int i = 0; i < 20; ++i) Write(HKEY_CURRENT_USER, kProductKey, "n" + std::to_string(i), "x");
  EXPECT_EQ(test_support::TempDir::EntriesOf(StoreDir()), std::set<std::string>{"registry.ini"});
  struct stat info {};
  ASSERT_EQ(::stat(StoreFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0077, 0u) << "other users must not read the store";
  ASSERT_EQ(::stat(StoreDir().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0077, 0u) << "a created store directory is private too";
}

// The whole literal, embedded NULs included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string PseudoRandomBytes(std::size_t size) {
  std::string bytes(size, '\0');
  unsigned state = 12345;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 16);
  }
  return bytes;
}

TEST_F(RegistryTest, DamagedStoresReadEmptyAndAreReplacedOnWrite) {
  const std::string damaged[] = {
      "",
      PseudoRandomBytes(5000),
      Bytes("\0\0\0\0\0\0\0\0"),
      // The store saved as UTF-16 by some editor.
      Bytes("\xFF\xFE[\0H\0K\0E\0Y\0]\0\n\0s\0n\0=\0x\0"),
      // Cut short inside the header and inside an escape.
      "[HKEY_CURRENT_USER\\SOFTWARE\\VezeVu",
      "[HKEY_CURRENT_USER\\SOFTWARE\\VezeVuru\\ZodeVeda]\nsn=abc\\",
      "[HKEY_CURRENT_USER\\SOFTWARE\\VezeVuru\\ZodeVeda]\nsn=abc\\x4",
      // Values in no valid section.
      "sn=orphan\n[NOT_A_HIVE\\SOFTWARE\\VezeVuru\\ZodeVeda]\nsn=wrong hive\n",
      "[HKEY_CURRENT_USER\\SOFTWARE\\VezeVuru\\ZodeVeda\nsn=unclosed\n",
      "[HKEY_CURRENT_USER\\SOFTWARE\\VezeVuru\\Zode\x01Veda]\nsn=binary header\n",
  };
  for (const std::string& contents : damaged) {
    SCOPED_TRACE(::testing::PrintToString(contents.substr(0, 80)));
    PutStore(contents);
    EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), std::nullopt);
    EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, "", "sn"), std::nullopt);
    TRegistry reg(StoreFile());
    EXPECT_EQ(reg.ReadString("sn"), "");
    reg.WriteString("sn", "fresh");
    EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, "", "sn"), "fresh");
    ASSERT_TRUE(reg.OpenKey(kProductKey, true));
    reg.WriteString("sn", "fresh");
    EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), "fresh");
    const std::string text = StoreText();
    EXPECT_EQ(text.find(std::string(1, '\0')), std::string::npos);
    EXPECT_EQ(text.find("orphan"), std::string::npos);
    EXPECT_EQ(text.find("wrong hive"), std::string::npos);
  }
}

TEST_F(RegistryTest, ReadableLinesOfADamagedStoreSurviveTheNextWrite) {
  PutStore(
      "\xEF\xBB\xBF; hand-edited, with Windows line ends\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\VezeVuru\\ZodeVeda]\r\n"
      "  user = Ann  \r\n"
      "garbage without equals sign\r\n"
      "bad\\qescape=1\r\n"
      "\x01\x02\xFF\xFE=binary\r\n"
      "# comment=not a value\r\n"
      "sn=123\r\n"
      "[HKEY_CURRENT_USER\\Control Panel\\desk\x01top]\r\n"
      "Wallpaper=must not land in the previous key\r\n"
      "[hkey_current_user\\control panel\\DESKTOP]\r\n"
      "Wallpaper=kept.bmp\r\n");

  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "user"), "Ann");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), "123");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "Wallpaper"), std::nullopt);
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "# comment"), std::nullopt);
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, "\\Control Panel\\desktop", "Wallpaper"), "kept.bmp");

  Write(HKEY_CURRENT_USER, kProductKey, "count", "1");
  const std::string text = StoreText();
  EXPECT_EQ(text.find("garbage"), std::string::npos) << text;
  EXPECT_EQ(text.find("binary"), std::string::npos) << text;
  EXPECT_EQ(text.find("must not land"), std::string::npos) << text;
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "user"), "Ann");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), "123");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "count"), "1");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, "\\Control Panel\\desktop", "Wallpaper"), "kept.bmp");
}

TEST_F(RegistryTest, AnOversizedStoreIsTreatedAsDamaged) {
  PutStore("[HKEY_CURRENT_USER\\SOFTWARE\\VezeVuru\\ZodeVeda]\nsn=1\n");
  fs::resize_file(StoreFile(), 64 * 1024 * 1024);  // sparse: costs no disk space
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), std::nullopt);
  Write(HKEY_CURRENT_USER, kProductKey, "sn", "2");
  EXPECT_LT(fs::file_size(StoreFile()), 1024u);
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, kProductKey, "sn"), "2");
}

TEST_F(RegistryTest, AStoreThatCannotBeReadOrWrittenFailsCleanly) {
  // Tests may run as root, for whom permissions do not stop anything; a directory where the file
  // should be does.
  fs::create_directories(StoreFile());
  TRegistry reg(StoreFile());
  EXPECT_FALSE(reg.OpenKey(kProductKey, false));
  EXPECT_FALSE(reg.OpenKey(kProductKey, true));
  EXPECT_EQ(reg.ReadString("sn"), "");
  try {
    reg.WriteString("sn", "lost");
    ADD_FAILURE() << "writing succeeded";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Failed to set data for 'sn'");
  }
  EXPECT_EQ(test_support::TempDir::EntriesOf(StoreDir()), std::set<std::string>{"registry.ini"});
  EXPECT_TRUE(fs::is_directory(StoreFile()));

  // A file where the store's directory should be.
  const std::string blocked = dir_.File("blocker/registry.ini");
  std::ofstream(dir_.File("blocker")) << "x";
  TRegistry blockedReg(blocked);
  EXPECT_THROW(blockedReg.WriteString("sn", "lost"), ERegistryException);
}

// Sets an environment variable for one test and puts the old value back.
class EnvironmentGuard {
 public:
  explicit EnvironmentGuard(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) saved_ = value;
  }
  ~EnvironmentGuard() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST_F(RegistryTest, StoreLocationFollowsXdgConfigHomeAndCanBeOverridden) {
  EnvironmentGuard xdg("XDG_CONFIG_HOME");
  EnvironmentGuard home("HOME");
  ::setenv("HOME", "/home/ann", 1);
  ::setenv("XDG_CONFIG_HOME", "/cfg/ann", 1);
  EXPECT_EQ(DefaultRegistryStorePath(), "/cfg/ann/lumora/registry.ini");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  EXPECT_EQ(DefaultRegistryStorePath(), "/home/ann/.config/lumora/registry.ini");
  ::setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(DefaultRegistryStorePath(), "/home/ann/.config/lumora/registry.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DefaultRegistryStorePath(), "/home/ann/.config/lumora/registry.ini");
  EXPECT_EQ(RegistryStorePath(), DefaultRegistryStorePath());

  // The default store is used through the environment, without any override.
  ::setenv("XDG_CONFIG_HOME", dir_.File("xdg").c_str(), 1);
  {
    TRegistry reg;
    EXPECT_EQ(reg.StoreFileName(), dir_.File("xdg") + "/lumora/registry.ini");
    reg.WriteString("where", "xdg");
  }
  EXPECT_TRUE(fs::is_regular_file(dir_.File("xdg/lumora/registry.ini")));

  SetRegistryStorePath(StoreFile());
  {
    TRegistry reg;
    EXPECT_EQ(reg.StoreFileName(), StoreFile());
    reg.WriteString("where", "override");
  }
  SetRegistryStorePath("");
  EXPECT_EQ(RegistryStorePath(), dir_.File("xdg") + "/lumora/registry.ini");
  EXPECT_EQ(ReadFresh(HKEY_CURRENT_USER, "", "where"), "override");
  EXPECT_EQ(TRegistry().ReadString("where"), "xdg");
}

}  // namespace
}  // namespace lumora
