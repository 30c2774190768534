// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/text_lines.h"

#include "toolkit/files.h"

namespace lumora {

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.emplace_back(text.substr(start, i - start));
    i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> LoadTextLinesFromFile(const std::string& fileName) {
  const std::string text = ReadFileText(fileName);
  std::string_view view(text);
  if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
  return SplitTextLines(view);
}

void SaveTextLinesToFile(const std::string& fileName, const std::vector<std::string>& lines) {
  WriteFileText(fileName, JoinTextLines(lines));
}

}  // namespace lumora
