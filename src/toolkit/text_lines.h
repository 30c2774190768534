// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// Splits text the way a string list does: CR LF, a lone CR and a lone LF each end a line, so
// "a\r\n\r\nb" -> {"a", "", "b"} and "\n\r" is two line ends. A last line without an end still counts;
// a final line end adds no empty line ("a\n" -> {"a"}, "" -> {}, "\r\n" -> {""}).
std::vector<std::string> SplitTextLines(std::string_view text);

// Each line followed by CR LF: the text a string list saves.
std::string JoinTextLines(const std::vector<std::string>& lines);

// Reads a whole file and splits it with SplitTextLines. A UTF-8 byte-order mark at the start is
// dropped so that files saved by Windows editors do not glue it onto the first line. Raises EFOpenError
// when the file cannot be opened (missing, a directory, no permission) and EReadError when reading fails.
std::vector<std::string> LoadTextLinesFromFile(const std::string& fileName);

// Writes JoinTextLines(lines) over the file, in place. Raises EFCreateError when the file cannot be
// created and EWriteError when any part of the text does not reach it.
void SaveTextLinesToFile(const std::string& fileName, const std::vector<std::string>& lines);

}  // namespace lumora
