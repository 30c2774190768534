// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How TJPEGImage drives libjpeg: error, progress, source and destination managers, and the one place
// where codec calls are made. Internal to the jpeg module.
//
// libjpeg reports a fatal error by calling error_exit, which must not return, from deep inside its own
// C frames. A C++ exception thrown there would have to unwind through code built without exception
// tables, so instead every codec call runs inside Session::Run: error_exit longjmps back to the
// setjmp there, in a frame that holds nothing with a destructor, and Run destroys the codec and then
// throws the C++ exception. Our own hooks that run inside the codec (progress) catch whatever they
// raise, park it in the session and take the same longjmp way out.

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared before it
#include <jpeglib.h>
// clang-format on

namespace lumora::jpeg_detail {

// The source and destination hand the codec this much at a time.
inline constexpr std::size_t kIoBlockSize = 4096;

// libjpeg-turbo's memory back end has no backing store: whole-image buffers (progressive coefficients,
// two-pass quantising) that exceed the codec's limit fail with JERR_NO_BACKING_STORE instead of being
// allocated. Without it, a few hundred bytes of progressive header could ask for gigabytes. A decode
// shares this budget with the bitmap it fills (see Decoder::LimitMemory).
inline constexpr long kMaxCodecMemory = 1L << 30;

// Every scan of a multi-scan file is another pass over the blocks it covers, whether or not the file
// holds data for them: a 10 KB file of a thousand scans announcing 23000 x 23000 pixels would keep the
// decoder busy for most of a minute. A scan costs a busy desktop machine 2 to 15 ns per block however
// few coefficients it carries, so the blocks all scans cover together are what is bounded: 100 million
// is a second or two at worst, and more than four times what the usual ten scans of a 100-megapixel
// photo visit (about 22 million at full colour resolution, 12.5 million at 4:2:0). Files beyond either
// limit fail with JERR_BAD_SCAN_SCRIPT.
inline constexpr std::uint64_t kMaxScanBlocks = 100'000'000;
inline constexpr int kMaxScans = 1000;

// What the codec's progress monitor saw, for the image's throttle.
struct CodecProgress {
  bool decoding = false;
  long passCounter = 0;
  long passLimit = 0;
  int completedPasses = 0;
  int totalPasses = 0;
  unsigned outputScanline = 0;  // decoding only
  unsigned outputWidth = 0;
  unsigned outputHeight = 0;
};
using ProgressHook = void (*)(void* owner, const CodecProgress& progress);

class Session;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

struct ProgressManager {
  jpeg_progress_mgr pub;
  Session* session;
};

// One compressor or decompressor. The codec keeps pointers into the session, so it never moves.
class Session {
 public:
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs step(arg) with the codec's error exit armed. step must keep nothing with a destructor alive
  // while it calls the codec. On failure the codec is destroyed and the error thrown: an exception
  // raised by our hook as it was, a codec error as EJPEG "JPEG error #<message code>".
  void Run(void (*step)(void* arg), void* arg);

  // The hook is called from the codec's progress monitor; it may throw.
  void SetProgressHook(ProgressHook hook, void* owner) {
    hook_ = hook;
    hookOwner_ = owner;
  }

  // Called by the progress monitor. False when the codec has to be left (the reason is parked).
  bool Report(j_common_ptr cinfo) noexcept;

 protected:
  Session();
  ~Session() = default;
  virtual void Destroy() noexcept = 0;

  ErrorManager error_{};
  ProgressManager progress_{};

 private:
  // Adds each new scan's blocks to the work done so far; throws when a limit is passed.
  void CountScan(const jpeg_decompress_struct& info);

  ProgressHook hook_ = nullptr;
  void* hookOwner_ = nullptr;
  std::exception_ptr pending_;
  int countedScans_ = 0;
  std::uint64_t scanBlocks_ = 0;
};

struct MemorySource {
  jpeg_source_mgr pub;
  const JOCTET* data;
  std::size_t size;
  std::size_t position;
  bool startOfFile;
};

// A decompressor reading bytes that must outlive it.
class Decoder final : public Session {
 public:
  Decoder(const std::uint8_t* data, std::size_t size);
  ~Decoder() { Destroy(); }
  jpeg_decompress_struct& Info() { return info_; }
  // What the codec may allocate for its own buffers once the bitmap it fills has taken its share of
  // kMaxCodecMemory. Set before jpeg_start_decompress, where those buffers are allocated.
  void LimitMemory(std::size_t bitmapBytes);

 private:
  void Destroy() noexcept override;

  jpeg_decompress_struct info_{};
  MemorySource source_{};
  bool created_ = false;
};

struct MemoryDestination {
  jpeg_destination_mgr pub;
  std::vector<std::uint8_t>* out;
  JOCTET buffer[kIoBlockSize];
};

// A compressor appending to out, which must outlive it.
class Encoder final : public Session {
 public:
  explicit Encoder(std::vector<std::uint8_t>& out);
  ~Encoder() { Destroy(); }
  jpeg_compress_struct& Info() { return info_; }

 private:
  void Destroy() noexcept override;

  jpeg_compress_struct info_{};
  MemoryDestination destination_{};
  bool created_ = false;
};

}  // namespace lumora::jpeg_detail
