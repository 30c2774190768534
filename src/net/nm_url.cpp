// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/nm_url.h"

#include <exception>

namespace lumora {

std::string UrlFormEncode(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string encoded;
  encoded.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ' ') {
      encoded += '+';
    } else if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

std::string TNMURL::GetEncode() {
  try {
    return UrlFormEncode(inputString_);
  } catch (const std::exception& error) {
    if (OnError) OnError(*this, "Error during encode", error.what());
    return inputString_;
  }
}

}  // namespace lumora
