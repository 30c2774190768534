// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lumora {

// A list of text lines with lookup by header name, for request headers of the form name ":" value.
// Kept in insertion order unless Sorted is set; a sorted list keeps its lines in case-insensitive order
// and inserts new ones where they belong.
class TExStringList {
 public:
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& operator[](int index) const { return lines_.at(static_cast<std::size_t>(index)); }
  const std::vector<std::string>& Lines() const { return lines_; }

  // Appends (or, sorted, inserts in order) and answers the line's index.
  int Add(const std::string& line);
  void Delete(int index);
  void Clear() { lines_.clear(); }

  // Turning sorting on sorts the lines now.
  void SetSorted(bool value);
  bool GetSorted() const { return sorted_; }

  // Every line followed by CR LF.
  std::string Text() const;

  // The first line whose text before its first ":" equals name, ignoring letter case; -1 when there is
  // none. Lines without ":" never match.
  int IndexOfHeader(const std::string& name) const;
  // A non-empty value replaces the line found (or adds one) as name + ": " + value; an empty value deletes
  // the line found.
  void SetHeader(const std::string& name, const std::string& value);

 private:
  std::vector<std::string> lines_;
  bool sorted_ = false;
};

}  // namespace lumora
