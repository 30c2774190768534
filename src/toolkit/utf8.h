// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

namespace lumora {

// Length of the well-formed UTF-8 sequence starting at text[i], or 0 if there is none (stray
// continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

}  // namespace lumora
