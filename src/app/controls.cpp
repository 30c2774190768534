// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controls.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>
#include <utility>

#include "toolkit/exceptions.h"
#include "toolkit/messages.h"
#include "toolkit/readable_name.h"

namespace lumora {

namespace {

constexpr int kEntryBytesRole = Qt::UserRole;

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

void ShowEntry(QListWidgetItem* item, const std::string& entry) {
  item->setText(QString::fromStdString(ReadableFileName(entry)));
  item->setData(kEntryBytesRole, QByteArray::fromStdString(entry));
}

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

void TListBox::SetItemIndex(int index) {
  if (index >= 0 && index < count()) {
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
  } else {
    clearSelection();
    setCurrentRow(-1);
  }
}

void TListBox::AddEntries(const std::vector<std::string>& entries) {
  // Long lists (thousands of pictures) go in without repainting or relaying the box for each entry.
  setUpdatesEnabled(false);
  for (const std::string& entry : entries) {
    auto* item = new QListWidgetItem;
    ShowEntry(item, entry);
    addItem(item);
  }
  setUpdatesEnabled(true);
}

std::string TListBox::Entry(int index) const {
  const QListWidgetItem* entry = item(index);
  if (entry == nullptr) return {};
  const QVariant bytes = entry->data(kEntryBytesRole);
  // An entry put in as text alone stands for the file system's encoding of that text.
  return bytes.isValid() ? bytes.toByteArray().toStdString() : QFile::encodeName(entry->text()).toStdString();
}

void TListBox::SetEntry(int index, const std::string& entry) {
  if (QListWidgetItem* shown = item(index)) ShowEntry(shown, entry);
}

std::vector<std::string> TListBox::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(static_cast<std::size_t>(count()));
  for (int i = 0; i < count(); ++i) entries.push_back(Entry(i));
  return entries;
}

void TListBox::updateGeometries() {
  QListWidget::updateGeometries();
  // The scroll range comes from the extent alone, never from the entries' widths.
  const int range = std::max(0, extent_ - viewport()->width());
  horizontalScrollBar()->setRange(0, range);
  horizontalScrollBar()->setPageStep(viewport()->width());
}

void TListBox::mousePressEvent(QMouseEvent* event) {
  // As in a classic list box, only the left button chooses, and only on an entry: the blank space
  // below the entries keeps the selection.
  if (event->button() != Qt::LeftButton || itemAt(event->position().toPoint()) == nullptr) {
    event->accept();
    return;
  }
  QListWidget::mousePressEvent(event);
  pressedOnEntry_ = true;
}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
  QListWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && std::exchange(pressedOnEntry_, false) && ItemIndex() >= 0) {
    ReportUserSelection();
  }
}

void TListBox::keyPressEvent(QKeyEvent* event) {
  const int before = ItemIndex();
  QListWidget::keyPressEvent(event);
  const int after = ItemIndex();
  if (after >= 0 && after != before) ReportUserSelection();
}

void TListBox::ReportUserSelection() {
  // Reported from the event loop once the click or key has been handled, so that what the choice shows
  // (a box that waits for the user, say) does not run inside the list's own input handling.
  QMetaObject::invokeMethod(this, &TListBox::UserSelected, Qt::QueuedConnection);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  emit MouseDown(event->button(), event->buttons(), at.x(), at.y());
  event->accept();
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  emit MouseMove(event->buttons(), at.x(), at.y());
  event->accept();
}

TScrollBox::TScrollBox(QWidget* parent) : QScrollArea(parent), canvas_(new QWidget) {
  setWidgetResizable(false);
  canvas_->setObjectName(QStringLiteral("ScrollBoxCanvas"));
  // The scroll area would place a content widget of its own back at the scrolled origin whenever it
  // resizes; a canvas of ours takes that place and the content moves freely on it.
  setWidget(canvas_);
}

void TScrollBox::SetContent(QWidget* content) {
  content_ = content;
  content->setParent(canvas_);
  content->installEventFilter(this);
  content->show();
  FitRange();
}

bool TScrollBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == content_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) FitRange();
  return QScrollArea::eventFilter(watched, event);
}

void TScrollBox::FitRange() {
  // Content moved past the top or left edge is out of reach, as in any scrolling panel.
  const QRect shown = content_->geometry();
  canvas_->resize(std::max(1, shown.right() + 1), std::max(1, shown.bottom() + 1));
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
