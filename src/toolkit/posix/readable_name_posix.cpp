// SPDX-License-Identifier: GPL-3.0-or-later
#include <iconv.h>

#include <optional>
#include <vector>

#include "toolkit/readable_name.h"
#include "toolkit/utf8.h"

namespace lumora {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The text as UTF-8 with every byte that starts no well-formed sequence replaced; valid tells whether
// there was none.
std::string SanitizedUtf8(std::string_view text, bool& valid) {
  std::string out;
  out.reserve(text.size());
  valid = true;
  while (!text.empty()) {
    const std::size_t length = Utf8SequenceLength(text, 0);
    if (length == 0) {
      valid = false;
      out += kReplacement;
      text.remove_prefix(1);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

// The text converted from GB18030, or nothing when it is not valid GB18030 throughout.
std::optional<std::string> FromGb18030(std::string_view text) {
  const iconv_t converter = ::iconv_open("UTF-8", "GB18030");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::vector<char> input(text.begin(), text.end());
  std::string out(text.size() * 2 + 4, '\0');  // two GB18030 bytes never need more than four UTF-8 bytes
  char* in = input.data();
  std::size_t inLeft = input.size();
  char* to = out.data();
  std::size_t outLeft = out.size();
  const bool converted = ::iconv(converter, &in, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1) &&
                         ::iconv(converter, nullptr, nullptr, &to, &outLeft) != static_cast<std::size_t>(-1);
  ::iconv_close(converter);
  if (!converted || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::string ReadableFileName(std::string_view bytes) {
  bool valid = true;
  std::string utf8 = SanitizedUtf8(bytes, valid);
  if (valid) return utf8;
  if (std::optional<std::string> converted = FromGb18030(bytes)) return *converted;
  return utf8;
}

}  // namespace lumora
