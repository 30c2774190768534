// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_desktops/javascript_literal.h"

#include <cstdio>

namespace lumora::platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point that starts at text[pos], advancing pos past it; malformed, overlong and surrogate
// sequences give U+FFFD for their first byte only, as decoders commonly do.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return value;
}

void AppendUnitEscape(std::string& out, char32_t unit) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(unit));
  out += buffer;
}

}  // namespace

std::string JavaScriptStringLiteral(std::string_view text) {
  std::string out = "'";
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = NextCodePoint(text, pos);
    if (c == '\'' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c <= 0xFFFF) {
      AppendUnitEscape(out, c);
    } else {
      // Beyond the basic plane JavaScript strings hold UTF-16 surrogate pairs.
      const char32_t offset = c - 0x10000;
      AppendUnitEscape(out, 0xD800 + (offset >> 10));
      AppendUnitEscape(out, 0xDC00 + (offset & 0x3FF));
    }
  }
  out += '\'';
  return out;
}

}  // namespace lumora::platform
