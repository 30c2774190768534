// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/conversion.h"

#include <cstdint>
#include <limits>

#include "toolkit/exceptions.h"

namespace lumora {

bool TryStrToInt(const std::string& text, int& value) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  // Leading spaces are skipped because the Windows build's StrToInt skipped them; text that converted
  // there (settings, hand-edited files) must keep converting here. Trailing ones it rejected, so do we.
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == n) return false;
  // The magnitude of INT32_MIN is one more than INT32_MAX, so accumulate in 64 bits and stop as soon
  // as the value can no longer fit; this also keeps a thousand-digit input from overflowing.
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<int>::min())
                                      : std::numeric_limits<int>::max();
  std::int64_t magnitude = 0;
  for (; i < n; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return false;
  }
  value = static_cast<int>(negative ? -magnitude : magnitude);
  return true;
}

int StrToInt(const std::string& text) {
  int value = 0;
  if (!TryStrToInt(text, value)) throw EConvertError("'" + text + "' is not a valid integer value");
  return value;
}

int StrToIntDef(const std::string& text, int defaultValue) {
  int value = 0;
  return TryStrToInt(text, value) ? value : defaultValue;
}

std::string IntToStr(int value) {
  return std::to_string(value);
}

}  // namespace lumora
