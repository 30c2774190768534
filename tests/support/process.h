// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lumora::test {

struct ProcessOptions {
  std::string workingDirectory;               // empty: the test's own
  std::map<std::string, std::string> setEnv;  // added to (or replacing in) the test's environment
  std::vector<std::string> unsetEnv;          // removed from it
  std::string outputFile;                     // stdout and stderr go here; empty: /dev/null
};

// A child program started without a shell; killed (with its process group) when the object dies.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // The exit code once the child has ended within the time; nullopt if it is still running then.
  // A child ended by a signal reports 128 + the signal number.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  bool Running();
  void Terminate();  // SIGTERM, then SIGKILL after a grace period

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

struct RunResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

// Runs a program to its end (killed after the timeout, then exitCode is -1) and collects its output.
RunResult RunProgram(const std::vector<std::string>& argv, const ProcessOptions& options = {},
                     std::chrono::milliseconds timeout = std::chrono::seconds(60));

bool ProgramAvailable(const std::string& name);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& contents);

// A fresh directory under the system's temporary folder, removed with everything in it on destruction.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Polls until condition() holds or the time is up; the last value of condition().
template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace lumora::test
