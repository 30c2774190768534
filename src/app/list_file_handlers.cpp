// SPDX-License-Identifier: GPL-3.0-or-later
// The wallpaper list in files: saving and opening list files, the list kept between runs, and the
// pictures a first run starts with.
#include <QCoreApplication>
#include <QFileDialog>

#include "app/first_run_fill.h"
#include "app/list_store.h"
#include "app/main_form.h"
#include "toolkit/exceptions.h"
#include "toolkit/files.h"
#include "toolkit/messages.h"
#include "toolkit/readable_name.h"

namespace lumora {

void TForm1::Button6Click() {
  if (ListBox1->count() < 1) {
    MessageBox("没有任何墙纸!", "消息提示");
    return;
  }
  if (!Execute(SaveDialog1)) return;
  std::string fileName = ChosenFiles(SaveDialog1).front();
  if (ExtractFileExt(fileName).empty()) {
    fileName += ".orl";
    // The dialog asked about the name as typed, never about this one.
    if (PathExists(fileName)) {
      const QString question =
          QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")
              .arg(QString::fromStdString(ReadableFileName(ExtractFileName(fileName))));
      if (AskYesNo(question.toStdString(), SaveDialog1->windowTitle().toStdString()) != MessageResult::Ok)
        return;
    }
  }
  try {
    WriteListFile(fileName, ListBox1->Entries());
  } catch (const Exception&) {
    MessageBox("墙纸列表没有保存:无法写入文件 " + ReadableFileName(fileName) + "!", "错误提示");
  }
}

void TForm1::Button5Click() {
  if (!Execute(OpenDialog1)) return;
  // Read completely first: a file that cannot be read leaves the list as it was.
  const std::vector<std::string> entries = ReadListFile(ChosenFiles(OpenDialog1).front());
  ListBox1->clear();
  ListBox1->AddEntries(entries);
}

void TForm1::FirstRunFill() {
  ListBox1->clear();
  ListBox1->AddEntries(FirstRunPictures(AppDir));
}

void TForm1::ReadAutoSavedList() {
  const std::string path = AppDir + kPathDelimiter + kAutoSavedList;
  if (!PathExists(path)) return;
  std::vector<std::string> entries;
  try {
    entries = ReadListFile(path);
  } catch (const Exception&) {
    // Raised here it would end every start; the user is told once and starts with an empty list.
    MessageBox("无法读取上次保存的墙纸列表 " + ReadableFileName(path) + ",墙纸列表为空!", "错误提示");
    return;
  }
  ListBox1->clear();
  ListBox1->AddEntries(entries);
}

// An empty list is written too, as an empty file: a list the user cleared stays cleared at the next start,
// and the file marks the directory as one the program has run in.
void TForm1::SaveAutoSavedList() {
  // A list that cannot be written is not reported; the previous file then stays as it was.
  try {
    WriteListFile(AppDir + kPathDelimiter + kAutoSavedList, ListBox1->Entries());
  } catch (const Exception&) {
  }
}

}  // namespace lumora
