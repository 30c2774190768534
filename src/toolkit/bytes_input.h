// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ios>
#include <streambuf>
#include <string_view>

namespace lumora {

// Bytes already in memory as a stream buffer that can seek, read in place; the bytes must outlive it.
class BytesInput : public std::streambuf {
 public:
  explicit BytesInput(std::string_view bytes) {
    // The get area is only ever read from; streambuf simply has no const flavour.
    char* begin = const_cast<char*>(bytes.data());
    setg(begin, begin, begin + bytes.size());
  }

 protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir from, std::ios_base::openmode which) override {
    const off_type size = egptr() - eback();
    const off_type base = from == std::ios_base::beg   ? 0
                          : from == std::ios_base::cur ? gptr() - eback()
                                                       : size;
    if ((which & std::ios_base::in) == 0 || base + offset < 0 || base + offset > size) return {off_type{-1}};
    setg(eback(), eback() + base + offset, egptr());
    return {base + offset};
  }
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type{position}, std::ios_base::beg, which);
  }
};

}  // namespace lumora
