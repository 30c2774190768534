// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"
#include "toolkit/graphic.h"

namespace lumora {

namespace jpeg_detail {
struct CodecProgress;
}

// Raised for errors reported by the codec: "JPEG error #N" with the codec's message code.
class EJPEG : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// A palette handle. The handle's identity is what SetPalette compares, so keep the pointer you were given
// rather than building an equal palette when you mean "the same one".
using TPaletteHandle = std::shared_ptr<const TPalette>;

inline constexpr const char* kJpegFileDescription = "JPEG Image File";

// Values copied into every new TJPEGImage. Set them once at start-up, before images are created.
struct TJPEGDefaults {
  int OutputBits = 24;  // 8 or 24: pixel depth of decoded bitmaps
  bool MultiScan = false;
  int EncodeQuality = 90;
};
TJPEGDefaults& JpegDefaults();

// Records the screen's depth (bits per pixel times planes) and derives JpegDefaults().OutputBits from it:
// 8-bit decoding for screens of 8 bits or fewer, 24-bit otherwise. Until called, the screen counts as 24-bit.
void SetJpegScreenDepth(int bitsPerPixel);
int JpegScreenDepth();

// An 8-bit palette for showing 24-bit pictures on a palette screen: a 6×6×6 colour cube plus 20 grays
// between its gray levels, 236 entries, leaving the other 20 slots to the system colours.
TPaletteHandle CreateHalftonePalette();

// The JPEG file held by one or more images. Copies made by TJPEGImage::Assign share one record.
struct TJPEGData {
  std::vector<std::uint8_t> Bytes;  // the complete file; empty while there is none
  int Width = 0;
  int Height = 0;
  bool HasBytes() const { return !Bytes.empty(); }
};

// Where TJPEGImage::DecodeScreenRows puts a picture. Start is told the stored picture's size before any
// row comes; RowAt(y) gives the place for row y, width × 4 bytes, asked once for each row, top to bottom;
// Done(first, count) follows each band of kScreenBandRows rows (aligned; the last one may be shorter), whose
// rows the caller may then move elsewhere. Any of them may throw, which ends the decode.
inline constexpr int kScreenBandRows = 64;
struct TScreenRowTarget {
  std::function<void(int width, int height)> Start;
  std::function<std::uint8_t*(int row)> RowAt;
  std::function<void(int firstRow, int rowCount)> Done;
};

// A JPEG picture: keeps the file bytes, decodes them into a bitmap on first use and keeps that bitmap;
// encodes a bitmap assigned to it when it is saved.
class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;

  const char* ClassName() const override { return "TJPEGImage"; }
  int GetWidth() const override;
  int GetHeight() const override;
  bool GetEmpty() const override;
  // A JPEG picture's size is its file's; both raise EInvalidGraphicOperation.
  [[noreturn]] void SetWidth(int width);
  [[noreturn]] void SetHeight(int height);

  // Reads the rest of the stream as a JPEG file; only the header is parsed here.
  void LoadFromStream(std::istream& stream) override;
  // Writes the JPEG file, encoding the bitmap first when there are no bytes yet.
  void SaveToStream(std::ostream& stream) override;
  // The stored-layout form: a 4-byte little-endian signed length, then that many bytes of the file.
  // WriteData never encodes: an image holding only a bitmap writes length 0.
  void ReadData(std::istream& stream);
  void WriteData(std::ostream& stream) const;

  // From a TJPEGImage: share its data record and copy its decoded bitmap. From a TBitmap: hold a copy
  // of it, to be encoded when saved. No change notification either way.
  void Assign(const TGraphic& source) override;
  // To a TBitmap: the decoded picture.
  void AssignTo(TGraphic& dest) const override;
  // True for two images with byte-identical files, or sharing one data record.
  bool Equals(const TGraphic& other) const;

  // The picture, decoding it on first use. Drawing code stretches this onto the screen. An EAbort from
  // OnProgress leaves a partly decoded bitmap here; codec errors propagate but the bitmap stays, and
  // neither is decoded again until the image is loaded anew.
  const TBitmap& DecodedBitmap();

  // For showing a colour picture on a screen: decodes it as DecodedBitmap would, but into 32-bit words
  // 0xFFRRGGBB in the machine's byte order (the same colour values) that go straight to target; nothing is
  // kept, and OnProgress hears nothing. False, having decoded nothing, for a gray or CMYK picture or with
  // 8-bit output set: those go through DecodedBitmap. Raises the codec's errors as DecodedBitmap does.
  bool DecodeScreenRows(const TScreenRowTarget& target);

  // The picture's palette; before decoding, the one set, or on a palette screen a halftone palette for
  // 24-bit output; null when there is none.
  TPaletteHandle GetPalette();
  // 8-bit decoding maps colour pictures onto this palette. A palette whose colours differ from the held
  // picture's drops that picture so that it is decoded again; an image holding only an assigned bitmap
  // has nothing to decode it from and ends up empty.
  void SetPalette(TPaletteHandle palette);

  // These take effect at the next decode or encode.
  int GetOutputBits() const { return outputBits_; }
  void SetOutputBits(int bits) { outputBits_ = bits <= 8 ? 8 : 24; }
  bool GetMultiScan() const { return multiScan_; }
  void SetMultiScan(bool multiScan) { multiScan_ = multiScan; }
  int GetEncodeQuality() const { return encodeQuality_; }
  void SetEncodeQuality(int quality) { encodeQuality_ = quality < 1 ? 1 : quality > 100 ? 100 : quality; }

  const TJPEGData& Data() const { return *data_; }
  // The same record, to keep: a record never changes once filled (loading or encoding fills a new one).
  std::shared_ptr<const TJPEGData> SharedData() const { return data_; }
  // The EXIF orientation of the file held (1 when there is none, see JpegExifOrientation). Width, height
  // and the decoded bitmap stay those of the stored pixels: whoever shows the picture turns it with
  // ApplyOrientation (toolkit/orientation.h).
  int ExifOrientation() const;

  // OnProgress handlers may draw DecodedBitmap, which fills as the rows arrive, and may throw EAbort
  // to stop; they must not load, assign or re-palette the image they are reporting on.
  //
  // Millisecond tick source of the progress throttle; wraps around like any 32-bit tick count.
  std::function<std::uint32_t()> TickCount;

 private:
  // The throttle's memory of one decode or encode.
  struct ProgressThrottle {
    std::uint32_t lastTick = 0;
    bool ticked = false;
    int lastPercent = 0;
    unsigned lastRow = 0;
  };
  static void CodecProgressHook(void* self, const jpeg_detail::CodecProgress& progress);
  void ReportProgress(const jpeg_detail::CodecProgress& progress);

  void ResetJpegData();
  void ResetBitmap();
  void DropBitmap();
  enum class SizeSource { kStreamLength, kStoredLength, kUntilEnd };
  void ReadJpegStream(std::size_t size, std::istream& stream, SizeSource source);
  void Decode(TBitmap& bitmap);
  void EnsureJpegData();
  void EncodeBitmap();
  void Encode();

  std::shared_ptr<TJPEGData> data_;
  std::unique_ptr<TBitmap> bitmap_;
  TPaletteHandle tempPalette_;
  int outputBits_;
  bool multiScan_;
  int encodeQuality_;
  ProgressThrottle throttle_;
};

}  // namespace lumora
