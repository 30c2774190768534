// SPDX-License-Identifier: GPL-3.0-or-later
// Changing the wallpaper with a system-wide key combination: enabling and disabling it, and one rotation
// step per press.
#include <QCheckBox>
#include <QComboBox>

#include "app/main_form.h"
#include "platform/hot_keys.h"
#include "toolkit/messages.h"

namespace lumora {

// One modifier at most, the first checked of Ctrl, Alt, Shift.
unsigned TForm1::HotKeyModifier() const {
  if (CheckBox1->isChecked()) return platform::kModControl;
  if (CheckBox2->isChecked()) return platform::kModAlt;
  if (CheckBox3->isChecked()) return platform::kModShift;
  return 0;
}

void TForm1::Button16Click() {
  if (ListBox1->count() == 0) {
    ShowMessage("墙纸列表为空，无法启用热键!");
    return;
  }
  const QString letter = ComboBox1->currentText();
  const unsigned key = letter.isEmpty() ? 0 : letter.front().unicode();
  // A combination this window may still hold under the identifier is released before the one retry.
  if (!hotKeys_->Register(kHotKeyId, HotKeyModifier(), key)) {
    hotKeys_->Unregister(kHotKeyId);
    if (!hotKeys_->Register(kHotKeyId, HotKeyModifier(), key)) {
      MessageBox("抱歉!系统中已启用过此热键!", "更换墙纸热键启用失败");
      return;
    }
  }
  hotKeyOn_ = true;
  ShowMessage("更换墙纸热键启用成功!");
  SetLockedControlsEnabled(false);
  Button16->setEnabled(false);
  Button17->setEnabled(true);
  ArmRotation(HotKeyIndex);
}

void TForm1::Button17Click() {
  hotKeys_->Unregister(kHotKeyId);
  hotKeyOn_ = false;
  SetLockedControlsEnabled(true);
  Button16->setEnabled(true);
  Button17->setEnabled(false);
  ShowMessage("热键更换墙纸已停用!");
}

void TForm1::WMHotKey(int id) {
  if (id != kHotKeyId) return;
  RotationStep(HotKeyIndex);
}

}  // namespace lumora
