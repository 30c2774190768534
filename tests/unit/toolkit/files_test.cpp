// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "toolkit/exceptions.h"
#include "unit/toolkit/temp_dir.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test_support::TempDir;

void PutFile(const std::string& fileName, const std::string& contents) {
  std::ofstream(fileName, std::ios::binary) << contents;
}

std::string FileContents(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned ModeOf(const std::string& fileName) {
  struct stat info {};
  EXPECT_EQ(::stat(fileName.c_str(), &info), 0);
  return info.st_mode & 07777;
}

TEST(FileExists, OnlyRegularFilesAndLinksToThemCount) {
  TempDir dir;
  PutFile(dir.File("file.jpg"), "x");
  fs::create_directory(dir.File("folder.jpg"));
  fs::create_symlink(dir.File("file.jpg"), dir.File("link-to-file"));
  fs::create_symlink(dir.File("folder.jpg"), dir.File("link-to-folder"));
  fs::create_symlink(dir.File("gone"), dir.File("dangling"));

  EXPECT_TRUE(FileExists(dir.File("file.jpg")));
  EXPECT_TRUE(FileExists(dir.File("link-to-file")));
  EXPECT_FALSE(FileExists(dir.File("folder.jpg")));
  EXPECT_FALSE(FileExists(dir.File("link-to-folder")));
  EXPECT_FALSE(FileExists(dir.File("dangling")));
  EXPECT_FALSE(FileExists(dir.File("missing.jpg")));
  EXPECT_FALSE(FileExists(dir.File("file.jpg/inside")));
  EXPECT_FALSE(FileExists(""));
  if (fs::exists("/dev/null")) {
    EXPECT_FALSE(FileExists("/dev/null"));
  }
}

struct NameCase {
  const char* name;
  const char* ext;
  const char* fileName;
  const char* path;
};

TEST(FileNameParts, SplitAtTheLastSeparatorAndTheLastDotAfterIt) {
  const NameCase cases[] = {
      {"picture.jpg", ".jpg", "picture.jpg", ""},
      {"x.tar.gz", ".gz", "x.tar.gz", ""},
      {"a/b.c/d", "", "d", "a/b.c/"},
      {"/home/u/.bashrc", ".bashrc", ".bashrc", "/home/u/"},
      {".bashrc", ".bashrc", ".bashrc", ""},
      {"name.", ".", "name.", ""},
      {"noext", "", "noext", ""},
      {"dir.d/", "", "", "dir.d/"},
      {"/", "", "", "/"},
      {"", "", "", ""},
      {"/a/图片.JPEG", ".JPEG", "图片.JPEG", "/a/"},
#ifndef _WIN32
      // On Linux a backslash or colon is part of the name, not a separator.
      {"C:\\pics\\a.b\\c", ".b\\c", "C:\\pics\\a.b\\c", ""},
      {"dir/C:x.bmp", ".bmp", "C:x.bmp", "dir/"},
#else
      {"C:\\pics\\a.b\\c", "", "c", "C:\\pics\\a.b\\"},
      {"C:x.bmp", ".bmp", "x.bmp", "C:"},
#endif
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExtractFileExt(c.name), c.ext);
    EXPECT_EQ(ExtractFileName(c.name), c.fileName);
    EXPECT_EQ(ExtractFilePath(c.name), c.path);
    EXPECT_EQ(ExtractFilePath(c.name) + ExtractFileName(c.name), c.name);
  }
}

TEST(FileNameParts, IncludeTrailingPathDelimiterAddsOnlyWhenMissing) {
  const std::string sep(1, kPathDelimiter);
  EXPECT_EQ(IncludeTrailingPathDelimiter("/home/u"), "/home/u" + sep);
  EXPECT_EQ(IncludeTrailingPathDelimiter("/home/u/"), "/home/u/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
}

// Restores the working directory even when an assertion ends the test early.
class WorkingDirectoryGuard {
 public:
  WorkingDirectoryGuard() : saved_(fs::current_path()) {}
  ~WorkingDirectoryGuard() { fs::current_path(saved_); }
  WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
  WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;

 private:
  fs::path saved_;
};

TEST(GetCurrentDir, ReportsDirectoriesFarLongerThanTheOldLimit) {
  TempDir dir;
  WorkingDirectoryGuard guard;
  fs::path deep = fs::canonical(dir.Path());
  const std::string component(60, 'd');
  for (int i = 0; i < 20; ++i) deep /= component + std::to_string(i);
  fs::create_directories(deep);
  ASSERT_GT(deep.string().size(), 1200u);

  fs::current_path(deep);
  EXPECT_EQ(GetCurrentDir(), deep.string());
  fs::current_path(dir.Path());
  EXPECT_EQ(GetCurrentDir(), fs::canonical(dir.Path()).string());
}

TEST(GetCurrentDir, IsEmptyWhenTheDirectoryIsGone) {
  TempDir dir;
  WorkingDirectoryGuard guard;
  fs::create_directory(dir.File("doomed"));
  fs::current_path(dir.File("doomed"));
  fs::remove(dir.File("doomed"));
  EXPECT_EQ(GetCurrentDir(), "");
}

TEST(WriteFileAtomically, ReplacesContentsKeepsModesAndLeavesNothingElseBehind) {
  TempDir dir;
  const mode_t oldMask = ::umask(022);
  const std::string target = dir.File("settings.ini");
  WriteFileAtomically(target, std::string("first\0", 6), 0600);
  EXPECT_EQ(FileContents(target), std::string("first\0", 6));
  EXPECT_EQ(ModeOf(target), 0600u);
  fs::permissions(target, fs::perms(0640));
  WriteFileAtomically(target, "");
  EXPECT_EQ(FileContents(target), "");
  EXPECT_EQ(ModeOf(target), 0640u) << "a replaced file keeps its permissions";
  WriteFileAtomically(dir.File("shared"), "x");
  EXPECT_EQ(ModeOf(dir.File("shared")), 0644u) << "a new file gets the default mode less the umask";
  ::umask(oldMask);
  EXPECT_EQ(dir.Entries(), (std::set<std::string>{"settings.ini", "shared"}));
}

TEST(WriteFileAtomically, AFailedReplacementLeavesTheOldStateAndNoTemporaryFile) {
  TempDir dir;
  // A non-empty directory cannot be renamed over, so the last step fails after the data was written.
  fs::create_directory(dir.File("occupied"));
  PutFile(dir.File("occupied/keep"), "kept");
  EXPECT_THROW(WriteFileAtomically(dir.File("occupied"), "new"), EWriteError);
  EXPECT_EQ(dir.Entries(), std::set<std::string>{"occupied"});
  EXPECT_EQ(FileContents(dir.File("occupied/keep")), "kept");

  EXPECT_THROW(WriteFileAtomically(dir.File("absent/file"), "new"), EFCreateError);
  EXPECT_EQ(dir.Entries(), std::set<std::string>{"occupied"});
}

TEST(WriteFileAtomically, ALinkKeepsLeadingToTheFileItNames) {
  TempDir dir;
  fs::create_directory(dir.File("lists"));
  PutFile(dir.File("lists/real.orl"), "old");
  fs::create_symlink("lists/real.orl", dir.File("link.orl"));
  fs::create_symlink("link.orl", dir.File("chain.orl"));
  WriteFileAtomically(dir.File("chain.orl"), "new");
  EXPECT_TRUE(fs::is_symlink(dir.File("chain.orl")));
  EXPECT_TRUE(fs::is_symlink(dir.File("link.orl")));
  EXPECT_EQ(FileContents(dir.File("lists/real.orl")), "new");
  EXPECT_EQ(TempDir::EntriesOf(dir.File("lists")), std::set<std::string>{"real.orl"});

  fs::create_symlink("lists/later.orl", dir.File("dangling.orl"));
  WriteFileAtomically(dir.File("dangling.orl"), "made");
  EXPECT_EQ(FileContents(dir.File("lists/later.orl")), "made");

  fs::create_symlink("loop-b", dir.File("loop-a"));
  fs::create_symlink("loop-a", dir.File("loop-b"));
  EXPECT_THROW(WriteFileAtomically(dir.File("loop-a"), "x"), EFCreateError);
}

TEST(WriteFileAtomically, AFolderThatMayNotBeWrittenGetsItsWritableFileOverwrittenInPlace) {
  TempDir dir;
  const std::string folder = dir.File("locked");
  fs::create_directory(folder);
  PutFile(folder + "/list.orl", "old contents");
  fs::permissions(dir.Path(), fs::perms(0755));
  fs::permissions(folder, fs::perms(0555));
  fs::permissions(folder + "/list.orl", fs::perms(0666));
  // Root may write anywhere; the folder's lock holds only for an ordinary user.
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    try {
      WriteFileAtomically(folder + "/list.orl", "new");
    } catch (...) {
      ::_exit(3);
    }
    bool refused = false;
    try {
      WriteFileAtomically(folder + "/absent.orl", "new");
    } catch (const EFCreateError&) {
      refused = true;
    }
    ::_exit(refused ? 0 : 4);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(FileContents(folder + "/list.orl"), "new");
  EXPECT_EQ(TempDir::EntriesOf(folder), std::set<std::string>{"list.orl"});
  fs::permissions(folder, fs::perms(0755));
}

}  // namespace
}  // namespace lumora
