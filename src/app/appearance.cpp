// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/appearance.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace lumora {

QFont WindowFont() {
  // Latin letters from a face with the narrow metrics of the classic dialog font (Liberation Sans is
  // metric-compatible with Arial), so "Shift +" fits its 49-pixel check box; Chinese from a CJK face.
  QFont font(QStringLiteral("Liberation Sans"));
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("Droid Sans Fallback"), QStringLiteral("sans-serif")});
  font.setPixelSize(11);
  return font;
}

namespace {

// The window was laid out for the classic look: group captions on the frame line, etched frames that
// show on sky blue, 13-pixel check marks with their caption 4 pixels after them. Qt's "Windows" style
// draws all of that but leaves 6 pixels, which cuts "Shift +" in its 49-pixel box.
class ClassicStyle : public QProxyStyle {
 public:
  ClassicStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing) return 4;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

void ApplyApplicationLook() {
  QApplication::setFont(WindowFont());
  QApplication::setStyle(new ClassicStyle);
}

void ApplyWindowPalette(QWidget* window) {
  QPalette palette = window->palette();
  const QColor grayText(109, 109, 109);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, grayText);
  }
  window->setPalette(palette);
  PaintBackground(window, kSkyBlue);
}

void PaintBackground(QWidget* control, const QColor& colour) {
  QPalette palette = control->palette();
  // Buttons fill with their Button colour, lists with Base, everything else with Window.
  palette.setColor(control->backgroundRole(), colour);
  control->setPalette(palette);
  control->setAutoFillBackground(true);
}

}  // namespace lumora
