// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// The characters that end a directory or drive part of a file name. The program's file names were
// written for Windows, where '\\' and the drive colon count too; on Linux those are ordinary characters.
#ifdef _WIN32
inline constexpr char kPathDelimiter = '\\';
inline constexpr std::string_view kPathSeparators = "\\/:";
#else
inline constexpr char kPathDelimiter = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

// True for an existing regular file, or a symbolic link that leads to one; false for directories,
// devices, dangling links and anything that cannot be examined.
bool FileExists(const std::string& fileName);

// True when anything stands at that name: a file, a folder, a device, or a symbolic link, even one that
// leads nowhere.
bool PathExists(const std::string& fileName);

// The extension, dot included, taken from the last dot after the last separator: "x.tar.gz" -> ".gz",
// ".bashrc" -> ".bashrc", "a/b.c/d" -> "". No dot gives empty text.
std::string ExtractFileExt(const std::string& fileName);

// The part after the last separator, and the part up to and including it.
std::string ExtractFileName(const std::string& fileName);
std::string ExtractFilePath(const std::string& fileName);

// Appends kPathDelimiter unless the text already ends with a separator. Empty text stays empty, so a
// missing directory does not silently become the root.
std::string IncludeTrailingPathDelimiter(const std::string& path);

// The whole content of a regular file, opened as RegularFile opens it, so opening never waits. Raises
// EFOpenError when it cannot be opened (missing, no permission, a folder, a pipe, a device) and EReadError
// when reading fails part-way.
std::string ReadFileText(const std::string& fileName);

// Writes contents over the file in place. Raises EFCreateError when it cannot be created or truncated
// and EWriteError when any part of the contents does not reach it.
void WriteFileText(const std::string& fileName, std::string_view contents);

// Replaces the file as one step: the contents go to a new file in the same directory, are flushed to
// disk and then renamed over the old one, so readers (and a crash) see either the old file or the new
// one, never a mixture. An existing file keeps its permissions; a new one gets newFileMode less the
// umask. A symbolic link is followed: the file it leads to is the one replaced (created when the link
// dangles), and the link stays. Raises EFCreateError or EWriteError; on failure the old file is
// untouched and no temporary file remains.
//
// A folder that may not be written to can still hold a file that may: that file is then written in
// place, as WriteFileText does, because nothing better is allowed there.
void WriteFileAtomically(const std::string& fileName, std::string_view contents, unsigned newFileMode = 0666);
// The same, with the contents put into a stream by write (a picture saved row by row, say). What write
// raises ends the replacement with the old file untouched and passes on.
void WriteFileAtomically(const std::string& fileName, const std::function<void(std::ostream&)>& write,
                         unsigned newFileMode = 0666);

// The names in a folder that match a mask of '*' and '?' wildcards, ignoring letter case, of every kind
// of entry (files, folders, hidden names, links) except "." and "..". They come sorted as a
// case-insensitive file system lists them: by name with letter case folded, then by the exact bytes.
// A folder that cannot be read gives no names.
std::vector<std::string> FindFileNames(const std::string& folder, const std::string& mask);

// The working directory, whatever its length; empty text if it cannot be determined (for example
// when it has been deleted).
std::string GetCurrentDir();

}  // namespace lumora
