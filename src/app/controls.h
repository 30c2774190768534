// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace lumora {

// A list box of file names whose sideways scrolling reaches a fixed width, whatever its entries hold:
// text beyond that width cannot be scrolled into view, and entries keep one fixed height.
//
// An entry is a file name's bytes, which need not be valid UTF-8: the box shows them readably and
// keeps the bytes themselves beside the shown text, so they are saved and opened unchanged.
class TListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TListBox(QWidget* parent = nullptr);
  void SetHorizontalExtent(int pixels);
  int HorizontalExtent() const { return extent_; }
  void SetItemHeight(int pixels);
  int ItemHeight() const { return itemHeight_; }

  // The selected index, −1 when nothing is selected.
  int ItemIndex() const;
  // Selects the entry at index; an index outside the list leaves nothing selected. A selection made
  // here is never taken for the user's.
  void SetItemIndex(int index);

  void AddEntries(const std::vector<std::string>& entries);
  std::string Entry(int index) const;
  void SetEntry(int index, const std::string& entry);
  std::vector<std::string> Entries() const;

 signals:
  // The user chose an entry: a click on one (also on the one already selected) or a move of the
  // selection with the keyboard.
  void UserSelected();

 protected:
  void updateGeometries() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ReportUserSelection();

  int extent_ = 0;
  int itemHeight_ = 13;
  bool pressedOnEntry_ = false;
};

// A picture that tells where the mouse is pressed and moved, in its own coordinates.
class TImage : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void MouseDown(Qt::MouseButton button, Qt::MouseButtons held, int x, int y);
  void MouseMove(Qt::MouseButtons held, int x, int y);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
};

// A scrolling panel whose content may be placed anywhere inside it: the scroll range follows the
// content's right and bottom edges wherever the content is moved, and moving or resizing the content
// never puts it back at the origin.
class TScrollBox : public QScrollArea {
  Q_OBJECT
 public:
  explicit TScrollBox(QWidget* parent = nullptr);
  void SetContent(QWidget* content);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FitRange();

  QWidget* canvas_;
  QWidget* content_ = nullptr;
};

// The Tag of a control: a number the window's code uses to find groups of controls.
void SetTag(QWidget* control, int tag);
int Tag(const QWidget* control);

// Runs one event handler; an error it raises goes to the standard error display and the program goes on.
void RunHandler(const std::function<void()>& handler);

}  // namespace lumora
