// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace lumora {

// The pictures a first run lists: everything in appDir's "img" folder matching "*.jpg", then everything
// matching "*.bmp", each group in the folder's name order, letter case ignored; folders whose names
// match count too. A missing folder gives nothing.
std::vector<std::string> FirstRunPictures(const std::string& appDir);

}  // namespace lumora
