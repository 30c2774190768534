// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_desktops/step_command.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace lumora::platform::desktops {

std::string ShellQuoted(const std::string& text) {
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return std::isalnum(c) != 0 || c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ',';
  });
  if (plain) return text;
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string StepCommand() {
  // Started through the installed launcher, the launcher is the command: it finds the program wherever the
  // installed tree lies.
  const char* launcher = std::getenv("LUMORA_LAUNCHER");
  QString command = launcher != nullptr && *launcher == '/' ? QString::fromLocal8Bit(launcher)
                                                            : QCoreApplication::applicationFilePath();
  const QString onPath = QStandardPaths::findExecutable(QStringLiteral("lumora"));
  const QString canonical = QFileInfo(command).canonicalFilePath();
  if (!onPath.isEmpty() && !canonical.isEmpty() && QFileInfo(onPath).canonicalFilePath() == canonical) {
    return "lumora --next";
  }
  return ShellQuoted(command.toLocal8Bit().toStdString()) + " --next";
}

}  // namespace lumora::platform::desktops
