// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ex_string_list.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string_view>

namespace lumora {

namespace {

// Negative, zero or positive as a sorts before, with or after b, ignoring ASCII letter case.
int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool LessText(const std::string& a, const std::string& b) {
  return CompareText(a, b) < 0;
}

}  // namespace

int TExStringList::Add(const std::string& line) {
  if (!sorted_) {
    lines_.push_back(line);
    return Count() - 1;
  }
  const auto at = std::upper_bound(lines_.begin(), lines_.end(), line, LessText);
  return static_cast<int>(lines_.insert(at, line) - lines_.begin());
}

void TExStringList::Delete(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("list index out of bounds");
  lines_.erase(lines_.begin() + index);
}

void TExStringList::SetSorted(bool value) {
  if (value && !sorted_) std::stable_sort(lines_.begin(), lines_.end(), LessText);
  sorted_ = value;
}

std::string TExStringList::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

int TExStringList::IndexOfHeader(const std::string& name) const {
  if (!sorted_) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const std::size_t colon = lines_[i].find(':');
      if (colon != std::string::npos &&
          CompareText(std::string_view(lines_[i]).substr(0, colon), name) == 0) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  if (name.find(':') != std::string::npos) return -1;  // the text before a first colon holds none
  // Lines sorted by their whole text are also in order by the text before their colon only when no name is
  // a prefix of another; the binary search narrows to the first candidate and a short scan settles it.
  auto at = std::lower_bound(lines_.begin(), lines_.end(), name, LessText);
  for (; at != lines_.end(); ++at) {
    const std::string_view line(*at);
    if (CompareText(line.substr(0, std::min(line.size(), name.size())), name) != 0) break;
    if (line.size() > name.size() && line[name.size()] == ':') return static_cast<int>(at - lines_.begin());
  }
  return -1;
}

void TExStringList::SetHeader(const std::string& name, const std::string& value) {
  const int index = IndexOfHeader(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  const std::string line = name + ": " + value;
  if (index < 0) {
    Add(line);
  } else if (sorted_) {
    // The new text may belong elsewhere in the order.
    Delete(index);
    Add(line);
  } else {
    lines_[static_cast<std::size_t>(index)] = line;
  }
}

}  // namespace lumora
