// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumora::platform {

// A picture for the notification area: 32-bit pixels 0xAARRGGBB (not premultiplied), row by row from the top.
struct IconPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;
  bool Empty() const {
    return width <= 0 || height <= 0 || argb.size() != static_cast<std::size_t>(width) * height;
  }
  friend bool operator==(const IconPixels&, const IconPixels&) = default;
};

// The uFlags bits of Windows' NOTIFYICONDATA: which fields of the record the shell is to take.
inline constexpr std::uint32_t kNifMessage = 1;
inline constexpr std::uint32_t kNifIcon = 2;
inline constexpr std::uint32_t kNifTip = 4;

// The mouse codes the shell reports for an icon: Windows' mouse messages, the notification's LParam.
inline constexpr unsigned kWmMouseMove = 512;
inline constexpr unsigned kWmLButtonDown = 513;
inline constexpr unsigned kWmLButtonUp = 514;
inline constexpr unsigned kWmLButtonDblClk = 515;
inline constexpr unsigned kWmRButtonDown = 516;
inline constexpr unsigned kWmRButtonUp = 517;
inline constexpr unsigned kWmRButtonDblClk = 518;
inline constexpr unsigned kWmMButtonDown = 519;
inline constexpr unsigned kWmMButtonUp = 520;
inline constexpr unsigned kWmMButtonDblClk = 521;

// Everything the shell is told about one icon; the same record goes with every add, change and removal.
struct NotifyIconRecord {
  std::uintptr_t id = 0;  // tells the icons of one process apart
  std::uint32_t flags = 0;
  unsigned callbackMessage = 0;
  IconPixels icon;
  std::string tip;  // UTF-8; shown only while kNifTip is set
};

// One icon in the desktop's notification area (the system tray): what Windows does with Shell_NotifyIconA.
// All calls and callbacks happen on the user-interface thread.
class NotificationIcon {
 public:
  virtual ~NotificationIcon() = default;

  // Puts the icon into the notification area. An area that is not there yet is no refusal: the icon waits
  // and appears when a host starts. False only when the platform cannot take the icon at all (see the
  // backend), and then nothing is shown.
  virtual bool Add(const NotifyIconRecord& record) = 0;
  // Brings an added icon up to date with the record. False when there is no added icon or the record's
  // picture is empty; the icon then stays as it was.
  virtual bool Modify(const NotifyIconRecord& record) = 0;
  // Takes the icon out of the notification area. Removing an icon that is not there succeeds.
  virtual bool Delete(const NotifyIconRecord& record) = 0;

  // Receives the mouse codes (kWmMouseMove … kWmMButtonDblClk) of the icon. Set once, before Add.
  virtual void SetMouseCallback(std::function<void(unsigned code)> callback) = 0;

  // Whether a notification area is there now to show the icon.
  virtual bool HostPresent() const = 0;
  // Told (with HostPresent) when a notification area may have appeared or gone away; the same news can
  // come more than once. Set once.
  virtual void SetHostCallback(std::function<void(bool present)> callback) = 0;
};

// The notification area of this session.
std::unique_ptr<NotificationIcon> CreateNotificationIcon();

}  // namespace lumora::platform
