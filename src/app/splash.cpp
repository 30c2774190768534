// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/splash.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QScreen>
#include <QWindow>

#include "app/resources.h"

namespace lumora {

TFirst::TFirst(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  InitResources();
  setObjectName(QStringLiteral("First"));
  setWindowTitle(QStringLiteral("First"));
  setFixedSize(161, 137);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
  setPalette(palette);
  setAutoFillBackground(true);
  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 169, 145);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(QPixmap(QStringLiteral(":/lumora/logo.jpg")));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
}

void TFirst::ShowPainted() {
  show();
  // The X server maps the window asynchronously: wait (briefly) until it can be seen, then paint it
  // and push the drawing out, so the logo is up before the slow work starts.
  QWindow* window = windowHandle();
  const QDeadlineTimer deadline(1000);
  while (window != nullptr && !window->isExposed() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  }
  repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  QApplication::sync();
}

}  // namespace lumora
