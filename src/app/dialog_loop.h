// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QDialog;

namespace lumora {

// The program's dialogs and message boxes wait for their answer in an event loop of their own, so the code
// that asked reads the answer where it asked, while the rest of the program goes on: timers tick, the tray
// icon answers, and a dialog that blocks no window (no modality) leaves the main window usable. A dialog
// blocks what its own modality says, nothing more; the caller sets that before.

// Shows the dialog and returns its result once it has been answered: QDialog::Rejected when it was
// dismissed, destroyed meanwhile, or left open when the program's event loops were told to end.
int WaitForAnswer(QDialog& dialog);

// Answers every dialog now open as cancelled (QDialog::Rejected), so that the code waiting on each of them
// goes on and returns: the way out when the program ends while dialogs are still open.
void DismissOpenDialogs();

}  // namespace lumora
