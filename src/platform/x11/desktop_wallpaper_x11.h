// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/desktop_wallpaper.h"

namespace lumora {
struct PixelRows;
}

namespace lumora::platform {

struct RootPaintOptions {
  std::string displayName;   // empty: $DISPLAY
  bool sharedMemory = true;  // MIT-SHM when the server offers it; off: the pixels travel over the socket
};

// Makes picture the root window's wallpaper on every active monitor, the way root setters do: a new pixmap
// owned by a connection of its own that stays with the server after it closes (RetainPermanent), named by
// _XROOTPMAP_ID and ESETROOT_PMAP_ID; the previous setter's pixmap is freed. False, with the root as it
// was, when there is no display, the picture is empty or the server refuses. mayShow, when given, is asked
// once the server holds the pixels, before anything shows them; false leaves the root as it was too.
bool PaintRootWallpaper(const PixelRows& picture, DisplayStyle style, const RootPaintOptions& options = {},
                        const std::function<bool()>& mayShow = {});

// The desktop of a bare X session: Lumora paints the root itself and keeps the style and the wallpaper's
// path in its own store, under HKEY_CURRENT_USER "\Control Panel\desktop".
std::unique_ptr<DesktopWallpaper> CreateX11RootWallpaper(RootPaintOptions options = {});

}  // namespace lumora::platform
