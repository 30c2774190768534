// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;

namespace lumora {

// The start-up window with the product logo, up while the main window is built behind it.
class TFirst : public QWidget {
  Q_OBJECT
 public:
  explicit TFirst(QWidget* parent = nullptr);
  // Shows the window and returns once its logo is on screen.
  void ShowPainted();

  QLabel* Image1;
};

}  // namespace lumora
