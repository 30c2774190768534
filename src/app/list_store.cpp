// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/list_store.h"

#include "toolkit/files.h"
#include "toolkit/text_lines.h"

namespace lumora {

std::vector<std::string> ReadListFile(const std::string& fileName) {
  return LoadTextLinesFromFile(fileName);
}

void WriteListFile(const std::string& fileName, const std::vector<std::string>& entries) {
  WriteFileAtomically(fileName, JoinTextLines(entries));
}

bool HoldsLineBreak(const std::string& entry) {
  return entry.find_first_of("\r\n") != std::string::npos;
}

}  // namespace lumora
