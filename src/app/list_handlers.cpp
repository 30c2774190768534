// SPDX-License-Identifier: GPL-3.0-or-later
// Editing the wallpaper list, and the preview beside it.
#include <QApplication>
#include <QFile>
#include <QFileDialog>

#include "app/dialog_loop.h"
#include "app/graphic_pixmap.h"
#include "app/list_store.h"
#include "app/main_form.h"
#include "app/preview_picture.h"
#include "toolkit/messages.h"
#include "toolkit/readable_name.h"
#include "toolkit/regular_file.h"

namespace lumora {

namespace {

constexpr const char* kMessageCaption = "消息提示";
constexpr const char* kSelectOne = "请选择一个墙纸!";

// Names that hold a line break are refused with one message that lists them; the rest pass.
std::vector<std::string> WithoutLineBreaks(const std::vector<std::string>& names) {
  std::vector<std::string> kept;
  std::string refused;
  for (const std::string& name : names) {
    if (!HoldsLineBreak(name)) {
      kept.push_back(name);
    } else {
      refused.push_back('\n');
      refused += ReadableFileName(name);
    }
  }
  if (!refused.empty()) MessageBox("文件名中含有换行符,不能加入墙纸列表!" + refused, kMessageCaption);
  return kept;
}

}  // namespace

bool TForm1::Execute(QFileDialog* dialog) {
  const bool chosen = WaitForAnswer(*dialog) == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
  // The name box's completion list opens when the folder has been read, which may be after a quick
  // Return closed the dialog: left open, it would take the user's next click in the window.
  if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  return chosen;
}

std::vector<std::string> TForm1::ChosenFiles(const QFileDialog* dialog) {
  std::vector<std::string> files;
  for (const QString& file : dialog->selectedFiles()) files.push_back(QFile::encodeName(file).toStdString());
  return files;
}

void TForm1::Button2Click() {
  OpenPictureDialog1->setWindowTitle(QString::fromUtf8("添加一个或多个图象文件"));
  if (!Execute(OpenPictureDialog1)) return;
  ListBox1->AddEntries(WithoutLineBreaks(ChosenFiles(OpenPictureDialog1)));
}

void TForm1::Button3Click() {
  const int index = ListBox1->ItemIndex();
  if (index < 0) {
    MessageBox(kSelectOne, kMessageCaption);
    return;
  }
  if (!Execute(OpenPictureDialog1)) return;
  const std::vector<std::string> chosen = WithoutLineBreaks({ChosenFiles(OpenPictureDialog1).front()});
  if (chosen.empty()) return;
  ListBox1->SetEntry(index, chosen.front());
  PreviewEntry(chosen.front());
}

void TForm1::Button4Click() {
  const int index = ListBox1->ItemIndex();
  if (index < 0) {
    MessageBox(kSelectOne, kMessageCaption);
    return;
  }
  delete ListBox1->takeItem(index);
  // The entry that followed is selected now; after the last one, nothing is.
  ListBox1->SetItemIndex(index);
}

void TForm1::Button10Click() {
  const int index = ListBox1->ItemIndex();
  if (index == 0) {
    MessageBox("已达到最上层!", kMessageCaption);
  } else if (index < 0) {
    MessageBox(kSelectOne, kMessageCaption);
  } else {
    const std::string moving = ListBox1->Entry(index);
    ListBox1->SetEntry(index, ListBox1->Entry(index - 1));
    ListBox1->SetEntry(index - 1, moving);
    ListBox1->SetItemIndex(index - 1);
  }
}

void TForm1::Button11Click() {
  const int index = ListBox1->ItemIndex();
  if (index < 0) {
    MessageBox(kSelectOne, kMessageCaption);
  } else if (index == ListBox1->count() - 1) {
    MessageBox("已达到最下层!", kMessageCaption);
  } else {
    const std::string moving = ListBox1->Entry(index);
    ListBox1->SetEntry(index, ListBox1->Entry(index + 1));
    ListBox1->SetEntry(index + 1, moving);
    ListBox1->SetItemIndex(index + 1);
  }
}

void TForm1::Button7Click() {
  ListBox1->clear();
}

void TForm1::ListBox1Click() {
  const int index = ListBox1->ItemIndex();
  if (index >= 0) PreviewEntry(ListBox1->Entry(index));
}

void TForm1::PreviewEntry(const std::string& entry) {
  // The first run lists whatever matches in img/, folders included; such a name holds no picture to show.
  if (IsFolderPipeOrDevice(entry)) {
    SayNotAPicture(entry);
    return;
  }
  TPicture picture;
  LoadPreviewPicture(entry, JpgFile, picture);
  const ShownGraphic shown = ShowGraphic(*picture.GetGraphic());
  Image2->setPixmap(shown.pixmap);
  shownPicture_.Remember(entry, *picture.GetGraphic(), shown);
  // The picture sizes itself to what it shows and stays where it was dragged to.
  Image2->resize(shown.pixmap.size());
  Image2->setCursor(Qt::SizeAllCursor);
}

void TForm1::Image2MouseDown(Qt::MouseButton, Qt::MouseButtons, int X, int Y) {
  DragX = X;
  DragY = Y;
}

void TForm1::Image2MouseMove(Qt::MouseButtons Shift, int X, int Y) {
  if (!Shift.testFlag(Qt::LeftButton)) return;
  // The picture moves with the pointer, so the point pressed stays under it and every move is measured
  // from that same point.
  const int dy = Y - DragY;
  const int dx = X - DragX;
  if (dy != 0) Image2->move(Image2->x(), Image2->y() + dy);
  if (dx != 0) Image2->move(Image2->x() + dx, Image2->y());
}

}  // namespace lumora
