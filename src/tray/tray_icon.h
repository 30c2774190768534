// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/notification_icon.h"

class QMenu;
class QWidget;

namespace lumora {

class TImageList;

// The mouse action on which the icon restores the application (RestoreOn) or pops up its menu
// (PopupMenuOn); imNone matches none.
enum TTrayIconMessage {
  imClick,
  imDoubleClick,
  imMouseDown,
  imMouseUp,
  imLeftClickUp,
  imLeftDoubleClick,
  imRightClickUp,
  imRightDoubleClick,
  imNone
};

enum TShiftStateElement { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = std::bitset<7>;  // indexed by TShiftStateElement
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TOperation { opInsert, opRemove };

// Keeps one icon in the notification area: shows the hint on it, turns the shell's mouse codes into events,
// restores the application or pops up a menu on the configured mouse action, hides the application's window
// when minimising it, and can animate the icon through an image list.
//
// Configure it like a stored form does (Visible, Hint, PopupMenu, Hide, RestoreOn, PopupMenuOn, Icons…)
// and call Loaded last.
class TTrayIcon : public QObject {
  Q_OBJECT
 public:
  // The hidden window's messages.
  static constexpr unsigned kWmQueryEndSession = 17;
  static constexpr unsigned kWmEndSession = 22;
  static constexpr unsigned kWmSysCommand = 274;
  static constexpr unsigned kTrayCallbackMessage = 1025;  // WM_USER + 1; LParam = mouse code
  static constexpr std::intptr_t kScMinimize = 61472;
  static constexpr std::intptr_t kScRestore = 61728;
  // Longest hint in bytes (UTF-8); longer ones are ignored.
  static constexpr int kMaxHintBytes = 63;

  struct TMessage {
    unsigned msg;
    std::intptr_t wParam;
    std::intptr_t lParam;
    std::intptr_t result;
  };

  using TNotifyEvent = std::function<void(QObject* sender)>;
  using TMouseMoveEvent = std::function<void(QObject* sender, TShiftState shift, int x, int y)>;
  using TMouseEvent =
      std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;

  // application: the window that Minimize hides and Restore brings back; its own minimising (from the title
  // bar) minimises to the tray while the icon is shown. shell: the notification area; none means this
  // session's own.
  TTrayIcon(QObject* owner, QWidget* application,
            std::unique_ptr<platform::NotificationIcon> shell = nullptr);
  ~TTrayIcon() override;

  // Adds (true) or removes (false) the icon, on every call. Raises EOutOfResources when the shell refuses;
  // Visible holds the new value all the same.
  virtual void SetVisible(bool value);
  bool GetVisible() const { return visible_; }
  // Takes a hint that differs from the current one and is at most kMaxHintBytes long; else does nothing.
  void SetHint(const QString& hint);
  QString GetHint() const { return hint_; }
  void SetPopupMenu(QMenu* menu);
  QMenu* GetPopupMenu() const { return popupMenu_; }
  // Recorded only; Minimize hides the window whatever it holds.
  void SetHide(bool value) { hide_ = value; }
  bool GetHide() const { return hide_; }
  void SetRestoreOn(TTrayIconMessage value) { restoreOn_ = value; }
  TTrayIconMessage GetRestoreOn() const { return restoreOn_; }
  void SetPopupMenuOn(TTrayIconMessage value) { popupMenuOn_ = value; }
  TTrayIconMessage GetPopupMenuOn() const { return popupMenuOn_; }
  void SetIcons(TImageList* icons);
  TImageList* GetIcons() const { return icons_; }
  int GetIconIndex() const { return iconIndex_; }
  // Switches the animation only while Icons is set; without it Animate stays as it is.
  void SetAnimate(bool value);
  bool GetAnimate() const { return animate_; }
  void SetAnimateInterval(int ms) { timer_.setInterval(ms); }
  int GetAnimateInterval() const { return timer_.interval(); }
  // The picture now given to the shell.
  const QPixmap& CurrentIcon() const { return currentIcon_; }

  // Shows image index of Icons and tells the shell. The index is stored as given; one outside Icons keeps
  // the picture shown before.
  virtual void SetIconIndex(int index);
  // Shows the application's icon again and tells the shell.
  virtual void SetDefaultIcon();
  // Gives the current picture to the shell while the icon is shown.
  virtual void Update();
  // The end of configuration: takes the picture from Icons (or the application's icon without them).
  void Loaded();
  // Another object is going away: references to it are dropped.
  void Notification(QObject* component, TOperation operation);

  virtual void Minimize();
  virtual void Restore();
  // Pops up PopupMenu at the mouse cursor; nothing without a menu.
  virtual void ShowMenu();
  // The session is ending: the icon leaves the notification area (Visible keeps its value).
  void EndSession();
  // Shift, Ctrl and Alt as they are held now.
  TShiftState ShiftState() const;

  virtual void DoMessage(TMessage& message);
  // Sees the application window's system commands; minimise and restore go through the tray. Never
  // consumes the message.
  bool ApplicationHookProc(TMessage& message);

  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;

 protected:
  virtual void DoClick();
  virtual void DoDblClick();
  virtual void DoMouseMove(TShiftState shift, int x, int y);
  virtual void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DoOnAnimate();
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MouseNotification(unsigned code);
  void RestoreOrShowMenu(TTrayIconMessage action);
  // The current icon := image index of Icons, if there is one.
  void TakeImage(int index);
  void HostChanged(bool present);
  QPixmap ApplicationIcon() const;
  void HookMainWindow();
  void UnhookMainWindow();

  QPointer<QWidget> application_;
  std::unique_ptr<platform::NotificationIcon> shell_;
  platform::NotifyIconRecord record_;
  QPixmap currentIcon_;
  QTimer timer_;
  QString hint_;
  // Not owned; dropped through Notification when they are destroyed.
  QMenu* popupMenu_ = nullptr;
  QObject* popupMenuObject_ = nullptr;
  QMetaObject::Connection popupMenuGone_;
  TImageList* icons_ = nullptr;
  QObject* iconsObject_ = nullptr;
  QMetaObject::Connection iconsGone_;
  TTrayIconMessage restoreOn_ = imDoubleClick;
  TTrayIconMessage popupMenuOn_ = imNone;
  int iconIndex_ = 0;
  bool visible_ = false;
  bool hide_ = true;
  bool animate_ = false;
  bool hooked_ = false;
  bool hiddenToTray_ = false;
  // Set while Minimize or Restore change the window's state themselves, so the hook does not answer them.
  bool changingWindowState_ = false;
};

}  // namespace lumora
