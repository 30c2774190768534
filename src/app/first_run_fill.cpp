// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/first_run_fill.h"

#include "toolkit/files.h"

namespace lumora {

std::vector<std::string> FirstRunPictures(const std::string& appDir) {
  const std::string folder = appDir + kPathDelimiter + "img";
  std::vector<std::string> pictures;
  for (const char* mask : {"*.jpg", "*.bmp"}) {
    for (const std::string& name : FindFileNames(folder, mask))
      pictures.push_back(folder + kPathDelimiter + name);
  }
  return pictures;
}

}  // namespace lumora
