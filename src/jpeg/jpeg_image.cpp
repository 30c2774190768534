// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpeg/jpeg_image.h"

#include <jerror.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <climits>
#include <cstring>
#include <exception>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "jpeg/exif_orientation.h"
#include "jpeg/jpeg_codec.h"

namespace lumora {

using jpeg_detail::CodecProgress;
using jpeg_detail::Decoder;
using jpeg_detail::Encoder;

namespace {

// 236 rather than 256: an 8-bit screen keeps 20 entries for the system colours.
constexpr int kQuantizedColors = 236;
constexpr std::uint32_t kProgressIntervalMs = 500;
// Streams are read in pieces of this size, so that a stored length much larger than the stream behind
// it fails with a read error instead of allocating the announced size first.
constexpr std::size_t kReadChunk = std::size_t{1} << 20;

int screenDepth = 24;

std::uint32_t SteadyTicks() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

[[noreturn]] void ThrowReadError() {
  throw EReadError("Stream read error");
}

// Appends exactly size bytes of stream to bytes.
void ReadExactly(std::istream& stream, std::size_t size, std::vector<std::uint8_t>& bytes) {
  while (size > 0) {
    const std::size_t chunk = std::min(size, kReadChunk);
    const std::size_t old = bytes.size();
    bytes.resize(old + chunk);
    stream.read(reinterpret_cast<char*>(bytes.data() + old), static_cast<std::streamsize>(chunk));
    if (static_cast<std::size_t>(stream.gcount()) != chunk) ThrowReadError();
    size -= chunk;
  }
}

// Bytes between the stream's position and its end, or -1 when the stream cannot tell.
std::streamoff RemainingBytes(std::istream& stream) {
  const std::streampos start = stream.tellg();
  if (start == std::streampos(-1)) return -1;
  stream.seekg(0, std::ios::end);
  const std::streampos end = stream.tellg();
  stream.seekg(start);
  if (end == std::streampos(-1) || !stream) {
    stream.clear();
    return -1;
  }
  return end - start;
}

TPalette PaletteFromColormap(const jpeg_decompress_struct& info) {
  TPalette palette(static_cast<std::size_t>(std::clamp(info.actual_number_of_colors, 0, 256)));
  const bool gray = info.out_color_components == 1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    // Output samples are blue, green, red, and so are the colour map's rows.
    if (gray) {
      palette[i].peRed = palette[i].peGreen = palette[i].peBlue = info.colormap[0][i];
    } else {
      palette[i].peBlue = info.colormap[0][i];
      palette[i].peGreen = info.colormap[1][i];
      palette[i].peRed = info.colormap[2][i];
    }
  }
  return palette;
}

struct ColormapRequest {
  jpeg_decompress_struct* info;
  const TPalette* palette;
};

// Makes the decoder map onto palette instead of choosing its own colours.
void ColormapFromPalette(Decoder& decoder, const TPalette& palette) {
  ColormapRequest request{&decoder.Info(), &palette};
  decoder.Run(
      [](void* arg) {
        auto* r = static_cast<ColormapRequest*>(arg);
        const auto count = static_cast<JDIMENSION>(std::min<std::size_t>(r->palette->size(), 256));
        JSAMPARRAY map =
            (*r->info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(r->info), JPOOL_IMAGE, count, 3);
        for (JDIMENSION i = 0; i < count; ++i) {
          map[0][i] = (*r->palette)[i].peBlue;
          map[1][i] = (*r->palette)[i].peGreen;
          map[2][i] = (*r->palette)[i].peRed;
        }
        r->info->colormap = map;
        r->info->actual_number_of_colors = static_cast<int>(count);
      },
      &request);
}

// Where the codec's output rows go: RowAt(y) for each row, asked in calls of at most rowsPerCall rows that
// never cross a multiple of bandRows; BandDone(first, count) once each band is complete.
struct RowPlaces {
  std::function<std::uint8_t*(unsigned row)> RowAt;
  std::function<void(unsigned first, unsigned count)> BandDone;
  unsigned rowsPerCall = 1;
  unsigned bandRows = UINT_MAX;
};

// Reads every output row into its place. The places' functions may throw; the exception is parked, the
// codec left by the normal way and the exception raised afterwards, never unwound through the codec.
void ReadRowsInto(Decoder& decoder, const RowPlaces& places) {
  struct Transfer {
    jpeg_decompress_struct* info;
    const RowPlaces* places;
    std::exception_ptr failure;
  } transfer{&decoder.Info(), &places, nullptr};
  decoder.Run(
      [](void* arg) {
        auto* t = static_cast<Transfer*>(arg);
        jpeg_decompress_struct* codec = t->info;
        const RowPlaces& wanted = *t->places;
        constexpr unsigned kMaxRows = 16;
        JSAMPROW rows[kMaxRows];
        try {
          while (codec->output_scanline < codec->output_height) {
            const unsigned first = codec->output_scanline;
            const unsigned bandStart = first - first % wanted.bandRows;
            const auto bandEnd = static_cast<unsigned>(
                std::min<std::uint64_t>(codec->output_height, std::uint64_t{bandStart} + wanted.bandRows));
            const unsigned count = std::min({wanted.rowsPerCall, kMaxRows, bandEnd - first});
            for (unsigned i = 0; i < count; ++i) rows[i] = wanted.RowAt(first + i);
            if (jpeg_read_scanlines(codec, rows, count) == 0) break;
            if (wanted.BandDone && codec->output_scanline == bandEnd)
              wanted.BandDone(bandStart, bandEnd - bandStart);
          }
        } catch (...) {
          t->failure = std::current_exception();
        }
      },
      &transfer);
  if (transfer.failure) std::rethrow_exception(transfer.failure);
}

void ReadRows(Decoder& decoder, TBitmap& bitmap) {
  jpeg_decompress_struct& info = decoder.Info();
  if (info.output_height == 0) return;
  // With as many rows per call as the codec recommends, it writes them in place instead of going
  // through its own strip buffer. Rows that do not lie evenly top-down are taken one at a time.
  const std::ptrdiff_t stride = bitmap.RowStride();
  const bool evenRows = stride > 0 && stride % 4 == 0;
  std::uint8_t* const firstRow = bitmap.ScanLine(0);
  ReadRowsInto(decoder, {[firstRow, stride](unsigned row) { return firstRow + stride * row; }, nullptr,
                         evenRows ? static_cast<unsigned>(std::max(info.rec_outbuf_height, 1)) : 1u});
}

// Refuses pictures whose rows, stride bytes each, would not fit a bitmap, before the codec allocates or
// decodes anything for them.
void RefuseOversized(const jpeg_decompress_struct& info, std::size_t stride) {
  if (info.output_width > INT_MAX || info.output_height > INT_MAX ||
      (info.output_height != 0 && stride > TBitmap::kMaxPixelBytes / info.output_height)) {
    throw EOutOfResources("JPEG image of " + std::to_string(info.output_width) + " x " +
                          std::to_string(info.output_height) + " pixels is too large");
  }
}

// Reads the header and sets up decoding as every decode of ours does: full size, float DCT (whose results
// the wallpaper files have always had), smoothed blocks for progressive files that end early.
void ReadHeaderForDecoding(Decoder& decoder) {
  jpeg_decompress_struct& info = decoder.Info();
  decoder.Run([](void* i) { jpeg_read_header(static_cast<jpeg_decompress_struct*>(i), TRUE); }, &info);
  info.scale_num = 1;
  info.scale_denom = 1;
  info.do_block_smoothing = TRUE;
  info.dct_method = JDCT_FLOAT;
  info.buffered_image = FALSE;
}

struct RowSupply {
  jpeg_compress_struct* info;
  JSAMPROW* rows;
  unsigned rowsPerCall;
};

void WriteRows(Encoder& encoder, const TBitmap& bitmap) {
  jpeg_compress_struct& info = encoder.Info();
  const std::ptrdiff_t stride = bitmap.RowStride();
  const bool evenRows = stride > 0 && stride % 4 == 0;
  std::vector<JSAMPROW> rows(static_cast<std::size_t>(bitmap.GetHeight()));
  // The compressor only reads its input rows; read-only access keeps shared pixels shared.
  for (std::size_t y = 0; y < rows.size(); ++y) {
    rows[y] = const_cast<JSAMPROW>(bitmap.ScanLine(static_cast<int>(y)));
  }
  RowSupply supply{&info, rows.data(), evenRows ? info.image_height : 1u};
  encoder.Run(
      [](void* arg) {
        auto* s = static_cast<RowSupply*>(arg);
        jpeg_start_compress(s->info, TRUE);
        while (s->info->next_scanline < s->info->image_height) {
          const unsigned count = std::min(s->rowsPerCall, s->info->image_height - s->info->next_scanline);
          if (jpeg_write_scanlines(s->info, s->rows + s->info->next_scanline, count) == 0) break;
        }
        jpeg_finish_compress(s->info);
      },
      &supply);
}

}  // namespace

TJPEGDefaults& JpegDefaults() {
  static TJPEGDefaults defaults;
  return defaults;
}

void SetJpegScreenDepth(int bitsPerPixel) {
  screenDepth = bitsPerPixel;
  JpegDefaults().OutputBits = bitsPerPixel <= 8 ? 8 : 24;
}

int JpegScreenDepth() {
  return screenDepth;
}

TPaletteHandle CreateHalftonePalette() {
  auto palette = std::make_shared<TPalette>();
  palette->reserve(236);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        palette->push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                            static_cast<std::uint8_t>(b * 51), 0});
  // Four grays inside each of the cube's five gray steps: smooth gradients band much less.
  for (int step = 0; step < 5; ++step)
    for (int k = 1; k <= 4; ++k) {
      const auto v = static_cast<std::uint8_t>(step * 51 + (k * 51 + 2) / 5);
      palette->push_back({v, v, v, 0});
    }
  return palette;
}

TJPEGImage::TJPEGImage()
    : data_(std::make_shared<TJPEGData>()),
      outputBits_(JpegDefaults().OutputBits),
      multiScan_(JpegDefaults().MultiScan),
      encodeQuality_(JpegDefaults().EncodeQuality) {}

TJPEGImage::~TJPEGImage() = default;

int TJPEGImage::GetWidth() const {
  return bitmap_ ? bitmap_->GetWidth() : data_->Width;
}
int TJPEGImage::GetHeight() const {
  return bitmap_ ? bitmap_->GetHeight() : data_->Height;
}

bool TJPEGImage::GetEmpty() const {
  if (data_->HasBytes()) return false;
  return !bitmap_ || bitmap_->GetEmpty();
}

void TJPEGImage::SetWidth(int) {
  throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}
void TJPEGImage::SetHeight(int) {
  throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::ResetJpegData() {
  data_ = std::make_shared<TJPEGData>();
}
void TJPEGImage::ResetBitmap() {
  bitmap_ = std::make_unique<TBitmap>();
}
void TJPEGImage::DropBitmap() {
  bitmap_.reset();
}

void TJPEGImage::LoadFromStream(std::istream& stream) {
  const std::streamoff remaining = RemainingBytes(stream);
  if (remaining >= 0) {
    ReadJpegStream(static_cast<std::size_t>(remaining), stream, SizeSource::kStreamLength);
  } else {
    ReadJpegStream(0, stream, SizeSource::kUntilEnd);
  }
}

void TJPEGImage::ReadData(std::istream& stream) {
  unsigned char length[4];
  if (!stream.read(reinterpret_cast<char*>(length), 4)) ThrowReadError();
  const auto size =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(length[0]) | (length[1] << 8) | (length[2] << 16) |
                                (static_cast<std::uint32_t>(length[3]) << 24));
  if (size < 0) ThrowReadError();
  ReadJpegStream(static_cast<std::size_t>(size), stream, SizeSource::kStoredLength);
}

void TJPEGImage::ReadJpegStream(std::size_t size, std::istream& stream, SizeSource source) {
  ResetJpegData();
  DropBitmap();
  std::vector<std::uint8_t>& bytes = data_->Bytes;
  try {
    if (source == SizeSource::kUntilEnd) {
      char chunk[16384];
      while (stream.read(chunk, sizeof chunk) || stream.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + stream.gcount());
      }
    } else {
      // A length the stream itself reported is real and is allocated at once; a stored length may lie.
      bytes.reserve(source == SizeSource::kStreamLength ? size : std::min(size, kReadChunk));
      ReadExactly(stream, size, bytes);
    }
  } catch (const EReadError&) {
    bytes.clear();
    throw;
  }
  if (!bytes.empty()) {
    Decoder decoder(bytes.data(), bytes.size());
    decoder.Run([](void* info) { jpeg_read_header(static_cast<jpeg_decompress_struct*>(info), TRUE); },
                &decoder.Info());
    data_->Width = static_cast<int>(decoder.Info().image_width);
    data_->Height = static_cast<int>(decoder.Info().image_height);
    multiScan_ = jpeg_has_multiple_scans(&decoder.Info()) != FALSE;
  }
  PaletteModified = true;
  Changed();
}

void TJPEGImage::SaveToStream(std::ostream& stream) {
  EnsureJpegData();
  const std::vector<std::uint8_t>& bytes = data_->Bytes;
  if (bytes.empty()) return;
  if (!stream.write(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<std::streamsize>(bytes.size()))) {
    throw EWriteError("Stream write error");
  }
}

void TJPEGImage::WriteData(std::ostream& stream) const {
  const std::vector<std::uint8_t>& bytes = data_->Bytes;
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) throw EWriteError("Stream write error");
  const auto size = static_cast<std::uint32_t>(bytes.size());
  const char length[4] = {static_cast<char>(size & 0xFF), static_cast<char>((size >> 8) & 0xFF),
                          static_cast<char>((size >> 16) & 0xFF), static_cast<char>((size >> 24) & 0xFF)};
  stream.write(length, 4);
  if (!bytes.empty()) stream.write(reinterpret_cast<const char*>(bytes.data()), size);
  if (!stream) throw EWriteError("Stream write error");
}

void TJPEGImage::Assign(const TGraphic& source) {
  if (&source == this) return;
  if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) {
    data_ = jpeg->data_;
    // MultiScan describes the file, which is now shared, so a later re-encode keeps its kind.
    multiScan_ = jpeg->multiScan_;
    if (jpeg->bitmap_) {
      ResetBitmap();
      bitmap_->Assign(*jpeg->bitmap_);
    } else {
      // Our old picture would no longer match the shared file.
      DropBitmap();
    }
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
    ResetJpegData();
    ResetBitmap();
    bitmap_->Assign(*bitmap);
    return;
  }
  TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TGraphic& dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(&dest)) {
    // Decoding only fills the cache; the picture the caller sees does not change.
    bitmap->Assign(const_cast<TJPEGImage*>(this)->DecodedBitmap());
    return;
  }
  TGraphic::AssignTo(dest);
}

int TJPEGImage::ExifOrientation() const {
  return JpegExifOrientation(data_->Bytes);
}

bool TJPEGImage::Equals(const TGraphic& other) const {
  const auto* jpeg = dynamic_cast<const TJPEGImage*>(&other);
  if (jpeg == nullptr) return false;
  if (data_->HasBytes() && jpeg->data_->HasBytes()) return data_->Bytes == jpeg->data_->Bytes;
  return data_ == jpeg->data_;
}

TPaletteHandle TJPEGImage::GetPalette() {
  if (bitmap_) {
    if (bitmap_->GetPalette().empty()) return nullptr;
    return std::make_shared<const TPalette>(bitmap_->GetPalette());
  }
  if (tempPalette_) return tempPalette_;
  if (outputBits_ == 24 && JpegScreenDepth() <= 8) {
    tempPalette_ = CreateHalftonePalette();
    return tempPalette_;
  }
  return nullptr;
}

void TJPEGImage::SetPalette(TPaletteHandle palette) {
  if (palette == tempPalette_) return;
  bool dropped = false;
  if (bitmap_) {
    const TPalette& current = bitmap_->GetPalette();
    if (palette ? current != *palette : !current.empty()) {
      DropBitmap();
      dropped = true;
    }
  }
  tempPalette_ = std::move(palette);
  if (dropped) {
    PaletteModified = true;
    Changed();
  }
}

const TBitmap& TJPEGImage::DecodedBitmap() {
  if (bitmap_) return *bitmap_;
  bitmap_ = std::make_unique<TBitmap>();
  try {
    Decode(*bitmap_);
  } catch (const EAbort&) {
    // Somebody watching the progress asked to stop; what was decoded so far is the picture.
  }
  return *bitmap_;
}

void TJPEGImage::Decode(TBitmap& bitmap) {
  if (!data_->HasBytes()) return;
  // The decoder reads the shared bytes in place; holding the record keeps them alive even if a
  // progress handler assigns something else to this image meanwhile.
  const std::shared_ptr<TJPEGData> data = data_;
  Decoder decoder(data->Bytes.data(), data->Bytes.size());
  decoder.SetProgressHook(&TJPEGImage::CodecProgressHook, this);
  throttle_ = ProgressThrottle{};
  jpeg_decompress_struct& info = decoder.Info();

  ReadHeaderForDecoding(decoder);
  const bool gray = info.out_color_space == JCS_GRAYSCALE;
  // Anything but gray is asked for as blue-green-red, the bitmap's own order; colour spaces the codec
  // cannot turn into that (CMYK) fail in jpeg_start_decompress.
  if (!gray) info.out_color_space = JCS_EXT_BGR;
  const bool eightBit = outputBits_ == 8 || gray;
  if (eightBit) {
    info.quantize_colors = TRUE;
    info.desired_number_of_colors = kQuantizedColors;
  }

  bitmap.Clear(eightBit ? TPixelFormat::pf8bit : TPixelFormat::pf24bit);
  std::exception_ptr failure;
  try {
    Progress(TProgressStage::psStarting, 0, false, TRect{});
    bool paletteGiven = false;
    if (tempPalette_ && outputBits_ == 8) {
      // The codec maps onto a given colour map only for colour output; gray output keeps its gray ramp.
      if (!gray && !tempPalette_->empty()) {
        ColormapFromPalette(decoder, *tempPalette_);
        TPalette palette = *tempPalette_;
        bitmap.SetPalette(std::move(palette));
        paletteGiven = true;
      }
    } else if (tempPalette_ && outputBits_ == 24) {
      tempPalette_.reset();
    }

    // Refuse pictures that would not fit a bitmap before the codec allocates or decodes anything for
    // them: two-pass quantising decodes the whole file inside jpeg_start_decompress.
    decoder.Run([](void* i) { jpeg_calc_output_dimensions(static_cast<jpeg_decompress_struct*>(i)); }, &info);
    const TPixelFormat format = bitmap.GetPixelFormat();
    const std::size_t stride =
        TBitmap::StrideFor(static_cast<int>(std::min<JDIMENSION>(info.output_width, INT_MAX)), format);
    RefuseOversized(info, stride);
    if (info.output_components != (format == TPixelFormat::pf24bit ? 3 : 1)) {
      throw EJPEG("JPEG error #" + std::to_string(JERR_CONVERSION_NOTIMPL));
    }
    // The codec's whole-image buffers and the bitmap live at the same time: one budget for both.
    decoder.LimitMemory(stride * info.output_height);

    decoder.Run([](void* i) { jpeg_start_decompress(static_cast<jpeg_decompress_struct*>(i)); }, &info);
    bitmap.SetSize(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    if (info.quantize_colors && !paletteGiven) {
      bitmap.SetPalette(PaletteFromColormap(info));
      PaletteModified = true;
    }
    ReadRows(decoder, bitmap);
    decoder.Run([](void* i) { jpeg_finish_decompress(static_cast<jpeg_decompress_struct*>(i)); }, &info);
  } catch (...) {
    failure = std::current_exception();
  }
  Progress(TProgressStage::psEnding, failure ? 0 : 100, PaletteModified, TRect{});
  if (PaletteModified) Changed();
  if (failure) std::rethrow_exception(failure);
}

bool TJPEGImage::DecodeScreenRows(const TScreenRowTarget& target) {
  if (!data_->HasBytes() || outputBits_ != 24) return false;
  const std::shared_ptr<TJPEGData> data = data_;
  Decoder decoder(data->Bytes.data(), data->Bytes.size());
  jpeg_decompress_struct& info = decoder.Info();
  ReadHeaderForDecoding(decoder);
  // Only what DecodedBitmap turns into blue-green-red pixels; the rest (gray, CMYK) takes that way.
  if (info.num_components != 3 || (info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB)) {
    return false;
  }
  // The same pixels as blue-green-red output, each with a fourth byte of 0xFF, as one word in memory.
  info.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
  decoder.Run([](void* i) { jpeg_calc_output_dimensions(static_cast<jpeg_decompress_struct*>(i)); }, &info);
  const std::size_t rowBytes = std::size_t{info.output_width} * 4;
  RefuseOversized(info, rowBytes);
  decoder.LimitMemory(rowBytes * info.output_height);
  decoder.Run([](void* i) { jpeg_start_decompress(static_cast<jpeg_decompress_struct*>(i)); }, &info);
  target.Start(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
  ReadRowsInto(decoder, {[&target](unsigned row) { return target.RowAt(static_cast<int>(row)); },
                         [&target](unsigned first, unsigned count) {
                           target.Done(static_cast<int>(first), static_cast<int>(count));
                         },
                         static_cast<unsigned>(std::max(info.rec_outbuf_height, 1)),
                         static_cast<unsigned>(kScreenBandRows)});
  decoder.Run([](void* i) { jpeg_finish_decompress(static_cast<jpeg_decompress_struct*>(i)); }, &info);
  return true;
}

void TJPEGImage::EnsureJpegData() {
  if (!data_->HasBytes()) EncodeBitmap();
}

void TJPEGImage::EncodeBitmap() {
  try {
    Encode();
  } catch (const EAbort&) {
    ResetJpegData();
  }
}

void TJPEGImage::Encode() {
  // Start from a record of our own: another image sharing this one must not see its bytes change.
  if (data_->HasBytes() || data_.use_count() > 1) ResetJpegData();
  const std::shared_ptr<TJPEGData> data = data_;
  data->Bytes.clear();
  Encoder encoder(data->Bytes);
  encoder.SetProgressHook(&TJPEGImage::CodecProgressHook, this);
  throttle_ = ProgressThrottle{};
  if (!bitmap_ || bitmap_->GetWidth() == 0 || bitmap_->GetHeight() == 0) return;

  jpeg_compress_struct& info = encoder.Info();
  info.image_width = static_cast<JDIMENSION>(bitmap_->GetWidth());
  info.image_height = static_cast<JDIMENSION>(bitmap_->GetHeight());
  data->Width = bitmap_->GetWidth();
  data->Height = bitmap_->GetHeight();
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;

  // Rows go to the codec straight from the bitmap; only a palette bitmap needs a 24-bit copy.
  std::unique_ptr<TBitmap> copy;
  TBitmap* rows = bitmap_.get();
  if (bitmap_->GetPixelFormat() != TPixelFormat::pf24bit) {
    copy = std::make_unique<TBitmap>();
    copy->Assign(*bitmap_);
    copy->SetPixelFormat(TPixelFormat::pf24bit);
    rows = copy.get();
  }

  struct Settings {
    jpeg_compress_struct* info;
    int quality;
    bool progressive;
  } settings{&info, encodeQuality_, multiScan_};
  encoder.Run(
      [](void* arg) {
        auto* s = static_cast<Settings*>(arg);
        jpeg_set_defaults(s->info);
        s->info->dct_method = JDCT_FLOAT;
        jpeg_set_quality(s->info, s->quality, TRUE);
        if (s->progressive) jpeg_simple_progression(s->info);
      },
      &settings);

  std::exception_ptr failure;
  try {
    Progress(TProgressStage::psStarting, 0, false, TRect{});
    WriteRows(encoder, *rows);
  } catch (...) {
    failure = std::current_exception();
  }
  Progress(TProgressStage::psEnding, failure ? 0 : 100, false, TRect{});
  if (failure) std::rethrow_exception(failure);
}

void TJPEGImage::CodecProgressHook(void* self, const CodecProgress& progress) {
  static_cast<TJPEGImage*>(self)->ReportProgress(progress);
}

void TJPEGImage::ReportProgress(const CodecProgress& progress) {
  const std::uint32_t now = TickCount ? TickCount() : SteadyTicks();
  if (throttle_.ticked && now - throttle_.lastTick < kProgressIntervalMs) return;
  const bool first = !throttle_.ticked;
  throttle_.lastTick = now;
  throttle_.ticked = true;
  if (first) return;

  if (progress.passLimit <= 0 || progress.totalPasses <= 0) return;
  const double done = (static_cast<double>(progress.passCounter) / static_cast<double>(progress.passLimit) +
                       progress.completedPasses) *
                      100.0 / progress.totalPasses;
  // The codec's estimate can overshoot or step back when a file has more or fewer scans than announced.
  const int percent = static_cast<int>(std::clamp(done, 0.0, 100.0));
  if (percent == throttle_.lastPercent) return;
  throttle_.lastPercent = percent;

  TRect rect;
  if (progress.decoding) {
    rect.Right = static_cast<int>(progress.outputWidth);
    rect.Top = static_cast<int>(throttle_.lastRow);
    // A later pass starts again at the top; the rest of the previous pass is what changed.
    rect.Bottom = static_cast<int>(progress.outputScanline < throttle_.lastRow ? progress.outputHeight
                                                                               : progress.outputScanline);
    throttle_.lastRow = progress.outputScanline;
  }
  Progress(TProgressStage::psRunning, static_cast<std::uint8_t>(percent), rect.Height() >= 4, rect);
}

}  // namespace lumora
