// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace lumora {

class TForm1;
class TNMHTTP;

// The text of the version file the maker's server offers: "http://" + the host (LUMORA_UPDATE_HOST from the
// environment when set, a host or host:port, else the one the program was built with) + the fixed path.
std::string VersionFileUrl();

// Whether a version file's reply announces another version: a successful reply whose body differs from
// this program's "3.1" and is exactly three bytes long.
bool AnnouncesNewVersion(int replyCode, const std::string& body);

// What the notice says of a newer version.
std::string NewVersionNotice(const std::string& version);

// The version check: once per start, beside the user interface, it asks the version file which version is
// the newest and, when that is another one, hands the notice to the window. It never reports a failure and
// frees itself when done. Nothing waits for it while the program runs; a program that ends while it still
// waits on a silent server ends its waits and lets it finish first.
class TMyThread {
 public:
  // Starts the check on a thread of its own. The client is shared so that a check left behind by the window
  // never uses one that is gone.
  static void Start(TForm1& form, std::shared_ptr<TNMHTTP> client);
  // The window is going away: a check still under way hands nothing over any more.
  static void WindowGone(TForm1& form);
  // Waits until no check runs any more, at most limit; answers whether none does.
  static bool WaitUntilOver(std::chrono::milliseconds limit);
  // The program is ending: every wait of a check still under way ends, and this returns once no check runs
  // any more, or after limit should one not see it. Call it before the application object goes, so no
  // check runs while the program's objects are torn down.
  static void EndAll(std::chrono::milliseconds limit);
};

}  // namespace lumora
