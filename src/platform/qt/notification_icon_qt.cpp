// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <cstring>

#include "platform/notification_icon.h"

namespace lumora::platform {

namespace {

// QSystemTrayIcon is a widget underneath: without a QApplication, or off its thread, it cannot exist.
bool WidgetsUsable() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app != nullptr && QThread::currentThread() == app->thread();
}

QIcon ToIcon(const IconPixels& pixels) {
  if (pixels.Empty()) return {};
  QImage image(pixels.width, pixels.height, QImage::Format_ARGB32);
  for (int y = 0; y < pixels.height; ++y) {
    std::memcpy(image.scanLine(y), pixels.argb.data() + static_cast<std::size_t>(y) * pixels.width,
                static_cast<std::size_t>(pixels.width) * sizeof(std::uint32_t));
  }
  return QIcon(QPixmap::fromImage(image));
}

// The notification area through QSystemTrayIcon (XEmbed tray or StatusNotifierItem, whichever Qt finds).
// Qt docks a shown icon by itself when a tray host starts later; what it does not tell is that a host came
// or went, so the X11 integration's signal for a changed tray window is relayed to the host callback.
class QtNotificationIcon final : public NotificationIcon {
 public:
  QtNotificationIcon() {
    hostCheck_.setSingleShot(true);
    QObject::connect(&hostCheck_, &QTimer::timeout, [this] { CheckHost(); });
    if (!WidgetsUsable()) return;
    // The xcb platform announces a new or vanished tray window (per screen) through its native interface,
    // whose class is private to Qt; a timer restarted by that signal folds the per-screen calls into one.
    auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface());
    if (native != nullptr && native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") >= 0) {
      QObject::connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), &hostCheck_, SLOT(start()));
    }
  }

  bool Add(const NotifyIconRecord& record) override {
    if (!WidgetsUsable()) return false;
    const QIcon picture = ToIcon(record.icon);
    if (picture.isNull()) return false;  // Qt shows no icon without a picture
    if (!icon_) {
      icon_ = std::make_unique<QSystemTrayIcon>();
      QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                       [this](QSystemTrayIcon::ActivationReason reason) { Activated(reason); });
    }
    icon_->setIcon(picture);
    icon_->setToolTip(TipOf(record));
    icon_->show();
    return true;
  }

  bool Modify(const NotifyIconRecord& record) override {
    if (!WidgetsUsable() || !icon_ || !icon_->isVisible()) return false;
    const QIcon picture = ToIcon(record.icon);
    if (picture.isNull()) return false;
    icon_->setIcon(picture);
    icon_->setToolTip(TipOf(record));
    return true;
  }

  bool Delete(const NotifyIconRecord&) override {
    if (!WidgetsUsable()) return false;
    if (icon_) icon_->hide();
    return true;
  }

  void SetMouseCallback(std::function<void(unsigned)> callback) override { mouse_ = std::move(callback); }

  // Asked of Qt each time: its tray tracker learns of a host before the relayed signal reaches us.
  bool HostPresent() const override { return WidgetsUsable() && QSystemTrayIcon::isSystemTrayAvailable(); }

  void SetHostCallback(std::function<void(bool)> callback) override { host_ = std::move(callback); }

 private:
  static QString TipOf(const NotifyIconRecord& record) {
    return (record.flags & kNifTip) != 0 ? QString::fromStdString(record.tip) : QString();
  }

  // Qt reports one activation per click and no separate press, so only the release codes can be given.
  void Activated(QSystemTrayIcon::ActivationReason reason) {
    if (!mouse_) return;
    switch (reason) {
      case QSystemTrayIcon::Trigger:
        mouse_(kWmLButtonUp);
        break;
      case QSystemTrayIcon::DoubleClick:
        mouse_(kWmLButtonDblClk);
        break;
      case QSystemTrayIcon::Context:
        mouse_(kWmRButtonUp);
        break;
      case QSystemTrayIcon::MiddleClick:
        mouse_(kWmMButtonUp);
        break;
      case QSystemTrayIcon::Unknown:
        break;
    }
  }

  // Qt's tray tracker does not announce every host that appears (one found while it was being set up goes
  // unannounced), so no state is kept here: each announcement is passed on as what Qt sees now.
  void CheckHost() {
    if (host_) host_(HostPresent());
  }

  std::unique_ptr<QSystemTrayIcon> icon_;
  QTimer hostCheck_;
  std::function<void(unsigned)> mouse_;
  std::function<void(bool)> host_;
};

}  // namespace

std::unique_ptr<NotificationIcon> CreateNotificationIcon() {
  return std::make_unique<QtNotificationIcon>();
}

}  // namespace lumora::platform
