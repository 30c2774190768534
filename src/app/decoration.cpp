// SPDX-License-Identifier: GPL-3.0-or-later
// The window's painted background, the logo animation, and the buttons that lead out of the program:
// the home page, the download site and the help file.
#include <QEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWindow>

#include "app/build_settings.h"
#include "app/main_form.h"
#include "platform/shell_open.h"
#include "toolkit/files.h"
#include "toolkit/messages.h"

namespace lumora {

namespace {

constexpr const char* kHelpFileName = "使用说明.txt";

// Hidden to the tray, minimised, or unmapped by the window manager (another workspace, say).
bool CanBeSeen(const QWidget& window) {
  return window.isVisible() && !window.isMinimized() && window.windowHandle() != nullptr &&
         window.windowHandle()->isExposed();
}

}  // namespace

void TForm1::paintEvent(QPaintEvent*) {
  RunHandler([this] { FormPaint(); });
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RunHandler([this] { FormResize(); });
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  LogoSeenChanged();
}

void TForm1::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  LogoSeenChanged();
}

void TForm1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) LogoSeenChanged();
}

// 255 bands from full blue at the top to almost black, spread over the window's outer height: the title
// bar and borders count, so the bands reach below the client area and cover all of it.
void TForm1::FormPaint() {
  QPainter canvas(this);
  const QRect outer = frameGeometry();
  const double band = outer.height() / 256.0;
  double y = 0;
  for (int n = 255; n >= 1; --n) {
    const int top = static_cast<int>(y);
    const int bottom = static_cast<int>(y + band);
    canvas.fillRect(0, top, outer.width(), bottom - top, QColor(0, 0, n));
    y += band;
  }
}

void TForm1::FormResize() {
  repaint();
}

// The logo grows from a point at its centre back to its size, in steps of two pixels of width. The picture
// stays unscaled at the control's top-left, so each step shows more of it, and the area the logo leaves
// uncovered is painted in the same step. Each step is repainted at once; the steps are spread over about a
// second, one per frame, because all 81 within the tick take a few milliseconds today and would never be
// seen, while holding the window for a second every five seconds would make it sluggish.
//
// Nobody sees a window in the tray or in the task bar: Timer2 keeps its rhythm there, but its ticks show
// nothing, so a hidden program sleeps instead of waking for each of the 81 frames.
void TForm1::Timer2Timer() {
  if (logoSteps_->isActive() || logoPaused_) return;  // the last sequence has not ended yet
  if (!CanBeSeen(*this)) return;
  logoStart_ = Image1->geometry();
  if (logoStart_.width() <= 0) return;
  logoWidth_ = 0;
  LogoStep();
  if (logoWidth_ <= logoStart_.width()) logoSteps_->start();
}

void TForm1::LogoStep() {
  const int width = logoStart_.width();
  const int height = logoStart_.height();
  const int a = logoWidth_ * height / width;
  Image1->setGeometry(logoStart_.left() + (width - logoWidth_) / 2, logoStart_.top() + height / 2 - a / 2,
                      logoWidth_, a);
  repaint(logoStart_);
  logoWidth_ += 2;
  if (logoWidth_ > width) logoSteps_->stop();
}

// A sequence under way when the window is hidden or minimised waits where it is, unpainted, and goes on
// when the window is back.
void TForm1::LogoSeenChanged() {
  const bool seen = isVisible() && !isMinimized();
  if (!seen && logoSteps_->isActive()) {
    logoSteps_->stop();
    logoPaused_ = true;
  } else if (seen && logoPaused_) {
    logoPaused_ = false;
    logoSteps_->start();
  }
}

void TForm1::Button13Click() {
  platform::ShellOpen(kHomePage);
}

void TForm1::N2Click() {
  Button13Click();
}

void TForm1::Button18Click() {
  platform::ShellOpen(kDownloadSite);
}

// The help file is looked for in the current directory, but the copy opened is the one of the directory
// the program started in: after a file dialog has moved the current directory the two may differ.
void TForm1::Button14Click() {
  if (!FileExists(kHelpFileName)) {
    ShowMessage("没有找到使用说明.txt文件!请确保它在当前目录下!");
    return;
  }
  platform::ShellOpen(AppDir + kPathDelimiter + kHelpFileName);
}

}  // namespace lumora
