#include "tray/tray_icon.h"

#include <QMenu>
#include <QWidget>

namespace lumora {

TTrayIcon::TTrayIcon(QWidget* window, QObject* parent) : QObject(parent), window_(window) {
  connect(&icon_, &QSystemTrayIcon::activated, this, &TTrayIcon::Activated);
}

void TTrayIcon::SetVisible(bool visible) {
  visible_ = visible;
  icon_.setVisible(visible);
}

void TTrayIcon::SetHint(const QString& hint) {
  hint_ = hint;
  icon_.setToolTip(hint);
}

void TTrayIcon::SetIcon(const QIcon& icon) {
  icon_.setIcon(icon);
}

void TTrayIcon::SetPopupMenu(QMenu* menu) {
  menu_ = menu;
  icon_.setContextMenu(menu);
}

void TTrayIcon::Minimize() {
  if (window_ != nullptr) {
    if (visible_ && QSystemTrayIcon::isSystemTrayAvailable()) {
      window_->hide();
    } else {
      window_->showMinimized();
    }
  }
  if (OnMinimize) OnMinimize();
}

void TTrayIcon::Restore() {
  if (window_ != nullptr) {
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
  }
  if (OnRestore) OnRestore();
}

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
  // A left click on the icon arrives as Trigger; the right click opens the context menu by itself.
  if (reason == QSystemTrayIcon::Trigger) Restore();
}

}  // namespace lumora
