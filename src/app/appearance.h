// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include "app/build_settings.h"  // kApplicationTitle

class QWidget;

namespace lumora {

inline constexpr int kClientWidth = 608;
inline constexpr int kClientHeight = 565;
inline const QColor kSkyBlue(166, 202, 240);
inline const QColor kSilver(192, 192, 192);

// The window font: a CJK-capable sans of the same pixel height (11) as the classic 8-point dialog font,
// so that the Chinese captions fit the controls they were laid out for.
QFont WindowFont();

// The look every window of the program shares: the window font, and the classic style the window was
// laid out for. Call once the application object exists.
void ApplyApplicationLook();

// The window's own palette: sky blue behind everything, and disabled captions in a grey that stays
// readable on both the sky blue and the silver groups.
void ApplyWindowPalette(QWidget* window);

// Fills the control's background with a solid colour.
void PaintBackground(QWidget* control, const QColor& colour);

}  // namespace lumora
