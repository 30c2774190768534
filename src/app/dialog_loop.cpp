// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog_loop.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QPointer>

namespace lumora {

int WaitForAnswer(QDialog& dialog) {
  QPointer<QDialog> guard(&dialog);
  QEventLoop loop;
  QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
  QObject::connect(&dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
  dialog.setResult(QDialog::Rejected);
  dialog.show();
  loop.exec(QEventLoop::DialogExec);
  if (guard.isNull()) return QDialog::Rejected;
  // Still open: the loop ended because the program is ending, not because anybody answered.
  if (dialog.isVisible()) {
    dialog.hide();
    return QDialog::Rejected;
  }
  return dialog.result();
}

void DismissOpenDialogs() {
  // Qt's own boxes (a file dialog's question whether to replace a file) are dialogs like ours: answering
  // them too lets the dialog that asked return as well.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(window);
    if (dialog != nullptr && dialog->isVisible()) dialog->reject();
  }
}

}  // namespace lumora
