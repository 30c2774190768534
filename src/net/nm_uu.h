// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace lumora {

enum TUUMethod { uuMime, uuCode };

// Encodes a byte stream for mail and request headers, in lines of 45 input bytes that each end with CR LF.
// uuMime: standard base64 (A-Z, a-z, 0-9, "+", "/", "=" padding). uuCode: the classic UU form, a length
// character before each line and a closing line of length zero.
class TNMUUProcessor {
 public:
  using TNotifyEvent = std::function<void(TNMUUProcessor& sender)>;

  static constexpr int kBytesPerLine = 45;

  void SetMethod(TUUMethod value) { method_ = value; }
  TUUMethod GetMethod() const { return method_; }

  // Reads in to its end and writes the encoded lines to out.
  void Encode(std::istream& in, std::ostream& out);

  TNotifyEvent OnBeginEncode;
  TNotifyEvent OnEndEncode;

 private:
  TUUMethod method_ = uuMime;
};

// The same encoding of a text held in memory.
std::string UUEncodeText(const std::string& data, TUUMethod method);

}  // namespace lumora
