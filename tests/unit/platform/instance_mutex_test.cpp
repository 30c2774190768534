// SPDX-License-Identifier: GPL-3.0-or-later
// One copy at a time: the second start finds the mutex taken; a copy that died leaves it free.
#include "platform/instance_mutex.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/process.h"

namespace lumora::platform {
namespace {

class InstanceMutexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    saved_ = old == nullptr ? "" : old;
    ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_.empty()) {
      ::unsetenv("XDG_RUNTIME_DIR");
    } else {
      ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    }
  }
  // The status another process would see, checked in a child so that locks are really per process.
  static MutexCreation StatusSeenByAnotherProcess(const std::string& name) {
    const pid_t child = ::fork();
    if (child == 0) _exit(static_cast<int>(CreateInstanceMutex(name).status));
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<MutexCreation>(WEXITSTATUS(status));
  }

  test::ScratchDirectory runtime_;
  std::string saved_;
};

TEST_F(InstanceMutexTest, SecondProcessFindsTheMutexHeldUntilTheOwnerLetsGo) {
  MutexResult first = CreateInstanceMutex("Lumora v2.0");
  ASSERT_EQ(first.status, MutexCreation::Created) << first.error;
  EXPECT_EQ(StatusSeenByAnotherProcess("Lumora v2.0"), MutexCreation::AlreadyExists);
  EXPECT_EQ(StatusSeenByAnotherProcess("Another name"), MutexCreation::Created);
  first.handle->Release();
  EXPECT_EQ(StatusSeenByAnotherProcess("Lumora v2.0"), MutexCreation::Created);
}

TEST_F(InstanceMutexTest, AnOwnerThatDiesWithoutCleaningUpFreesTheMutex) {
  // The owner says when it holds the mutex; polling for it instead would race the owner's own attempt.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t owner = ::fork();
  if (owner == 0) {
    MutexResult held = CreateInstanceMutex("Lumora v2.0");
    const char status = held.status == MutexCreation::Created ? 'y' : 'n';
    if (::write(ready[1], &status, 1) != 1) _exit(1);
    ::pause();
    _exit(0);
  }
  ::close(ready[1]);
  char status = 0;
  const bool told = ::read(ready[0], &status, 1) == 1;
  ::close(ready[0]);
  EXPECT_EQ(StatusSeenByAnotherProcess("Lumora v2.0"), MutexCreation::AlreadyExists);
  ::kill(owner, SIGKILL);
  ::waitpid(owner, nullptr, 0);
  ASSERT_TRUE(told && status == 'y');
  EXPECT_EQ(CreateInstanceMutex("Lumora v2.0").status, MutexCreation::Created);
}

TEST_F(InstanceMutexTest, NoRuntimeDirectoryFallsBackToAPrivateFolder) {
  ::setenv("XDG_RUNTIME_DIR", "relative/not/allowed", 1);
  MutexResult result = CreateInstanceMutex("Lumora test fallback");
  EXPECT_EQ(result.status, MutexCreation::Created) << result.error;
}

}  // namespace
}  // namespace lumora::platform
