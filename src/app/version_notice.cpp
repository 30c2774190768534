// SPDX-License-Identifier: GPL-3.0-or-later
// The new-version notice: offered every five seconds once the version check has found another version,
// until the user accepts it and the program ends to let them fetch the new one.
#include "app/build_settings.h"
#include "app/main_form.h"
#include "platform/shell_open.h"
#include "toolkit/messages.h"

namespace lumora {

// One notice at a time: the timer waits while it is open and the next comes five seconds after it is
// answered, so a notice left open overnight never stacks thousands more on top of it.
void TForm1::Timer4Timer() {
  Timer4->stop();
  if (AskOkCancel(NoticeText, "新版本提示") == MessageResult::Ok) {
    NoticeAccepted = true;
    platform::ShellOpen(kHomePage);
    return;  // the exit poll ends the program within a second
  }
  Timer4->start();
}

}  // namespace lumora
