// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace lumora {

// The list the program saves when it ends and reads back at the next start, in the application directory.
inline constexpr const char* kAutoSavedList = "zodeveda.orl";

// List files hold one entry per line, each its bytes exactly, each line ended by CR LF. Readers take CR LF,
// a lone CR or a lone LF as a line end and keep a last line without one. Raises EFOpenError or
// EReadError when the file cannot be read.
std::vector<std::string> ReadListFile(const std::string& fileName);
// Replaces the file in one step: a failure leaves the previous list file as it was. Raises EFCreateError
// or EWriteError.
void WriteListFile(const std::string& fileName, const std::vector<std::string>& entries);

// A name holding a line break cannot be kept in a list file: it would come back as two entries.
bool HoldsLineBreak(const std::string& entry);

}  // namespace lumora
