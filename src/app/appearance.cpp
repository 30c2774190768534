#include "app/appearance.h"

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
