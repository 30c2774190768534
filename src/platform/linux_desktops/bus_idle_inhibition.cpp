// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>
#include <utility>

#include "platform/linux_desktops/idle_inhibition.h"
#include "platform/linux_desktops/session_bus.h"

namespace lumora::platform::desktops {

namespace {

constexpr int kTimeoutMs = 5000;
constexpr const char* kApplication = "lumora";
constexpr const char* kReason = "已勾选“禁用屏保”";
// The inhibit flag that GNOME's session manager and the portal share for "the session is idle".
constexpr guint32 kIdleFlag = 8;

// A call whose reply alone matters; nullptr when it failed, whatever the reason.
GVariant* Ask(SessionBus& bus, const char* service, const char* path, const char* interface,
              const char* method, GVariant* parameters, const char* replyType) {
  BusError error;
  return bus.Call(service, path, interface, method, parameters,
                  replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr, kTimeoutMs, error);
}

// Held until the release call is made: the same service, on the path and interface the holder gives.
class HeldOnTheBus final : public IdleInhibition {
 public:
  HeldOnTheBus(std::unique_ptr<SessionBus> bus, const char* service, std::string path, const char* interface,
               const char* release, GVariant* parameters)
      : bus_(std::move(bus)),
        service_(service),
        path_(std::move(path)),
        interface_(interface),
        release_(release),
        parameters_(g_variant_ref_sink(parameters)) {}
  ~HeldOnTheBus() override {
    if (GVariant* reply = Ask(*bus_, service_, path_.c_str(), interface_, release_, parameters_, nullptr)) {
      g_variant_unref(reply);
    }
    g_variant_unref(parameters_);
  }
  HeldOnTheBus(const HeldOnTheBus&) = delete;
  HeldOnTheBus& operator=(const HeldOnTheBus&) = delete;

 private:
  std::unique_ptr<SessionBus> bus_;
  const char* service_;
  std::string path_;
  const char* interface_;
  const char* release_;
  GVariant* parameters_;
};

// Services that hand out a number to give back: org.freedesktop.ScreenSaver and GNOME's session manager.
std::unique_ptr<IdleInhibition> InhibitForCookie(std::unique_ptr<SessionBus>& bus, const char* service,
                                                 const char* path, const char* interface,
                                                 GVariant* parameters, const char* release) {
  GVariant* reply = Ask(*bus, service, path, interface, "Inhibit", parameters, "(u)");
  if (reply == nullptr) return nullptr;
  guint32 cookie = 0;
  g_variant_get(reply, "(u)", &cookie);
  g_variant_unref(reply);
  return std::make_unique<HeldOnTheBus>(std::move(bus), service, path, interface, release,
                                        g_variant_new("(u)", cookie));
}

std::unique_ptr<IdleInhibition> InhibitFreedesktopScreenSaver(std::unique_ptr<SessionBus>& bus) {
  constexpr const char* kService = "org.freedesktop.ScreenSaver";
  if (!bus->Owned(kService)) return nullptr;
  return InhibitForCookie(bus, kService, "/org/freedesktop/ScreenSaver", kService,
                          g_variant_new("(ss)", kApplication, kReason), "UnInhibit");
}

std::unique_ptr<IdleInhibition> InhibitGnomeSession(std::unique_ptr<SessionBus>& bus) {
  constexpr const char* kService = "org.gnome.SessionManager";
  if (!bus->Owned(kService)) return nullptr;
  return InhibitForCookie(bus, kService, "/org/gnome/SessionManager", kService,
                          g_variant_new("(susu)", kApplication, 0U, kReason, kIdleFlag), "Uninhibit");
}

// The portal answers with a request object; closing it ends the inhibition.
std::unique_ptr<IdleInhibition> InhibitThroughPortal(std::unique_ptr<SessionBus>& bus) {
  constexpr const char* kService = "org.freedesktop.portal.Desktop";
  if (!bus->Owned(kService)) return nullptr;
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "reason", g_variant_new_string(kReason));
  GVariant* reply = Ask(*bus, kService, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Inhibit",
                        "Inhibit", g_variant_new("(sua{sv})", "", kIdleFlag, &options), "(o)");
  if (reply == nullptr) return nullptr;
  const gchar* handle = nullptr;
  g_variant_get(reply, "(&o)", &handle);
  auto held = std::make_unique<HeldOnTheBus>(std::move(bus), kService, handle,
                                             "org.freedesktop.portal.Request", "Close", g_variant_new("()"));
  g_variant_unref(reply);
  return held;
}

}  // namespace

std::unique_ptr<IdleInhibition> InhibitIdleOnSessionBus() {
  auto bus = std::make_unique<SessionBus>();
  for (auto* inhibit : {InhibitFreedesktopScreenSaver, InhibitGnomeSession, InhibitThroughPortal}) {
    if (auto held = inhibit(bus)) return held;
  }
  return nullptr;
}

}  // namespace lumora::platform::desktops
