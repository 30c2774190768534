#include "app/qt_messages.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace lumora {

QtMessageSink& QtMessageSink::Instance() {
  static QtMessageSink sink;
  return sink;
}

void QtMessageSink::Install() {
  SetMessageSink(this);
}

MessageResult QtMessageSink::Show(const MessageRequest& request) {
  QWidget* owner = request.ownedByMainWindow ? mainWindow_.data() : nullptr;
  QMessageBox box(owner);
  box.setIcon(request.kind == MessageKind::ErrorDisplay ? QMessageBox::Critical
              : request.yesNo                           ? QMessageBox::Warning
                                                        : QMessageBox::NoIcon);
  box.setWindowTitle(QString::fromStdString(request.caption));
  box.setText(QString::fromStdString(request.text));
  if (request.yesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    return box.exec() == QMessageBox::Yes ? MessageResult::Ok : MessageResult::Cancel;
  }
  if (request.okCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  box.setDefaultButton(QMessageBox::Ok);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  if (request.okCancel) box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
  return box.exec() == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
}

}  // namespace lumora
