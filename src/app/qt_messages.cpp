// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_messages.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "app/dialog_loop.h"

namespace lumora {

QtMessageSink& QtMessageSink::Instance() {
  static QtMessageSink sink;
  return sink;
}

void QtMessageSink::Install() {
  SetMessageSink(this);
}

MessageResult QtMessageSink::Show(const MessageRequest& request) {
  // A message asked for on another thread (an error in a socket timer of the version check, say) must not
  // build a widget there; it goes to the error stream. Decided without asking Qt, which may be gone by then.
  if (std::this_thread::get_id() != ownThread_) return WriteToErrorStream(request);
  QWidget* owner = request.ownedByMainWindow ? mainWindow_.data() : nullptr;
  // On the heap and watched: should its owner go first, the box goes with it, and only once.
  const QPointer<QMessageBox> box = new QMessageBox(owner);
  box->setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::NonModal);
  box->setIcon(request.kind == MessageKind::ErrorDisplay ? QMessageBox::Critical
               : request.yesNo                           ? QMessageBox::Warning
                                                         : QMessageBox::NoIcon);
  box->setWindowTitle(QString::fromStdString(request.caption));
  box->setText(QString::fromStdString(request.text));
  // A box may carry a line for the user to paste elsewhere (a key binding for the compositor's settings).
  box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QMessageBox::StandardButton accepting = QMessageBox::Ok;
  if (request.yesNo) {
    accepting = QMessageBox::Yes;
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::No);
    box->button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box->button(QMessageBox::No)->setText(QStringLiteral("否"));
  } else {
    box->setStandardButtons(request.okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    if (request.okCancel) box->button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
  }
  // A box dismissed because the program ends counts as cancelled.
  const int answer = WaitForAnswer(*box);
  delete box.data();
  return answer == accepting ? MessageResult::Ok : MessageResult::Cancel;
}

}  // namespace lumora
