// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/private_bus.h"

#include <stdexcept>

namespace lumora::test {

PrivateBus::PrivateBus(const std::string& folder, const ProcessOptions& environment) {
  const std::string addressFile = folder + "/bus-address";
  ProcessOptions options;
  options.setEnv = environment.setEnv;
  options.unsetEnv = environment.unsetEnv;
  options.outputFile = addressFile;
  daemon_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
      options);
  WaitFor([&] { return ReadWholeFile(addressFile).find('\n') != std::string::npos; });
  const std::string text = ReadWholeFile(addressFile);
  // The daemon may also complain on the same stream; the address is the line that looks like one.
  for (std::size_t start = 0; start < text.size();) {
    const auto end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    if (line.starts_with("unix:")) address_ = line;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (address_.empty()) throw std::runtime_error("dbus-daemon printed no address: " + text);
}

}  // namespace lumora::test
