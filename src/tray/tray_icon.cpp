// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray/tray_icon.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QStyle>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <cstring>

#include "toolkit/exceptions.h"
#include "tray/image_list.h"

namespace lumora {

namespace {

// The program's string table entries for the shell's refusals.
constexpr const char* kCannotCreateIcon = "Cannot Create System Shell Notification Icon";  // id 0
constexpr const char* kCannotRemoveIcon = "Cannot Remove System Shell Notification Icon";  // id 5

platform::IconPixels ToPixels(const QPixmap& picture) {
  platform::IconPixels pixels;
  if (picture.isNull()) return pixels;
  const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
  pixels.width = image.width();
  pixels.height = image.height();
  pixels.argb.resize(static_cast<std::size_t>(pixels.width) * pixels.height);
  for (int y = 0; y < pixels.height; ++y) {
    std::memcpy(pixels.argb.data() + static_cast<std::size_t>(y) * pixels.width, image.constScanLine(y),
                static_cast<std::size_t>(pixels.width) * sizeof(std::uint32_t));
  }
  return pixels;
}

}  // namespace

TTrayIcon::TTrayIcon(QObject* owner, QWidget* application, std::unique_ptr<platform::NotificationIcon> shell)
    : QObject(owner), application_(application), shell_(std::move(shell)) {
  if (!shell_) shell_ = platform::CreateNotificationIcon();
  currentIcon_ = ApplicationIcon();
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &TTrayIcon::DoOnAnimate);

  record_.id = reinterpret_cast<std::uintptr_t>(this);
  record_.flags = platform::kNifMessage | platform::kNifIcon;
  record_.callbackMessage = kTrayCallbackMessage;
  shell_->SetMouseCallback([this](unsigned code) {
    TMessage message{kTrayCallbackMessage, static_cast<std::intptr_t>(record_.id),
                     static_cast<std::intptr_t>(code), 0};
    DoMessage(message);
  });
  shell_->SetHostCallback([this](bool present) { HostChanged(present); });
  Update();
}

TTrayIcon::~TTrayIcon() {
  shell_->Delete(record_);
  UnhookMainWindow();
}

void TTrayIcon::SetVisible(bool value) {
  visible_ = value;
  if (value) {
    if (!shell_->Add(record_)) throw EOutOfResources(kCannotCreateIcon);
    SetHide(true);
    HookMainWindow();
  } else {
    if (!shell_->Delete(record_)) throw EOutOfResources(kCannotRemoveIcon);
    SetHide(false);
    UnhookMainWindow();
  }
}

void TTrayIcon::SetHint(const QString& hint) {
  const QByteArray bytes = hint.toUtf8();
  if (hint == hint_ || bytes.size() > kMaxHintBytes) return;
  hint_ = hint;
  record_.tip = bytes.toStdString();
  if (hint.isEmpty()) {
    record_.flags &= ~platform::kNifTip;
  } else {
    record_.flags |= platform::kNifTip;
  }
  Update();
}

void TTrayIcon::SetPopupMenu(QMenu* menu) {
  disconnect(popupMenuGone_);
  popupMenu_ = menu;
  popupMenuObject_ = menu;
  if (menu != nullptr) {
    popupMenuGone_ =
        connect(menu, &QObject::destroyed, this, [this](QObject* gone) { Notification(gone, opRemove); });
  }
}

void TTrayIcon::SetIcons(TImageList* icons) {
  disconnect(iconsGone_);
  icons_ = icons;
  iconsObject_ = icons;
  if (icons != nullptr) {
    iconsGone_ =
        connect(icons, &QObject::destroyed, this, [this](QObject* gone) { Notification(gone, opRemove); });
  }
}

void TTrayIcon::Notification(QObject* component, TOperation operation) {
  if (operation != opRemove || component == nullptr) return;
  // Compared by their QObject addresses, taken while they were whole: a dying object is only a QObject.
  if (component == iconsObject_) {
    disconnect(iconsGone_);
    icons_ = nullptr;
    iconsObject_ = nullptr;
  } else if (component == popupMenuObject_) {
    disconnect(popupMenuGone_);
    popupMenu_ = nullptr;
    popupMenuObject_ = nullptr;
  }
}

void TTrayIcon::SetAnimate(bool value) {
  if (!icons_) return;
  animate_ = value;
  if (value) {
    timer_.start();
  } else {
    timer_.stop();
  }
}

void TTrayIcon::SetIconIndex(int index) {
  iconIndex_ = index;
  if (icons_) TakeImage(index);
  Update();
}

// An index outside Icons keeps the picture shown: the shell cannot show an icon without one, and a later
// SetVisible(true) would then fail.
void TTrayIcon::TakeImage(int index) {
  const QPixmap image = icons_->Image(index);
  if (!image.isNull()) currentIcon_ = image;
}

void TTrayIcon::SetDefaultIcon() {
  currentIcon_ = ApplicationIcon();
  Update();
}

void TTrayIcon::Update() {
  record_.icon = ToPixels(currentIcon_);
  if (visible_) shell_->Modify(record_);
}

void TTrayIcon::Loaded() {
  if (icons_) {
    if (animate_) {
      timer_.start();
    } else {
      timer_.stop();
    }
    TakeImage(iconIndex_);
  } else {
    animate_ = false;
    currentIcon_ = ApplicationIcon();
  }
  Update();
}

void TTrayIcon::Minimize() {
  if (application_) {
    changingWindowState_ = true;
    // Without a notification area a hidden window could not be found again: it is only minimised then.
    if (visible_ && shell_->HostPresent()) {
      application_->hide();
      hiddenToTray_ = true;
    } else {
      application_->showMinimized();
    }
    changingWindowState_ = false;
  }
  if (OnMinimize) OnMinimize(this);
}

void TTrayIcon::Restore() {
  if (application_) {
    changingWindowState_ = true;
    application_->showNormal();
    application_->raise();
    application_->activateWindow();
    changingWindowState_ = false;
  }
  hiddenToTray_ = false;
  if (OnRestore) OnRestore(this);
}

void TTrayIcon::ShowMenu() {
  if (!popupMenu_) return;
  const QPoint position = QCursor::pos();
  if (application_ && application_->isVisible()) application_->activateWindow();
  popupMenu_->popup(position);
}

void TTrayIcon::EndSession() {
  shell_->Delete(record_);
}

TShiftState TTrayIcon::ShiftState() const {
  const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
  TShiftState shift;
  if (held & Qt::ShiftModifier) shift.set(ssShift);
  if (held & Qt::ControlModifier) shift.set(ssCtrl);
  if (held & Qt::AltModifier) shift.set(ssAlt);
  return shift;
}

void TTrayIcon::DoMessage(TMessage& message) {
  switch (message.msg) {
    case kWmQueryEndSession:
      message.result = 1;
      break;
    case kWmEndSession:
      EndSession();
      break;
    case kTrayCallbackMessage:
      MouseNotification(static_cast<unsigned>(message.lParam));
      break;
    default:
      message.result = 0;
      break;
  }
}

void TTrayIcon::MouseNotification(unsigned code) {
  // The shell gives no position with its notifications: the cursor's, as it is now, stands for it.
  const QPoint at = QCursor::pos();
  auto keysWith = [this](TShiftStateElement button) { return ShiftState().set(button); };
  switch (code) {
    case platform::kWmMouseMove:
      if (OnClick) DoMouseMove(ShiftState(), at.x(), at.y());
      break;
    case platform::kWmLButtonDown:
      DoMouseDown(mbLeft, keysWith(ssLeft), at.x(), at.y());
      break;
    case platform::kWmLButtonUp:
      if (OnClick) DoClick();
      DoMouseUp(mbLeft, keysWith(ssLeft), at.x(), at.y());
      RestoreOrShowMenu(imLeftClickUp);
      break;
    case platform::kWmLButtonDblClk:
      DoDblClick();
      RestoreOrShowMenu(imLeftDoubleClick);
      break;
    case platform::kWmRButtonDown:
      DoMouseDown(mbRight, keysWith(ssRight), at.x(), at.y());
      break;
    case platform::kWmRButtonUp:
      DoMouseUp(mbRight, keysWith(ssRight), at.x(), at.y());
      RestoreOrShowMenu(imRightClickUp);
      break;
    case platform::kWmRButtonDblClk:
      DoDblClick();
      RestoreOrShowMenu(imRightDoubleClick);
      break;
    case platform::kWmMButtonDown:
      DoMouseDown(mbMiddle, keysWith(ssMiddle), at.x(), at.y());
      break;
    case platform::kWmMButtonUp:
      DoMouseUp(mbMiddle, keysWith(ssMiddle), at.x(), at.y());
      break;
    case platform::kWmMButtonDblClk:
      DoDblClick();
      break;
    default:
      break;
  }
}

void TTrayIcon::RestoreOrShowMenu(TTrayIconMessage action) {
  if (restoreOn_ == action) Restore();
  if (popupMenuOn_ == action) ShowMenu();
}

void TTrayIcon::DoClick() {
  RestoreOrShowMenu(imClick);
  if (OnClick) OnClick(this);
}

void TTrayIcon::DoDblClick() {
  RestoreOrShowMenu(imDoubleClick);
  if (OnDblClick) OnDblClick(this);
}

void TTrayIcon::DoMouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TTrayIcon::DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  RestoreOrShowMenu(imMouseDown);
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TTrayIcon::DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  RestoreOrShowMenu(imMouseUp);
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TTrayIcon::DoOnAnimate() {
  const int count = icons_ ? icons_->Count() : 0;
  iconIndex_ = iconIndex_ + 1 < count ? iconIndex_ + 1 : 0;
  SetIconIndex(iconIndex_);
  Update();
}

bool TTrayIcon::ApplicationHookProc(TMessage& message) {
  if (message.msg == kWmSysCommand) {
    if (message.wParam == kScMinimize) {
      Minimize();
    } else if (message.wParam == kScRestore) {
      Restore();
    }
  }
  return false;
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
  // A window manager minimises or restores the window by itself (title bar, task bar); those changes are
  // this platform's system commands for the window. They are answered once the change is complete: whoever
  // changed the state may still show the window afterwards (as showMinimized does).
  if (event->type() == QEvent::WindowStateChange && watched == application_ && !changingWindowState_) {
    const bool wasMinimized = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
    const bool minimized = application_->windowState() & Qt::WindowMinimized;
    if (minimized != wasMinimized) {
      QMetaObject::invokeMethod(
          this,
          [this, minimized] {
            if (!application_ || application_->isMinimized() != minimized) return;  // changed back since
            TMessage message{kWmSysCommand, minimized ? kScMinimize : kScRestore, 0, 0};
            ApplicationHookProc(message);
          },
          Qt::QueuedConnection);
    }
  }
  return QObject::eventFilter(watched, event);
}

void TTrayIcon::HostChanged(bool present) {
  // The window was hidden to a notification area that is gone now: without it the window is lost.
  if (!present && hiddenToTray_ && application_ && !application_->isVisible()) Restore();
}

QPixmap TTrayIcon::ApplicationIcon() const {
  QIcon icon = QGuiApplication::windowIcon();
  if (icon.isNull() && application_) icon = application_->windowIcon();
  // A program that names no icon gets the platform's generic one, as Windows gives its default icon.
  if (icon.isNull() && qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
  }
  return icon.pixmap(QSize(32, 32));
}

void TTrayIcon::HookMainWindow() {
  if (hooked_ || !application_) return;
  application_->installEventFilter(this);
  hooked_ = true;
}

void TTrayIcon::UnhookMainWindow() {
  if (!hooked_) return;
  if (application_) application_->removeEventFilter(this);
  hooked_ = false;
}

}  // namespace lumora
