#pragma once

#include <QListWidget>
#include <functional>

class QWidget;

namespace lumora {

// A list box whose sideways scrolling reaches a fixed width, whatever its entries hold: text beyond that
// width cannot be scrolled into view, and entries keep one fixed height.
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

 protected:
  void updateGeometries() override;

 private:
  int extent_ = 0;
  int itemHeight_ = 13;
};

// The Tag of a control: a number the window's code uses to find groups of controls.
void SetTag(QWidget* control, int tag);
int Tag(const QWidget* control);

// Runs one event handler; an error it raises goes to the standard error display and the program goes on.
void RunHandler(const std::function<void()>& handler);

}  // namespace lumora
