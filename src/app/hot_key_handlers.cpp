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
  platform::HotKeyResult result = hotKeys_->Register(kHotKeyId, HotKeyModifier(), key);
  if (result == platform::HotKeyResult::Taken) {
    hotKeys_->Unregister(kHotKeyId);
    result = hotKeys_->Register(kHotKeyId, HotKeyModifier(), key);
  }
  if (result == platform::HotKeyResult::NotOffered) {
    // Nothing is held here: the desktop runs the step itself once the user has bound it there.
    TellHowToBindByHand(hotKeys_->ManualBinding(HotKeyModifier(), key));
    return;
  }
  if (result != platform::HotKeyResult::Registered) {
    MessageBox("抱歉!系统中已启用过此热键!", "更换墙纸热键启用失败");
    return;
  }
  hotKeyOn_ = true;
  ShowMessage("更换墙纸热键启用成功!");
  SetLockedControlsEnabled(false);
  Button16->setEnabled(false);
  Button17->setEnabled(true);
  ArmRotation(HotKeyIndex);
}

void TForm1::TellHowToBindByHand(const platform::ManualHotKey& manual) {
  std::string text = "这个桌面不让程序自己启用全局热键。";
  if (!manual.where.empty()) {
    text += "请把下面这一行加进 " + manual.where + "，再让它重新读取配置：\n\n" + manual.line;
  } else if (!manual.line.empty()) {
    text += "请在桌面的键盘设置里把这个组合键绑定到命令：\n\n" + manual.line;
  }
  MessageBox(text, "更换墙纸热键");
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
