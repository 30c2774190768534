// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"
#include "toolkit/files.h"
#include "unit/toolkit/temp_dir.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test_support::TempDir;

// A pipe, a folder or a device under a picture's name: each reader refuses it at once with an error that
// names it. Opening the pipe the usual way would wait for a writer that never comes.
TEST(RegularFile, EveryReaderRefusesAPipeAFolderOrADeviceWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);
  fs::create_directory(dir.File("folder.bmp"));
  fs::create_symlink("/dev/null", dir.File("device.bmp"));
  for (const char* name : {"pipe.bmp", "folder.bmp", "device.bmp"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(name);
    auto refusals = std::async(std::launch::async, [&path] {
      int refused = 0;
      try {
        ReadFileText(path);
      } catch (const EFOpenError& error) {
        refused += error.Message().find(path) != std::string::npos;
      }
      try {
        TBitmap picture;
        picture.LoadFromFile(path);
      } catch (const EFOpenError& error) {
        refused += error.Message().find(path) != std::string::npos;
      }
      return refused;
    });
    if (refusals.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << "a reader waits on opening";
      // A writer that comes and goes sets each waiting reader free, so the test ends.
      while (refusals.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
      }
    }
    EXPECT_EQ(refusals.get(), 2);
  }
}

TEST(RegularFileStream, ReadsSeeksAndTellsAcrossItsBuffer) {
  TempDir dir;
  std::string contents(200000, '\0');
  for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>(i * 7 % 251);
  std::ofstream(dir.File("data.bin"), std::ios::binary) << contents;
  fs::create_symlink(dir.File("data.bin"), dir.File("link.bin"));

  RegularFileStream in(dir.File("link.bin"));
  char byte = 0;
  ASSERT_TRUE(in.seekg(70000));
  ASSERT_TRUE(in.get(byte));
  EXPECT_EQ(byte, contents[70000]);
  EXPECT_EQ(in.tellg(), std::streampos(70001));
  ASSERT_TRUE(in.seekg(-2, std::ios::cur).get(byte));
  EXPECT_EQ(byte, contents[69999]);
  in.seekg(0, std::ios::end);
  EXPECT_EQ(in.tellg(), std::streampos(200000));
  EXPECT_FALSE(in.get(byte));
  in.clear();
  ASSERT_TRUE(in.seekg(5).get(byte));
  EXPECT_EQ(byte, contents[5]);
  std::string rest(199994, '\0');
  ASSERT_TRUE(in.read(rest.data(), static_cast<std::streamsize>(rest.size())));
  EXPECT_EQ(rest, contents.substr(6));

  EXPECT_THROW(RegularFileStream(dir.File("missing.bin")), EFOpenError);
}

}  // namespace
}  // namespace lumora
