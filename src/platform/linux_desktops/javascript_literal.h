// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace lumora::platform {

// text (UTF-8) as a single-quoted JavaScript string literal that evaluates to exactly that text. The
// literal is plain ASCII: quotes, backslashes, control characters, line and paragraph separators and
// everything beyond ASCII are escaped, so no script engine or transport can read it differently. A byte
// that does not belong to valid UTF-8 becomes U+FFFD.
std::string JavaScriptStringLiteral(std::string_view text);

}  // namespace lumora::platform
