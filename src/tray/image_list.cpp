// SPDX-License-Identifier: GPL-3.0-or-later
#include "tray/image_list.h"

namespace lumora {

TImageList::TImageList(QObject* owner) : QObject(owner) {}

void TImageList::Add(const QPixmap& image) {
  if (image.width() == kWidth && image.height() == kHeight) {
    images_.push_back(image);
  } else {
    images_.push_back(image.scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  }
}

QPixmap TImageList::Image(int index) const {
  if (index < 0 || index >= Count()) return {};
  return images_[index];
}

}  // namespace lumora
