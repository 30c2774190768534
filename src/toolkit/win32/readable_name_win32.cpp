// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "toolkit/readable_name.h"

namespace lumora {

// On Windows every name the program meets came through the "A" calls or from list files written by them,
// so its bytes are the ANSI code page's (GBK on a Chinese system). Guessing between UTF-8 and GB18030, as
// elsewhere, would misread some of them: a GBK name can happen to be valid UTF-8. So the name is read in
// that code page, through UTF-16, exactly as the system itself shows it; a byte that code page does not
// define becomes the system's default character rather than failing the name.
std::string ReadableFileName(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (wideLength <= 0) return std::string(bytes);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), wideLength);
  const int utf8Length =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
  return utf8;
}

}  // namespace lumora
