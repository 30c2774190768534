// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace lumora {

// A file name's bytes as text a person can read, in UTF-8. A file name is bytes, not always valid
// UTF-8: lists written on Chinese Windows hold GBK names, and so do folders unpacked without
// conversion. UTF-8 names come back as they are; names that are valid GB18030 (the superset of GBK)
// are converted from it; anything else shows each undecodable byte as U+FFFD. Only for showing: the
// bytes themselves are what the program keeps and opens. On Windows every name is in the ANSI code page
// and is read in it, as the system shows it.
std::string ReadableFileName(std::string_view bytes);

}  // namespace lumora
