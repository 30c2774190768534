// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpeg/jpeg_codec.h"

#include <jerror.h>

#include <algorithm>
#include <string>
#include <utility>

#include "jpeg/jpeg_image.h"

namespace lumora::jpeg_detail {

namespace {

// The only frame that calls setjmp. Kept out of line so that nothing of the caller's, least of all an
// object with a destructor, ends up between the setjmp and the longjmp that returns to it.
[[gnu::noinline]] bool Guarded(std::jmp_buf& jump, void (*step)(void*), void* arg) {
  if (setjmp(jump) != 0) return false;
  step(arg);
  return true;
}

// Appends a block to the output; false when memory runs out (the caller turns that into a codec error,
// outside this frame's try block).
bool Append(std::vector<std::uint8_t>& out, const JOCTET* block, std::size_t count) noexcept {
  try {
    out.insert(out.end(), block, block + count);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

extern "C" {

static void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings are ignored on purpose: corrupt or missing data is filled in by the codec and the picture
// is still worth showing.
static void EmitMessage(j_common_ptr, int) {}
static void OutputMessage(j_common_ptr) {}

static void ResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

static void ProgressMonitor(j_common_ptr cinfo) {
  Session* session = reinterpret_cast<ProgressManager*>(cinfo->progress)->session;
  if (!session->Report(cinfo)) ErrorExit(cinfo);
}

static void InitSource(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
  source->position = 0;
  source->startOfFile = true;
}

// Like the codec's own file source: at the end of the data a warning and an end-of-image marker, so
// that a cut-off file still yields the part that is there.
static boolean FillInputBuffer(j_decompress_ptr cinfo) {
  static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
  auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
  const std::size_t count = std::min(kIoBlockSize, source->size - source->position);
  if (count == 0) {
    if (source->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->pub.next_input_byte = kEndOfImage;
    source->pub.bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
  }
  source->pub.next_input_byte = source->data + source->position;
  source->pub.bytes_in_buffer = count;
  source->position += count;
  source->startOfFile = false;
  return TRUE;
}

static void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  while (count > static_cast<long>(source->bytes_in_buffer)) {
    count -= static_cast<long>(source->bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

static void TermSource(j_decompress_ptr) {}

static void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  destination->pub.next_output_byte = destination->buffer;
  destination->pub.free_in_buffer = kIoBlockSize;
}

static boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  if (!Append(*destination->out, destination->buffer, kIoBlockSize)) ERREXIT(cinfo, JERR_FILE_WRITE);
  destination->pub.next_output_byte = destination->buffer;
  destination->pub.free_in_buffer = kIoBlockSize;
  return TRUE;
}

static void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  const std::size_t count = kIoBlockSize - destination->pub.free_in_buffer;
  if (!Append(*destination->out, destination->buffer, count)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

}  // extern "C"

Session::Session() {
  jpeg_std_error(&error_.pub);
  error_.pub.error_exit = ErrorExit;
  error_.pub.emit_message = EmitMessage;
  error_.pub.output_message = OutputMessage;
  error_.pub.reset_error_mgr = ResetErrorManager;
  progress_.pub.progress_monitor = ProgressMonitor;
  progress_.session = this;
}

void Session::Run(void (*step)(void*), void* arg) {
  if (Guarded(error_.jump, step, arg)) return;
  const int code = error_.pub.msg_code;
  Destroy();
  if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
  throw EJPEG("JPEG error #" + std::to_string(code));
}

bool Session::Report(j_common_ptr cinfo) noexcept {
  try {
    CodecProgress progress;
    progress.decoding = cinfo->is_decompressor != FALSE;
    progress.passCounter = cinfo->progress->pass_counter;
    progress.passLimit = cinfo->progress->pass_limit;
    progress.completedPasses = cinfo->progress->completed_passes;
    progress.totalPasses = cinfo->progress->total_passes;
    if (progress.decoding) {
      auto* info = reinterpret_cast<j_decompress_ptr>(cinfo);
      CountScan(*info);
      progress.outputScanline = info->output_scanline;
      progress.outputWidth = info->output_width;
      progress.outputHeight = info->output_height;
    }
    if (hook_ != nullptr) hook_(hookOwner_, progress);
    return true;
  } catch (...) {
    pending_ = std::current_exception();
    return false;
  }
}

// The monitor runs before every row of input the codec consumes, and each scan's layout is set up before
// its first row: a scan is counted, and refused, before any of its blocks are decoded.
void Session::CountScan(const jpeg_decompress_struct& info) {
  if (info.input_scan_number == countedScans_) return;
  countedScans_ = info.input_scan_number;
  // Interleaved or not, a scan runs over MCUs_per_row x MCU_rows_in_scan MCUs of blocks_in_MCU blocks.
  scanBlocks_ += std::uint64_t{info.MCUs_per_row} * info.MCU_rows_in_scan *
                 static_cast<std::uint64_t>(std::max(info.blocks_in_MCU, 1));
  if (countedScans_ > kMaxScans || scanBlocks_ > kMaxScanBlocks) {
    throw EJPEG("JPEG error #" + std::to_string(JERR_BAD_SCAN_SCRIPT));
  }
}

void Decoder::LimitMemory(std::size_t bitmapBytes) {
  const auto budget = static_cast<std::size_t>(kMaxCodecMemory);
  // Zero would mean no limit at all to the codec.
  info_.mem->max_memory_to_use = static_cast<long>(bitmapBytes < budget ? budget - bitmapBytes : 1);
}

Decoder::Decoder(const std::uint8_t* data, std::size_t size) {
  info_.err = &error_.pub;
  source_.data = data;
  source_.size = size;
  Run(
      [](void* arg) {
        auto* self = static_cast<Decoder*>(arg);
        self->created_ = true;
        jpeg_create_decompress(&self->info_);
        self->info_.mem->max_memory_to_use = kMaxCodecMemory;
        self->info_.progress = &self->progress_.pub;
        MemorySource& source = self->source_;
        source.pub.init_source = InitSource;
        source.pub.fill_input_buffer = FillInputBuffer;
        source.pub.skip_input_data = SkipInputData;
        source.pub.resync_to_restart = jpeg_resync_to_restart;
        source.pub.term_source = TermSource;
        self->info_.src = &source.pub;
      },
      this);
}

void Decoder::Destroy() noexcept {
  if (created_) jpeg_destroy_decompress(&info_);
  created_ = false;
}

Encoder::Encoder(std::vector<std::uint8_t>& out) {
  info_.err = &error_.pub;
  destination_.out = &out;
  Run(
      [](void* arg) {
        auto* self = static_cast<Encoder*>(arg);
        self->created_ = true;
        jpeg_create_compress(&self->info_);
        self->info_.mem->max_memory_to_use = kMaxCodecMemory;
        self->info_.progress = &self->progress_.pub;
        MemoryDestination& destination = self->destination_;
        destination.pub.init_destination = InitDestination;
        destination.pub.empty_output_buffer = EmptyOutputBuffer;
        destination.pub.term_destination = TermDestination;
        self->info_.dest = &destination.pub;
      },
      this);
}

void Encoder::Destroy() noexcept {
  if (created_) jpeg_destroy_compress(&info_);
  created_ = false;
}

}  // namespace lumora::jpeg_detail
