#include "toolkit/readable_name.h"

#include <iconv.h>

#include <optional>
#include <vector>

namespace lumora {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of text, 0 when there is none: no
// overlong forms, no surrogates, nothing beyond U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// The text as UTF-8 with every byte that starts no well-formed sequence replaced; valid tells whether
// there was none.
std::string SanitizedUtf8(std::string_view text, bool& valid) {
  std::string out;
  out.reserve(text.size());
  valid = true;
  while (!text.empty()) {
    const std::size_t length = Utf8SequenceLength(text);
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
