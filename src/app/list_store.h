#pragma once

#include <QStringList>
#include <string>

namespace lumora {

// The list the program saves when it ends and reads back at the next start, in the application directory.
inline constexpr const char* kAutoSavedList = "zodeveda.orl";

// List files hold one path per line, each line ended by CR LF. Paths are kept as the file system's own
// bytes, so names in any encoding come back unchanged.
QStringList ReadListFile(const std::string& fileName);
// Replaces the file in one step: a failure leaves the previous list file as it was.
void WriteListFile(const std::string& fileName, const QStringList& entries);

}  // namespace lumora
