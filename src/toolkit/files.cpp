// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/files.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <utility>
#include <vector>

#include "toolkit/exceptions.h"
#include "toolkit/file_system.h"
#include "toolkit/regular_file.h"

namespace lumora {

namespace file_system {

namespace {

std::string Quoted(const std::string& fileName) {
  return "\"" + fileName + "\"";
}

}  // namespace

std::string OpenErrorText(const std::string& fileName, const std::string& reason) {
  return "Cannot open file " + Quoted(fileName) + ". " + reason;
}

std::string CreateErrorText(const std::string& fileName, const std::string& reason) {
  return "Cannot create file " + Quoted(fileName) + ". " + reason;
}

std::string WriteErrorText(const std::string& fileName, const std::string& reason) {
  return "Error writing file " + Quoted(fileName) + ". " + reason;
}

std::string ReadErrorText(const std::string& fileName, const std::string& reason) {
  return "Error reading file " + Quoted(fileName) + ". " + reason;
}

}  // namespace file_system

namespace {

using file_system::ByteSink;
using file_system::ContentWriter;

std::size_t LastSeparator(const std::string& fileName) {
  return fileName.find_last_of(kPathSeparators);
}

// Folds ASCII letters only, as the file name masks of the program do.
std::string FoldCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::string ExtractFileExt(const std::string& fileName) {
  std::string delimiters(kPathSeparators);
  delimiters += '.';
  const std::size_t pos = fileName.find_last_of(delimiters);
  if (pos == std::string::npos || fileName[pos] != '.') return {};
  return fileName.substr(pos);
}

std::string ExtractFileName(const std::string& fileName) {
  const std::size_t pos = LastSeparator(fileName);
  return pos == std::string::npos ? fileName : fileName.substr(pos + 1);
}

std::string ExtractFilePath(const std::string& fileName) {
  const std::size_t pos = LastSeparator(fileName);
  return pos == std::string::npos ? std::string() : fileName.substr(0, pos + 1);
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (path.empty() || kPathSeparators.find(path.back()) != std::string_view::npos) return path;
  return path + kPathDelimiter;
}

std::string ReadFileText(const std::string& fileName) {
  RegularFile file(fileName);
  std::string text;
  if (const std::int64_t size = file.Size(); size > 0) text.reserve(static_cast<std::size_t>(size));
  std::vector<char> buffer(65536);
  for (;;) {
    const std::int64_t got = file.Read(buffer.data(), buffer.size());
    if (got == 0) break;
    if (got < 0) throw EReadError(file_system::ReadErrorText(fileName, file.FailureReason()));
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
  return text;
}

namespace {

// An output stream's buffer over an open file, keeping the first error the system reported.
class FileBuffer : public std::streambuf {
 public:
  explicit FileBuffer(const ByteSink& sink) : sink_(sink) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  // Writes what is buffered; the first error met, 0 when none.
  int Finish() {
    Drain();
    return error_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (Drain() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    // Large blocks (a picture's rows) go straight to the file instead of through the buffer.
    if (size < static_cast<std::streamsize>(buffer_.size())) return std::streambuf::xsputn(data, size);
    if (Drain() != 0) return 0;
    error_ = sink_(std::string_view(data, static_cast<std::size_t>(size)));
    return error_ == 0 ? size : 0;
  }
  int sync() override { return Drain() == 0 ? 0 : -1; }

 private:
  int Drain() {
    if (error_ == 0 && pptr() > pbase()) {
      error_ = sink_(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return error_;
  }

  const ByteSink& sink_;
  int error_ = 0;
  std::array<char, 65536> buffer_{};
};

ContentWriter WriterOf(std::string_view contents) {
  return [contents](const ByteSink& sink) { return sink(contents); };
}

}  // namespace

void WriteFileText(const std::string& fileName, std::string_view contents) {
  file_system::WriteFileWith(fileName, WriterOf(contents));
}

void WriteFileAtomically(const std::string& fileName, std::string_view contents, unsigned newFileMode) {
  file_system::ReplaceFileWith(fileName, WriterOf(contents), newFileMode);
}

void WriteFileAtomically(const std::string& fileName, const std::function<void(std::ostream&)>& write,
                         unsigned newFileMode) {
  file_system::ReplaceFileWith(
      fileName,
      [&write](const ByteSink& sink) {
        FileBuffer buffer(sink);
        std::ostream out(&buffer);
        write(out);
        return buffer.Finish();
      },
      newFileMode);
}

std::vector<std::string> FindFileNames(const std::string& folder, const std::string& mask) {
  std::vector<std::pair<std::string, std::string>> found;  // folded name, name
  for (std::string& name : file_system::NamesMatching(folder, mask)) {
    std::string folded = FoldCase(name);
    found.emplace_back(std::move(folded), std::move(name));
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  names.reserve(found.size());
  for (auto& [folded, name] : found) names.push_back(std::move(name));
  return names;
}

}  // namespace lumora
