// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace lumora {

// Form encoding of request data: a space becomes "+", digits and ASCII letters stay, every other byte
// becomes "%" and two lower-case hexadecimal digits.
class TNMURL {
 public:
  // sender, what failed ("Error during encode"), the error's own message.
  using TOnErrorEvent =
      std::function<void(TNMURL& sender, const std::string& what, const std::string& message)>;

  void SetInputString(const std::string& value) { inputString_ = value; }
  const std::string& GetInputString() const { return inputString_; }

  // The encoded form of InputString. Should encoding fail (the text is too large to expand), OnError hears
  // of it and the text comes back as it was, so a request still goes out.
  std::string GetEncode();

  TOnErrorEvent OnError;

 private:
  std::string inputString_;
};

// The encoding itself; raises std::length_error or std::bad_alloc when the result cannot be held.
std::string UrlFormEncode(const std::string& text);

}  // namespace lumora
