// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The half of files.cpp that asks the operating system, one implementation per system (posix/, win32/).
// What is the same everywhere (names taken apart, a stream over a file, the sorting of a folder's names)
// stays in files.cpp on top of these.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::file_system {

// Writes all the bytes to the open file or returns the system's error number that stopped it (0 when done).
using ByteSink = std::function<int(std::string_view bytes)>;
// Puts a whole file's contents into a sink; returns the error number that stopped it, 0 when done.
using ContentWriter = std::function<int(const ByteSink& sink)>;

// The failure texts of the file functions, with the system's words for the reason.
std::string OpenErrorText(const std::string& fileName, const std::string& reason);
std::string CreateErrorText(const std::string& fileName, const std::string& reason);
std::string WriteErrorText(const std::string& fileName, const std::string& reason);
std::string ReadErrorText(const std::string& fileName, const std::string& reason);

// WriteFileText and WriteFileAtomically for any writer of contents (files.h says what they promise).
void WriteFileWith(const std::string& fileName, const ContentWriter& write);
void ReplaceFileWith(const std::string& fileName, const ContentWriter& write, unsigned newFileMode);

// The names in a folder (not "." and "..") that match the mask, ignoring letter case, in the order the
// system lists them; none when the folder cannot be read.
std::vector<std::string> NamesMatching(const std::string& folder, const std::string& mask);

}  // namespace lumora::file_system
