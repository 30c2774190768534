// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"

namespace lumora::platform {

namespace {

class NoNotificationArea final : public NotificationIcon {
 public:
  bool Add(const NotifyIconRecord&) override { return false; }
  bool Modify(const NotifyIconRecord&) override { return false; }
  bool Delete(const NotifyIconRecord&) override { return true; }
  void SetMouseCallback(std::function<void(unsigned)>) override {}
  bool HostPresent() const override { return false; }
  void SetHostCallback(std::function<void(bool)>) override {}
};

}  // namespace

std::unique_ptr<NotificationIcon> CreateNullNotificationIcon() {
  return std::make_unique<NoNotificationArea>();
}

}  // namespace lumora::platform
