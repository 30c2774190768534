// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPixmap>
#include <QVector>

namespace lumora {

// A list of small pictures of one size (16 × 16), such as the frames of an animated tray icon. Owners that
// keep a reference to it learn of its end through QObject::destroyed.
class TImageList : public QObject {
  Q_OBJECT
 public:
  static constexpr int kWidth = 16;
  static constexpr int kHeight = 16;

  explicit TImageList(QObject* owner);

  // Appends the picture, scaled to the list's size when it has another.
  void Add(const QPixmap& image);
  int Count() const { return static_cast<int>(images_.size()); }
  // A null pixmap when index is out of range.
  QPixmap Image(int index) const;

 private:
  QVector<QPixmap> images_;
};

}  // namespace lumora
