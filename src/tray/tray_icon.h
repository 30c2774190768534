#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>

class QWidget;

namespace lumora {

// The notification-area icon of the main window. It restores the window on a left-button release,
// shows its menu on a right-button release, and hides the window from the task bar when minimising.
class TTrayIcon : public QObject {
  Q_OBJECT
 public:
  TTrayIcon(QWidget* window, QObject* parent = nullptr);

  void SetVisible(bool visible);
  bool GetVisible() const { return visible_; }
  void SetHint(const QString& hint);
  QString GetHint() const { return hint_; }
  void SetIcon(const QIcon& icon);
  void SetPopupMenu(QMenu* menu);
  QMenu* GetPopupMenu() const { return menu_; }

  // Hides the window and its task-bar button; only the icon stays. Without a notification area to
  // come back from, the window is minimised instead, so that it can always be found again.
  void Minimize();
  // Shows the window again, brings it to the front and gives it the focus.
  void Restore();

  std::function<void()> OnMinimize;
  std::function<void()> OnRestore;

 private:
  void Activated(QSystemTrayIcon::ActivationReason reason);

  QPointer<QWidget> window_;
  QSystemTrayIcon icon_;
  QPointer<QMenu> menu_;
  QString hint_;
  bool visible_ = false;
};

}  // namespace lumora
