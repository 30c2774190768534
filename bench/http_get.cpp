// SPDX-License-Identifier: GPL-3.0-or-later
// Get of one large body from a local web server, in file mode and in string mode, against curl fetching the
// same URL in the same run. Prints the medians and each mode's ratio to curl, with the processor time spent
// per transfer; exits 1 when a mode takes more than 1.2 × curl's time or a transfer is wrong.
//
// usage: bench_http_get URL EXPECTED_BYTES SCRATCH_DIR [runs]

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "net/nm_http.h"

extern char** environ;

namespace {

struct Sample {
  double seconds;
  double cpuSeconds;
};

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Sample Time(const std::function<void()>& run, int cpuOf) {
  const double cpu = CpuSeconds(cpuOf);
  const auto start = std::chrono::steady_clock::now();
  run();
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  return {wall.count(), CpuSeconds(cpuOf) - cpu};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Curl(const std::string& url, const std::string& output) {
  std::vector<std::string> args = {"curl", "-s", "-o", output, url};
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s URL EXPECTED_BYTES SCRATCH_DIR [runs]\n", argv[0]);
    return 2;
  }
  const std::string url = argv[1];
  const auto expected = static_cast<std::uintmax_t>(std::strtoull(argv[2], nullptr, 10));
  const std::string scratch = argv[3];
  const int runs = argc > 4 ? std::atoi(argv[4]) : 7;

  lumora::TNMHTTP http;
  http.SetMaxBodyLength(static_cast<std::size_t>(expected) + 1);
  bool correct = true;
  std::vector<Sample> curl, file, text;
  for (int i = 0; i < runs; ++i) {
    const std::string curlOut = scratch + "/curl.out", fileOut = scratch + "/file.out";
    curl.push_back(Time([&] { correct &= Curl(url, curlOut); }, RUSAGE_CHILDREN));
    correct &= std::filesystem::file_size(curlOut) == expected;
    http.SetInputFileMode(true);
    http.SetBody(fileOut);
    file.push_back(Time([&] { http.Get(url); }, RUSAGE_SELF));
    correct &= http.GetReplyCode() == 200 && std::filesystem::file_size(fileOut) == expected;
    http.SetInputFileMode(false);
    http.SetBody("");
    text.push_back(Time([&] { http.Get(url); }, RUSAGE_SELF));
    correct &= http.GetReplyCode() == 200 && http.GetBody().size() == expected;
  }

  const auto wall = [](const std::vector<Sample>& s) {
    std::vector<double> v;
    v.reserve(s.size());
    for (const Sample& x : s) v.push_back(x.seconds);
    return Median(v);
  };
  const auto cpu = [](const std::vector<Sample>& s) {
    std::vector<double> v;
    v.reserve(s.size());
    for (const Sample& x : s) v.push_back(x.cpuSeconds);
    return Median(v);
  };
  const double curlTime = wall(curl);
  std::printf("%-22s %10s %10s %8s\n", "transfer", "median s", "cpu s", "x curl");
  std::printf("%-22s %10.4f %10.4f %8.2f\n", "curl -s -o", curlTime, cpu(curl), 1.0);
  std::printf("%-22s %10.4f %10.4f %8.2f\n", "Get, file mode", wall(file), cpu(file), wall(file) / curlTime);
  std::printf("%-22s %10.4f %10.4f %8.2f\n", "Get, string mode", wall(text), cpu(text),
              wall(text) / curlTime);
  if (!correct) std::printf("FAIL: a transfer was incomplete\n");
  const bool fast = wall(file) <= 1.2 * curlTime && wall(text) <= 1.2 * curlTime;
  if (!fast) std::printf("FAIL: slower than 1.2 x curl\n");
  return correct && fast ? 0 : 1;
}
