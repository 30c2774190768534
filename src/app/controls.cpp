#include "app/controls.h"

#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>

#include "toolkit/exceptions.h"
#include "toolkit/messages.h"

namespace lumora {

namespace {

class FixedHeightDelegate : public QStyledItemDelegate {
 public:
  FixedHeightDelegate(const TListBox* box) : QStyledItemDelegate(const_cast<TListBox*>(box)), box_(box) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(box_->ItemHeight());
    return size;
  }

 private:
  const TListBox* box_;
};

}  // namespace

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new FixedHeightDelegate(this));
  setUniformItemSizes(true);
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void TListBox::SetHorizontalExtent(int pixels) {
  extent_ = pixels;
  // A bar that came and went with the range would change the viewport's width and so the range again,
  // endlessly: once there is an extent, the bar stays.
  setHorizontalScrollBarPolicy(pixels > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
  updateGeometries();
}

void TListBox::SetItemHeight(int pixels) {
  itemHeight_ = pixels;
  doItemsLayout();
}

int TListBox::ItemIndex() const {
  return currentItem() != nullptr && currentItem()->isSelected() ? currentRow() : -1;
}

void TListBox::updateGeometries() {
  QListWidget::updateGeometries();
  // The scroll range comes from the extent alone, never from the entries' widths.
  const int range = std::max(0, extent_ - viewport()->width());
  horizontalScrollBar()->setRange(0, range);
  horizontalScrollBar()->setPageStep(viewport()->width());
}

void SetTag(QWidget* control, int tag) {
  control->setProperty("Tag", tag);
}

int Tag(const QWidget* control) {
  return control->property("Tag").toInt();
}

void RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(Exception(std::string()));
  }
}

}  // namespace lumora
