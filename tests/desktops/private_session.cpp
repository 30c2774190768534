// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktops/private_session.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace lumora::test {

namespace {

std::string& Reason() {
  static std::string reason;
  return reason;
}

std::unique_ptr<PrivateSession>& Instance() {
  static std::unique_ptr<PrivateSession> instance;
  return instance;
}

}  // namespace

PrivateSession* PrivateSession::Get() {
  if (!Instance() && Reason().empty()) {
    if (ProgramAvailable("dbus-daemon")) {
      Instance().reset(new PrivateSession());
    } else {
      Reason() = "dbus-daemon is not installed (scripts/setup-debian.sh installs it)";
    }
  }
  return Instance().get();
}

void PrivateSession::Stop() {
  // The connection dconf keeps to the bus raises SIGTERM in this process when the bus goes away (GIO does
  // that for a shared connection). The tests are over by now: the signal must not turn them into a failure.
  ::signal(SIGTERM, SIG_IGN);
  Instance().reset();
}

const std::string& PrivateSession::SkipReason() {
  return Reason();
}

PrivateSession::PrivateSession() {
  const std::string home = scratch_.Path();
  for (const char* folder : {"config", "runtime", "cache"}) {
    std::filesystem::create_directory(home + "/" + folder);
  }
  ::chmod((home + "/runtime").c_str(), 0700);
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
  ::setenv("GSETTINGS_BACKEND", "dconf", 1);
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");

  bus_ = std::make_unique<PrivateBus>(home);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Address().c_str(), 1);
}

PrivateSession::~PrivateSession() {
  // The services the bus started share its process group and save their settings as they go: the
  // folder can only be removed once the last of them is gone.
  const pid_t group = bus_->Pid();
  bus_.reset();
  WaitFor([group] { return ::kill(-group, 0) != 0; }, 5000);
}

std::string PrivateSession::NewFolder(const std::string& name) const {
  const std::string path = scratch_.Path() + "/" + name;
  std::filesystem::create_directories(path);
  return path;
}

RunResult RunInSession(const std::vector<std::string>& argv) {
  return RunProgram(argv, {}, std::chrono::seconds(20));
}

std::string Chomp(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end = 0; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::string FileUri(const std::string& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string text = uri != nullptr ? uri : "";
  g_free(uri);
  return text;
}

std::string PathOfUri(const std::string& uri) {
  gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
  std::string text = path != nullptr ? path : "";
  g_free(path);
  return text;
}

std::string WritePicture(const std::string& folder) {
  const std::string path = folder + "/壁纸 it's a\\b #1%.bmp";
  WriteWholeFile(path, "BM");
  return path;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) saved_ = old;
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (saved_) {
    ::setenv(name_.c_str(), saved_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace lumora::test
