// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/nm_uu.h"

#include <istream>
#include <ostream>
#include <sstream>

namespace lumora {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// UU maps each 6-bit value to 32 + value, except zero: a space would be lost by mail gateways that trim
// lines, so it goes as a back quote, as uuencode has done since the early BSDs.
char UUChar(unsigned value) {
  return value == 0 ? '`' : static_cast<char>(32 + value);
}

void EncodeLine(const unsigned char* bytes, std::size_t n, TUUMethod method, std::string& out) {
  if (method == uuCode) out += UUChar(static_cast<unsigned>(n));
  for (std::size_t i = 0; i < n; i += 3) {
    const std::size_t left = n - i;
    const unsigned b0 = bytes[i];
    const unsigned b1 = left > 1 ? bytes[i + 1] : 0;
    const unsigned b2 = left > 2 ? bytes[i + 2] : 0;
    const unsigned group[4] = {b0 >> 2, ((b0 & 0x03) << 4) | (b1 >> 4), ((b1 & 0x0F) << 2) | (b2 >> 6),
                               b2 & 0x3F};
    if (method == uuCode) {
      // UU always writes whole groups; the length character tells the reader how many bytes are real.
      for (const unsigned v : group) out += UUChar(v);
    } else {
      out += kBase64[group[0]];
      out += kBase64[group[1]];
      out += left > 1 ? kBase64[group[2]] : '=';
      out += left > 2 ? kBase64[group[3]] : '=';
    }
  }
  out += "\r\n";
}

}  // namespace

void TNMUUProcessor::Encode(std::istream& in, std::ostream& out) {
  if (OnBeginEncode) OnBeginEncode(*this);
  unsigned char line[kBytesPerLine];
  std::string encoded;
  for (;;) {
    in.read(reinterpret_cast<char*>(line), kBytesPerLine);
    const auto n = static_cast<std::size_t>(in.gcount());
    if (n == 0) break;
    encoded.clear();
    EncodeLine(line, n, method_, encoded);
    out.write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
    if (n < kBytesPerLine) break;
  }
  if (method_ == uuCode) out << UUChar(0) << "\r\n";
  if (OnEndEncode) OnEndEncode(*this);
}

std::string UUEncodeText(const std::string& data, TUUMethod method) {
  std::istringstream in(data);
  std::ostringstream out;
  TNMUUProcessor processor;
  processor.SetMethod(method);
  processor.Encode(in, out);
  return out.str();
}

}  // namespace lumora
