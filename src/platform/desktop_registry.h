// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/desktop_wallpaper.h"

namespace lumora::platform {

// The desktop's settings under HKEY_CURRENT_USER "\Control Panel\desktop", through TRegistry: Windows'
// own registry there, the program's store on a bare X session.

// The style pair; two empty texts when nothing can be read. Never raises.
DisplayStylePair ReadRegistryStylePair();
// Writes "TileWallPaper", then "WallpaperStyle". Raises ERegistryException when the key cannot be written.
void WriteRegistryStylePair(const DisplayStylePair& pair);

// The recorded wallpaper file ("Wallpaper"); empty when none is recorded or it cannot be read.
std::string ReadRecordedWallpaper();
// Raises ERegistryException when the key cannot be written.
void WriteRecordedWallpaper(const std::string& fileName);

}  // namespace lumora::platform
