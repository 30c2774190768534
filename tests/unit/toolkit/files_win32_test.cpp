// SPDX-License-Identifier: GPL-3.0-or-later
// The file functions on Windows' own calls, in a scratch folder of the temporary directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "toolkit/exceptions.h"
#include "toolkit/files.h"

namespace lumora {
namespace {

class FilesWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    char base[MAX_PATH + 1] = {};
    ASSERT_GT(::GetTempPathA(sizeof base, base), 0u);
    // Wine hands out the same process ids run after run, so the time makes the name unique too.
    folder_ = std::string(base) + "lumora-files-" + std::to_string(::GetCurrentProcessId()) + "-" +
              std::to_string(::GetTickCount64());
    startedIn_ = GetCurrentDir();
    ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    ::SetCurrentDirectoryA(startedIn_.c_str());  // a folder that is someone's working directory stays
    for (const std::string& name : FindFileNames(folder_, "*")) {
      const std::string path = In(name);
      if (!::DeleteFileA(path.c_str())) ::RemoveDirectoryA(path.c_str());
    }
    ::RemoveDirectoryA(folder_.c_str());
  }
  std::string In(const std::string& name) const { return folder_ + "\\" + name; }

  std::string folder_;
  std::string startedIn_;
};

TEST_F(FilesWin32Test, AReplacedFileHoldsOnlyTheNewContentsAndLeavesNoTemporaryFile) {
  WriteFileAtomically(In("zodeveda.orl"), std::string_view("first version, longer than the second\r\n"));
  WriteFileAtomically(In("zodeveda.orl"), [](std::ostream& out) { out << "second\r\n"; });
  EXPECT_EQ(ReadFileText(In("zodeveda.orl")), "second\r\n");
  EXPECT_EQ(FindFileNames(folder_, "*"), std::vector<std::string>{"zodeveda.orl"});
  WriteFileText(In("zodeveda.orl"), "third");
  EXPECT_EQ(ReadFileText(In("zodeveda.orl")), "third");
}

TEST_F(FilesWin32Test, MasksMatchLongNamesIgnoringCaseAndListSorted) {
  for (const char* name : {"b.JPG", "A.jpg", "a.jpeg", "long name.jpg", "c.bmp"})
    WriteFileText(In(name), "x");
  ASSERT_TRUE(::CreateDirectoryA(In("folder.jpg").c_str(), nullptr));
  // "a.jpeg" has the short name "A~1.JPG" on a real disk; the mask must look at the long name only.
  EXPECT_EQ(FindFileNames(folder_, "*.jpg"),
            (std::vector<std::string>{"A.jpg", "b.JPG", "folder.jpg", "long name.jpg"}));
  EXPECT_EQ(FindFileNames(folder_, "?.*p*g"), (std::vector<std::string>{"a.jpeg", "A.jpg", "b.JPG"}));
  EXPECT_TRUE(FindFileNames(folder_ + "\\missing", "*").empty());
}

TEST_F(FilesWin32Test, ExistenceAndFailuresAreTold) {
  WriteFileText(In("here.bmp"), "BM");
  EXPECT_TRUE(FileExists(In("here.bmp")));
  EXPECT_TRUE(PathExists(folder_));
  EXPECT_FALSE(FileExists(folder_));
  EXPECT_FALSE(PathExists(In("gone.bmp")));
  EXPECT_THROW(ReadFileText(In("gone.bmp")), EFOpenError);
  EXPECT_THROW(ReadFileText(folder_), EFOpenError);
  EXPECT_THROW(WriteFileAtomically(In("missing\\x.orl"), std::string_view("x")), EFCreateError);
  ASSERT_TRUE(::SetCurrentDirectoryA(folder_.c_str()));
  EXPECT_EQ(ExtractFileName(GetCurrentDir()), ExtractFileName(folder_));
}

}  // namespace
}  // namespace lumora
