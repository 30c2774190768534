#include "app/list_store.h"

#include <QFile>

#include "toolkit/files.h"
#include "toolkit/text_lines.h"

namespace lumora {

QStringList ReadListFile(const std::string& fileName) {
  QStringList entries;
  for (const std::string& line : SplitTextLines(ReadFileText(fileName))) {
    entries << QFile::decodeName(QByteArray::fromStdString(line));
  }
  return entries;
}

void WriteListFile(const std::string& fileName, const QStringList& entries) {
  std::vector<std::string> lines;
  lines.reserve(entries.size());
  for (const QString& entry : entries) lines.push_back(QFile::encodeName(entry).toStdString());
  WriteFileAtomically(fileName, JoinTextLines(lines));
}

}  // namespace lumora
