// SPDX-License-Identifier: GPL-3.0-or-later
// Windows BMP files for TBitmap.
//
// The reader takes the variants people really have on disk: OS/2 1.x core headers, the Windows 3 info header
// and its V2 to V5 extensions; 1, 4, 8 (palette), 16, 24 and 32 bits; RLE8 and RLE4. Every header field is
// treated as hostile: sizes are checked before anything is allocated, all arithmetic on them happens in
// 64 bits, and the pixel decoders never index outside the buffers they were given.
// The writer always produces the most widely understood form: a 40-byte info header, 8-bit palette or 24-bit
// pixels, no compression.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <ios>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/bytes_input.h"
#include "toolkit/exceptions.h"
#include "toolkit/pixel_rows.h"

namespace lumora {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV2HeaderSize = 52;
constexpr std::uint32_t kV3HeaderSize = 56;
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kV5HeaderSize = 124;

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;
constexpr std::uint32_t kBiAlphaBitfields = 6;

// 72 dots per inch, the resolution most programs write and none really uses.
constexpr std::uint32_t kPixelsPerMetre = 2835;

[[noreturn]] void Invalid(const std::string& reason) {
  throw EInvalidGraphic("Bitmap image is not valid: " + reason);
}

std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// Reads exact byte counts and knows how far into the BMP it is, because the pixel offset in the file header
// counts from the start of the BMP, not from the start of the stream. It never reads ahead: a BMP embedded
// in a larger stream leaves the stream just after the bytes the picture needed.
class BmpInput {
 public:
  explicit BmpInput(std::istream& in) : in_(in) {}

  std::uint64_t Position() const { return position_; }

  void Read(void* dest, std::size_t count, const char* part) {
    if (count == 0) return;
    std::streamsize got = 0;
    try {
      in_.read(static_cast<char*>(dest), static_cast<std::streamsize>(count));
      got = in_.gcount();
    } catch (const std::ios_base::failure&) {
      got = -1;
    }
    if (got != static_cast<std::streamsize>(count)) Invalid(std::string("the file ends inside the ") + part);
    position_ += count;
  }

  void SkipTo(std::uint64_t offset, const char* part) {
    if (offset < position_) Invalid(std::string("the ") + part + " offset points back into the headers");
    std::uint64_t left = offset - position_;
    // In steps, because streamsize arithmetic on a hostile 4 GB offset is not worth trusting.
    constexpr std::uint64_t kStep = std::uint64_t{1} << 24;
    while (left > 0) {
      const auto step = static_cast<std::streamsize>(std::min(left, kStep));
      std::streamsize got = 0;
      try {
        in_.ignore(step);
        got = in_.gcount();
      } catch (const std::ios_base::failure&) {
        got = -1;
      }
      if (got != step) Invalid(std::string("the ") + part + " offset lies past the end of the file");
      left -= static_cast<std::uint64_t>(step);
    }
    position_ = offset;
  }

  // A place to come back to, on streams that can seek.
  struct Mark {
    std::streampos stream;
    std::uint64_t position;
  };
  std::optional<Mark> Here() {
    try {
      if (!in_) return std::nullopt;
      const std::streampos here = in_.tellg();
      if (here == std::streampos(-1)) return std::nullopt;
      return Mark{here, position_};
    } catch (const std::ios_base::failure&) {
      return std::nullopt;
    }
  }
  void Rewind(const Mark& mark) {
    try {
      in_.clear();
      in_.seekg(mark.stream);
    } catch (const std::ios_base::failure&) {
    }
    if (!in_) Invalid("the stream cannot go back to the pixel data");
    position_ = mark.position;
  }

  // The bytes left in a stream that can tell; the maximum when it cannot (a pipe, say).
  std::uint64_t Remaining() {
    constexpr auto kUnknown = std::numeric_limits<std::uint64_t>::max();
    try {
      if (!in_) return kUnknown;
      const std::streampos here = in_.tellg();
      if (here == std::streampos(-1)) return kUnknown;
      in_.seekg(0, std::ios::end);
      const std::streampos end = in_.tellg();
      in_.clear();
      in_.seekg(here);
      if (!in_ || end == std::streampos(-1) || end < here) return kUnknown;
      return static_cast<std::uint64_t>(end - here);
    } catch (const std::ios_base::failure&) {
      in_.clear();
      return kUnknown;
    }
  }

 private:
  std::istream& in_;
  std::uint64_t position_ = 0;
};

// One colour channel of a 16- or 32-bit pixel, widened or narrowed to 8 bits through a table. Narrow
// channels repeat their bits (5-bit 31 becomes 255, as 0x1F of 5-5-5 is full intensity everywhere), wide
// ones keep their top 8 bits. Masks from the file may be anything, even non-contiguous; the index into the
// table can never exceed the largest masked value.
class Channel {
 public:
  explicit Channel(std::uint32_t mask) : mask_(mask) {
    if (mask == 0) {
      table_.assign(1, 0);
      return;
    }
    shift_ = static_cast<unsigned>(std::countr_zero(mask));
    std::uint32_t max = mask >> shift_;
    int bits = std::bit_width(max);
    // Channels wider than 16 bits lose their low bits first, which keeps the table small.
    if (bits > 16) {
      reduce_ = static_cast<unsigned>(bits - 16);
      max >>= reduce_;
      bits = 16;
    }
    table_.resize(std::size_t{max} + 1);
    for (std::uint32_t v = 0; v <= max; ++v) table_[v] = Widen(v, bits);
  }

  std::uint8_t operator()(std::uint32_t pixel) const {
    return table_[((pixel & mask_) >> shift_) >> reduce_];
  }

 private:
  static std::uint8_t Widen(std::uint32_t value, int bits) {
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    std::uint32_t out = 0;
    for (int at = 8 - bits; at > -bits; at -= bits) out |= at >= 0 ? value << at : value >> -at;
    return static_cast<std::uint8_t>(out);
  }

  std::uint32_t mask_;
  unsigned shift_ = 0;
  unsigned reduce_ = 0;
  std::vector<std::uint8_t> table_;
};

// What the headers say about the picture, checked for consistency.
struct BmpLayout {
  std::uint32_t pixelOffset = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;  // always positive here; topDown tells the row order
  bool topDown = false;
  unsigned bits = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colorsUsed = 0;
  bool core = false;                     // OS/2 1.x: three-byte palette entries
  std::array<std::uint32_t, 3> masks{};  // red, green, blue

  bool Indexed() const { return bits <= 8; }
  std::uint64_t RowBytes() const {
    return (std::uint64_t{static_cast<std::uint32_t>(width)} * bits + 31) / 32 * 4;
  }
};

bool KnownHeaderSize(std::uint32_t size) {
  return size == kCoreHeaderSize || size == kInfoHeaderSize || size == kV2HeaderSize ||
         size == kV3HeaderSize || size == kV4HeaderSize || size == kV5HeaderSize;
}

void CheckFormat(const BmpLayout& layout) {
  const unsigned bits = layout.bits;
  if (layout.core) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
      Invalid(std::to_string(bits) + " bits per pixel are not possible with an OS/2 header");
    }
    return;
  }
  switch (layout.compression) {
    case kBiRgb:
      if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        Invalid(std::to_string(bits) + " bits per pixel are not supported");
      }
      break;
    case kBiRle8:
    case kBiRle4:
      if (bits != (layout.compression == kBiRle8 ? 8u : 4u)) {
        Invalid("RLE compression does not fit " + std::to_string(bits) + " bits per pixel");
      }
      // Run-length data has no row order of its own but bottom-up; Windows refuses the combination too.
      if (layout.topDown) Invalid("RLE compressed bitmaps cannot be top-down");
      break;
    case kBiBitfields:
    case kBiAlphaBitfields:
      if (bits != 16 && bits != 32) {
        Invalid("colour masks do not fit " + std::to_string(bits) + " bits per pixel");
      }
      break;
    case kBiJpeg:
      Invalid("JPEG compressed bitmaps are not supported");
    case kBiPng:
      Invalid("PNG compressed bitmaps are not supported");
    default:
      Invalid("unknown compression " + std::to_string(layout.compression));
  }
}

// Reads both headers (and the colour masks that follow a 40-byte header) and leaves the input at the colour
// table.
BmpLayout ReadHeaders(BmpInput& in) {
  std::array<std::uint8_t, kFileHeaderSize + 4> start{};
  in.Read(start.data(), start.size(), "file header");
  if (start[0] != 'B' || start[1] != 'M') Invalid("it does not start with \"BM\"");
  BmpLayout layout;
  layout.pixelOffset = Get32(&start[10]);
  const std::uint32_t headerSize = Get32(&start[14]);
  if (!KnownHeaderSize(headerSize)) Invalid("unknown bitmap header size " + std::to_string(headerSize));

  std::array<std::uint8_t, kV5HeaderSize> h{};
  Put32(h.data(), headerSize);
  in.Read(h.data() + 4, headerSize - 4, "bitmap header");

  if (headerSize == kCoreHeaderSize) {
    layout.core = true;
    layout.width = Get16(&h[4]);
    layout.height = Get16(&h[6]);
    layout.bits = Get16(&h[10]);
  } else {
    layout.width = static_cast<std::int32_t>(Get32(&h[4]));
    const auto height = static_cast<std::int32_t>(Get32(&h[8]));
    if (height == std::numeric_limits<std::int32_t>::min()) Invalid("the height is out of range");
    layout.topDown = height < 0;
    layout.height = height < 0 ? -height : height;
    layout.bits = Get16(&h[14]);
    layout.compression = Get32(&h[16]);
    layout.colorsUsed = Get32(&h[32]);
  }
  if (layout.width <= 0) Invalid("the width is " + std::to_string(layout.width));
  if (layout.height == 0) Invalid("the height is 0");
  CheckFormat(layout);

  if (layout.compression == kBiBitfields || layout.compression == kBiAlphaBitfields) {
    if (headerSize == kInfoHeaderSize) {
      // The masks follow the 40-byte header; the alpha mask is only there for BI_ALPHABITFIELDS.
      std::array<std::uint8_t, 16> masks{};
      in.Read(masks.data(), layout.compression == kBiAlphaBitfields ? 16 : 12, "colour masks");
      for (int i = 0; i < 3; ++i) layout.masks[i] = Get32(&masks[4 * i]);
    } else {
      for (int i = 0; i < 3; ++i) layout.masks[i] = Get32(&h[40 + 4 * i]);
    }
  } else if (layout.bits == 16) {
    layout.masks = {0x7C00, 0x03E0, 0x001F};
  } else if (layout.bits == 32) {
    layout.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }
  return layout;
}

// Reads the colour table of a palette picture. Writers disagree on how many entries they store, so the room
// before the pixel data has the last word: entries that would overlap the pixels are not read.
TPalette ReadPalette(BmpInput& in, const BmpLayout& layout) {
  if (layout.pixelOffset < in.Position()) Invalid("the pixel data offset points into the headers");
  if (!layout.Indexed()) return {};
  const std::uint32_t maxEntries = std::uint32_t{1} << layout.bits;
  std::uint32_t entries = layout.colorsUsed == 0 ? maxEntries : std::min(layout.colorsUsed, maxEntries);
  const std::uint32_t entrySize = layout.core ? 3 : 4;
  const std::uint64_t room = (layout.pixelOffset - in.Position()) / entrySize;
  entries = static_cast<std::uint32_t>(std::min<std::uint64_t>(entries, room));

  std::vector<std::uint8_t> raw(std::size_t{entries} * entrySize);
  in.Read(raw.data(), raw.size(), "colour table");
  TPalette palette(entries);
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = &raw[std::size_t{i} * entrySize];
    palette[i] = {e[2], e[1], e[0], 0};
  }
  return palette;
}

void CheckFits(const BmpLayout& layout, TPixelFormat format) {
  const std::size_t stride = TBitmap::StrideFor(layout.width, format);
  if (stride > TBitmap::kMaxPixelBytes / static_cast<std::size_t>(layout.height)) {
    throw EOutOfResources("Bitmap image is too large: " + std::to_string(layout.width) + " x " +
                          std::to_string(layout.height) + " pixels");
  }
}

void UnpackIndexes(const std::uint8_t* src, std::uint8_t* dst, int width, unsigned bits) {
  switch (bits) {
    case 8:
      std::memcpy(dst, src, static_cast<std::size_t>(width));
      break;
    case 4:
      for (int x = 0; x < width; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
      break;
    case 1:
      for (int x = 0; x < width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
      break;
  }
}

class MaskedPixels {
 public:
  explicit MaskedPixels(const BmpLayout& layout)
      : bits_(layout.bits), red_(layout.masks[0]), green_(layout.masks[1]), blue_(layout.masks[2]) {}

  void Convert(const std::uint8_t* src, std::uint8_t* dst, int width) const {
    for (int x = 0; x < width; ++x, dst += 3) {
      std::uint32_t pixel;
      if (bits_ == 16) {
        pixel = Get16(src);
        src += 2;
      } else {
        pixel = Get32(src);
        src += 4;
      }
      dst[0] = blue_(pixel);
      dst[1] = green_(pixel);
      dst[2] = red_(pixel);
    }
  }

 private:
  unsigned bits_;
  Channel red_;
  Channel green_;
  Channel blue_;
};

// Rows are read this many pixels at a time (a multiple of 8, so that pieces of 1- and 4-bit rows start on a
// byte). A stream that cannot tell its length gives no early warning of a header that lies, and a row of a
// wide picture can take more than a gigabyte: the buffer must not grow with the header's claims.
constexpr int kPiecePixels = 4096;

// Returns the highest palette index in the picture (0 for 16 to 32 bits).
std::uint8_t ReadUncompressed(BmpInput& in, const BmpLayout& layout, TBitmap& bitmap) {
  const bool plainRgb32 =
      layout.bits == 32 && layout.masks == std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
  const MaskedPixels masked(layout.bits == 16 || (layout.bits == 32 && !plainRgb32) ? layout : BmpLayout{});
  const int width = layout.width;
  const std::uint64_t usedBytes = (std::uint64_t{static_cast<std::uint32_t>(width)} * layout.bits + 7) / 8;
  const auto paddingBytes = static_cast<std::size_t>(layout.RowBytes() - usedBytes);
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(kPiecePixels) * layout.bits / 8);
  std::array<std::uint8_t, 4> padding{};
  std::uint8_t highest = 0;
  for (int y = 0; y < layout.height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(layout.topDown ? y : layout.height - 1 - y);
    for (int left = 0; left < width; left += kPiecePixels) {
      const int count = std::min(kPiecePixels, width - left);
      in.Read(piece.data(), (static_cast<std::size_t>(count) * layout.bits + 7) / 8, "pixel data");
      const std::uint8_t* src = piece.data();
      if (layout.Indexed()) {
        std::uint8_t* dst = row + left;
        UnpackIndexes(src, dst, count, layout.bits);
        highest = std::max(highest, *std::max_element(dst, dst + count));
        continue;
      }
      std::uint8_t* dst = row + std::size_t{3} * static_cast<std::size_t>(left);
      if (layout.bits == 24) {
        std::memcpy(dst, src, static_cast<std::size_t>(count) * 3);
      } else if (plainRgb32) {
        for (int x = 0; x < count; ++x, src += 4, dst += 3) std::memcpy(dst, src, 3);
      } else {
        masked.Convert(src, dst, count);
      }
    }
    in.Read(padding.data(), paddingBytes, "pixel data");
  }
  return highest;
}

// Run-length data: pairs of (count, colour) and escapes for end of line, end of bitmap, a jump (delta) and
// literal ("absolute") runs padded to 16 bits. Rows count from the bottom. Pixels the data skips stay 0.
// Without a bitmap, only checks the data. Returns the highest palette index in the picture.
std::uint8_t ReadRunLength(BmpInput& in, const BmpLayout& layout, TBitmap* bitmap) {
  const std::int64_t width = layout.width;
  const std::int64_t height = layout.height;
  const bool nibbles = layout.bits == 4;
  // Encoders compress the stored rows, padding included (ImageMagick does), so runs may reach into the
  // padding; those pixels are dropped. A run beyond the padding means the data is damaged.
  const std::int64_t rowEnd = nibbles ? (width + 7) / 8 * 8 : (width + 3) / 4 * 4;
  std::int64_t x = 0;
  std::int64_t y = 0;
  std::array<std::uint8_t, 256> literal{};
  std::uint8_t highest = 0;  // where the data paints nothing, the pixels are 0
  // Checks a run of count pixels at the current place and moves past it. Returns where the visible part of
  // the run goes and how long it is: nothing when only checking, or for a run in the padding.
  auto place = [&](int count) -> std::pair<std::uint8_t*, int> {
    if (y >= height || count > rowEnd - x) Invalid("the RLE data runs past the edge of the picture");
    std::pair<std::uint8_t*, int> visible{nullptr, 0};
    if (bitmap != nullptr && x < width) {
      visible = {bitmap->ScanLine(static_cast<int>(height - 1 - y)) + x,
                 static_cast<int>(std::min<std::int64_t>(width - x, count))};
    }
    x += count;
    return visible;
  };
  for (;;) {
    std::array<std::uint8_t, 2> code{};
    in.Read(code.data(), 2, "RLE data");
    if (code[0] > 0) {
      const auto [dst, visible] = place(code[0]);
      if (visible == 0) continue;
      if (nibbles) {
        for (int i = 0; i < visible; ++i) dst[i] = (i & 1) ? (code[1] & 0x0F) : (code[1] >> 4);
      } else {
        std::memset(dst, code[1], static_cast<std::size_t>(visible));
      }
      highest = std::max(highest, *std::max_element(dst, dst + visible));
      continue;
    }
    switch (code[1]) {
      case 0:  // end of line
        x = 0;
        if (++y > height) Invalid("the RLE data has more rows than the picture");
        break;
      case 1:  // end of bitmap
        return highest;
      case 2: {  // delta: move right and up
        std::array<std::uint8_t, 2> delta{};
        in.Read(delta.data(), 2, "RLE data");
        x += delta[0];
        y += delta[1];
        if (x > rowEnd || y > height) Invalid("an RLE jump leaves the picture");
        break;
      }
      default: {  // absolute run
        const int count = code[1];
        const int bytes = nibbles ? (count + 1) / 2 : count;
        in.Read(literal.data(), static_cast<std::size_t>((bytes + 1) & ~1), "RLE data");
        const auto [dst, visible] = place(count);
        if (visible == 0) break;
        if (nibbles) {
          UnpackIndexes(literal.data(), dst, visible, 4);
        } else {
          std::memcpy(dst, literal.data(), static_cast<std::size_t>(visible));
        }
        highest = std::max(highest, *std::max_element(dst, dst + visible));
        break;
      }
    }
  }
}

// Pixels may name colours the file's table does not have. Black entries up to the largest index in use keep
// everyone who looks indexes up in the palette inside it.
void CoverIndex(std::uint8_t highest, TPalette& palette) {
  if (highest >= palette.size()) palette.resize(std::size_t{highest} + 1);
}

class BmpOutput {
 public:
  explicit BmpOutput(std::ostream& out) : out_(out) {}

  void Write(const void* data, std::size_t count) {
    if (count == 0) return;
    try {
      out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(count));
    } catch (const std::ios_base::failure&) {
      Fail();
    }
    if (!out_) Fail();
  }

 private:
  [[noreturn]] static void Fail() { throw EWriteError("Stream write error while saving a bitmap"); }
  std::ostream& out_;
};

}  // namespace

void TBitmap::LoadFromStream(std::istream& stream) {
  BmpInput in(stream);
  const BmpLayout layout = ReadHeaders(in);
  const TPixelFormat format = layout.Indexed() ? TPixelFormat::pf8bit : TPixelFormat::pf24bit;
  CheckFits(layout, format);
  TPalette palette = ReadPalette(in, layout);
  in.SkipTo(layout.pixelOffset, "pixel data");

  const bool runLength = layout.compression == kBiRle8 || layout.compression == kBiRle4;
  if (runLength) {
    // Run-length data has no lower bound on its size and shows damage only while it is decoded. Where the
    // stream can go back, a first pass over the data finds damage before the picture is allocated.
    if (const auto start = in.Here()) {
      ReadRunLength(in, layout, nullptr);
      in.Rewind(*start);
    }
  } else if (layout.RowBytes() * static_cast<std::uint64_t>(layout.height) > in.Remaining()) {
    // A header can announce far more pixels than the file holds; when the stream can tell, this shows before
    // the picture is allocated. (CheckFits keeps the product far from overflowing.)
    Invalid("the file ends inside the pixel data");
  }

  TBitmap loaded;
  loaded.format_ = format;
  loaded.SetSize(layout.width, layout.height);
  const std::uint8_t highest =
      runLength ? ReadRunLength(in, layout, &loaded) : ReadUncompressed(in, layout, loaded);
  if (format == TPixelFormat::pf8bit) CoverIndex(highest, palette);
  loaded.palette_ = std::move(palette);
  TakePicture(loaded);
  Changed();
}

namespace {

// A row of 32-bit words 0x??RRGGBB as blue, green, red bytes.
void PackBgr(const std::uint8_t* words, int width, std::uint8_t* bgr) {
  int x = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Four pixels into three words: most of a 4K picture goes this way, several times faster than bytewise.
    for (; x + 4 <= width; x += 4) {
      std::uint32_t in[4];
      std::memcpy(in, words + 4 * static_cast<std::size_t>(x), sizeof in);
      const std::uint32_t packed[3] = {(in[0] & 0xFFFFFF) | (in[1] << 24),
                                       ((in[1] >> 8) & 0xFFFF) | (in[2] << 16),
                                       ((in[2] >> 16) & 0xFF) | (in[3] << 8)};
      std::memcpy(bgr + 3 * static_cast<std::size_t>(x), packed, sizeof packed);
    }
  }
  for (; x < width; ++x) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, words + 4 * static_cast<std::size_t>(x), 4);
    std::uint8_t* out = bgr + 3 * static_cast<std::size_t>(x);
    out[0] = static_cast<std::uint8_t>(pixel);
    out[1] = static_cast<std::uint8_t>(pixel >> 8);
    out[2] = static_cast<std::uint8_t>(pixel >> 16);
  }
}

}  // namespace

PixelRows RowsOf(const TBitmap& bitmap) {
  if (bitmap.GetEmpty()) return {};
  const bool indexed = bitmap.GetPixelFormat() == TPixelFormat::pf8bit;
  return {bitmap.ScanLine(0),
          bitmap.RowStride(),
          bitmap.GetWidth(),
          bitmap.GetHeight(),
          indexed ? PixelRows::Layout::Indexed8 : PixelRows::Layout::Bgr24,
          indexed ? &bitmap.GetPalette() : nullptr};
}

std::optional<PixelRows> RowsInBmpBytes(std::string_view bytes) {
  BytesInput buffer(bytes);
  std::istream stream(&buffer);
  BmpInput in(stream);
  BmpLayout layout;
  try {
    layout = ReadHeaders(in);
  } catch (const EInvalidGraphic&) {
    return std::nullopt;
  }
  if (layout.bits != 24 || layout.compression != kBiRgb || layout.pixelOffset < in.Position())
    return std::nullopt;
  const std::uint64_t rowBytes = layout.RowBytes();
  const auto height = static_cast<std::uint64_t>(layout.height);
  if (rowBytes * height > TBitmap::kMaxPixelBytes || layout.pixelOffset + rowBytes * height > bytes.size()) {
    return std::nullopt;
  }
  const auto* pixels = reinterpret_cast<const std::uint8_t*>(bytes.data()) + layout.pixelOffset;
  const auto stride = static_cast<std::ptrdiff_t>(rowBytes);
  if (layout.topDown) return PixelRows{pixels, stride, layout.width, layout.height, PixelRows::Layout::Bgr24};
  return PixelRows{pixels + (layout.height - 1) * stride, -stride, layout.width, layout.height,
                   PixelRows::Layout::Bgr24};
}

void SaveBmpRows(const PixelRows& rows, std::ostream& stream) {
  if (rows.Empty()) throw EInvalidGraphic("Cannot save an empty bitmap");
  const bool indexed = rows.layout == PixelRows::Layout::Indexed8;
  const std::size_t rowUsed = static_cast<std::size_t>(rows.width) * (indexed ? 1 : 3);
  const std::size_t fileStride = (rowUsed + 3) & ~std::size_t{3};

  // Every index in the pixels gets a colour-table entry, so that other programs never look past the table.
  TPalette palette;
  if (indexed) {
    if (rows.palette != nullptr) palette = *rows.palette;
    std::uint8_t highest = 0;
    for (int y = 0; y < rows.height; ++y) {
      const std::uint8_t* row = rows.Row(y);
      highest = std::max(highest, *std::max_element(row, row + rows.width));
    }
    CoverIndex(highest, palette);
  }
  // Rows come from a bitmap or a screen image, both capped at kMaxPixelBytes: all of this fits 32 bits.
  const auto imageSize = static_cast<std::uint32_t>(fileStride * static_cast<std::size_t>(rows.height));
  const auto tableSize = static_cast<std::uint32_t>(palette.size() * 4);
  const std::uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + tableSize;

  std::array<std::uint8_t, kFileHeaderSize + kInfoHeaderSize> header{};
  header[0] = 'B';
  header[1] = 'M';
  Put32(&header[2], pixelOffset + imageSize);
  Put32(&header[10], pixelOffset);
  std::uint8_t* info = &header[kFileHeaderSize];
  Put32(info, kInfoHeaderSize);
  Put32(info + 4, static_cast<std::uint32_t>(rows.width));
  Put32(info + 8, static_cast<std::uint32_t>(rows.height));
  Put16(info + 12, 1);
  Put16(info + 14, indexed ? 8 : 24);
  Put32(info + 16, kBiRgb);
  Put32(info + 20, imageSize);
  Put32(info + 24, kPixelsPerMetre);
  Put32(info + 28, kPixelsPerMetre);
  Put32(info + 32, static_cast<std::uint32_t>(palette.size()));

  std::vector<std::uint8_t> table(tableSize);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    table[4 * i] = palette[i].peBlue;
    table[4 * i + 1] = palette[i].peGreen;
    table[4 * i + 2] = palette[i].peRed;
  }

  BmpOutput out(stream);
  out.Write(header.data(), header.size());
  out.Write(table.data(), table.size());
  if (rows.layout == PixelRows::Layout::Xrgb32) {
    // Packed into the file's three bytes a pixel (padding zero) a megabyte at a time, written in one go each.
    const int chunkRows = std::max(1, static_cast<int>((std::size_t{1} << 20) / fileStride));
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min(chunkRows, rows.height)) * fileStride);
    for (int last = rows.height - 1; last >= 0; last -= chunkRows) {
      const int count = std::min(chunkRows, last + 1);
      for (int i = 0; i < count; ++i) PackBgr(rows.Row(last - i), rows.width, &chunk[i * fileStride]);
      out.Write(chunk.data(), count * fileStride);
    }
    return;
  }
  // The padding is written from zeros rather than from the rows' own ends, whose content nobody promises.
  static constexpr std::array<std::uint8_t, 3> kPadding{};
  for (int y = rows.height - 1; y >= 0; --y) {
    out.Write(rows.Row(y), rowUsed);
    out.Write(kPadding.data(), fileStride - rowUsed);
  }
}

void TBitmap::SaveToStream(std::ostream& stream) {
  if (GetEmpty()) throw EInvalidGraphic("Cannot save an empty bitmap");
  SaveBmpRows(RowsOf(*this), stream);
}

}  // namespace lumora
