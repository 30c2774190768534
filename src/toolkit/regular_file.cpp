// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/regular_file.h"

#include <array>
#include <streambuf>

namespace lumora {

// Reads through a buffer; seeking drops what is buffered, except for asking where it stands.
class RegularFileStream::Buffer : public std::streambuf {
 public:
  explicit Buffer(const std::string& fileName) : file_(fileName) { Empty(); }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const std::int64_t got = file_.Read(buffer_.data(), buffer_.size());
    if (got <= 0) {
      Empty();
      return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

  pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                   std::ios_base::openmode which) override {
    if ((which & std::ios_base::in) == 0) return Failed();
    const std::int64_t filePosition = file_.Position();
    if (filePosition < 0) return Failed();
    // The file stands past what is still buffered.
    const std::int64_t here = filePosition - (egptr() - gptr());
    if (direction == std::ios_base::cur && offset == 0) return pos_type(here);
    std::int64_t target = 0;
    if (direction == std::ios_base::beg) {
      target = offset;
    } else if (direction == std::ios_base::cur) {
      target = here + offset;
    } else {
      const std::int64_t size = file_.Size();
      if (size < 0) return Failed();
      target = size + offset;
    }
    if (target < 0) return Failed();
    const std::int64_t now = file_.SeekTo(target);
    if (now < 0) return Failed();
    Empty();
    return pos_type(now);
  }

  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type(position), std::ios_base::beg, which);
  }

 private:
  static pos_type Failed() { return pos_type(off_type(-1)); }
  void Empty() { setg(buffer_.data(), buffer_.data(), buffer_.data()); }

  RegularFile file_;
  std::array<char, 65536> buffer_{};
};

RegularFileStream::RegularFileStream(const std::string& fileName)
    : std::istream(nullptr), buffer_(std::make_unique<Buffer>(fileName)) {
  rdbuf(buffer_.get());
}

RegularFileStream::~RegularFileStream() = default;

}  // namespace lumora
