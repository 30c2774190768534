// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace lumora {

// Decimal text to a signed 32-bit integer. Leading spaces and one sign are accepted, as the classic
// toolkit does; anything else (trailing spaces, letters, empty text, a value outside the 32-bit range)
// raises EConvertError "'<text>' is not a valid integer value".
int StrToInt(const std::string& text);

// Same rules as StrToInt, reporting failure instead of raising.
bool TryStrToInt(const std::string& text, int& value);

// StrToInt that answers defaultValue where StrToInt would raise.
int StrToIntDef(const std::string& text, int defaultValue);

std::string IntToStr(int value);

}  // namespace lumora
