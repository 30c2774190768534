// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/desktop_wallpaper_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/desktop_registry.h"
#include "platform/x11/x11_error_trap.h"
#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"
#include "toolkit/pixel_rows.h"

namespace lumora::platform {

namespace {

// The error handler is process-wide state: one paint at a time.
std::mutex g_paintMutex;

// How the server stores a pixel of the root's depth. Each channel table turns an 8-bit value into its
// bits within the pixel, so a conversion is three look-ups and two ORs whatever the masks are.
struct ServerFormat {
  Visual* visual = nullptr;
  int depth = 0;
  int bytesPerPixel = 0;
  // 32-bit 0x00RRGGBB, as almost every server today: a pixel is the picture's three bytes, no look-ups.
  bool plain = false;
  std::uint32_t red[256];
  std::uint32_t green[256];
  std::uint32_t blue[256];

  std::uint32_t Pixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
    return red[r] | green[g] | blue[b];
  }
};

void FillChannel(unsigned long mask, std::uint32_t* table) {
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask);
  for (std::uint32_t value = 0; value < 256; ++value) {
    // Narrow channels keep the top bits; wide ones repeat the value's bits, so 255 stays full intensity.
    std::uint32_t scaled =
        width <= 8 ? value >> (8 - width) : (value << (width - 8)) | (value >> (16 - width));
    table[value] = scaled << shift;
  }
}

// Only true-colour roots of 16, 24 or 32 bits per pixel: every desktop X server of the last two decades.
bool DescribeServer(Display* display, int screen, ServerFormat& format) {
  Visual* visual = DefaultVisual(display, screen);
  if (visual->c_class != TrueColor) return false;
  format.visual = visual;
  format.depth = DefaultDepth(display, screen);
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  for (int i = 0; i < count; ++i) {
    if (formats[i].depth == format.depth) format.bytesPerPixel = formats[i].bits_per_pixel / 8;
  }
  XFree(formats);
  if (format.bytesPerPixel < 2 || format.bytesPerPixel > 4) return false;
  FillChannel(visual->red_mask, format.red);
  FillChannel(visual->green_mask, format.green);
  FillChannel(visual->blue_mask, format.blue);
  format.plain = format.bytesPerPixel == 4 && visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
                 visual->blue_mask == 0xff;
  return true;
}

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The monitors' rectangles as RandR 1.5 sees them (outputs and user-defined monitors alike), clipped to
// the root; the whole screen when RandR has none.
std::vector<Rect> ActiveMonitors(Display* display, Window root, int rootWidth, int rootHeight) {
  std::vector<Rect> monitors;
  int eventBase = 0;
  int errorBase = 0;
  int major = 0;
  int minor = 0;
  if (XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
      (major > 1 || (major == 1 && minor >= 5))) {
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(display, root, True, &count);
    for (int i = 0; i < count; ++i) {
      const int left = std::max(info[i].x, 0);
      const int top = std::max(info[i].y, 0);
      const int right = std::min(info[i].x + info[i].width, rootWidth);
      const int bottom = std::min(info[i].y + info[i].height, rootHeight);
      if (right > left && bottom > top) monitors.push_back({left, top, right - left, bottom - top});
    }
    if (info != nullptr) XRRFreeMonitors(info);
  }
  if (monitors.empty()) monitors.push_back({0, 0, rootWidth, rootHeight});
  return monitors;
}

// Where the picture lands on a drawable: the destination rectangle, and for each of its columns and rows
// the picture's column (as a byte offset into a row) and row. Centring and tiling map one to one,
// stretching repeats or skips; the maps are computed once per rectangle, never per pixel.
struct Placement {
  Rect target;
  std::vector<std::uint32_t> columns;
  std::vector<int> rows;
  bool contiguous = false;  // columns follow one another: a row is read straight through
};

Placement Unscaled(const PixelRows& picture, Rect target, int sourceX, int sourceY) {
  Placement placement{target, std::vector<std::uint32_t>(target.width), std::vector<int>(target.height)};
  const int step = picture.BytesPerPixel();
  for (int x = 0; x < target.width; ++x)
    placement.columns[x] = static_cast<std::uint32_t>((sourceX + x) * step);
  for (int y = 0; y < target.height; ++y) placement.rows[y] = sourceY + y;
  placement.contiguous = true;
  return placement;
}

// Centred: shifted by half the difference; a picture larger than the monitor keeps its middle.
Placement Centred(const PixelRows& picture, const Rect& monitor) {
  const int width = std::min(picture.width, monitor.width);
  const int height = std::min(picture.height, monitor.height);
  const Rect target{monitor.x + (monitor.width - width) / 2, monitor.y + (monitor.height - height) / 2, width,
                    height};
  return Unscaled(picture, target, (picture.width - width) / 2, (picture.height - height) / 2);
}

// Nearest neighbour, sampled at each target pixel's centre, so both edges of the picture show.
Placement Stretched(const PixelRows& picture, const Rect& monitor) {
  Placement placement{monitor, std::vector<std::uint32_t>(monitor.width), std::vector<int>(monitor.height)};
  const std::int64_t width = picture.width;
  const std::int64_t height = picture.height;
  const int step = picture.BytesPerPixel();
  for (int x = 0; x < monitor.width; ++x) {
    placement.columns[x] = static_cast<std::uint32_t>((2 * x + 1) * width / (2 * monitor.width) * step);
  }
  for (int y = 0; y < monitor.height; ++y) {
    placement.rows[y] = static_cast<int>((2 * y + 1) * height / (2 * monitor.height));
  }
  return placement;
}

// One row of the target in the server's format. Chosen once per placement, so the pixel loop has no
// branches on the formats.
using RowConverter = void (*)(const std::uint8_t* source, const std::uint32_t* columns, int count,
                              const ServerFormat& format, const std::uint32_t* palette, std::uint8_t* out);

template <int kBytes>
inline void Store(std::uint8_t* out, std::uint32_t pixel) {
  if constexpr (kBytes == 4) {
    std::memcpy(out, &pixel, 4);
  } else if constexpr (kBytes == 2) {
    const auto half = static_cast<std::uint16_t>(pixel);
    std::memcpy(out, &half, 2);
  } else if constexpr (std::endian::native == std::endian::little) {
    out[0] = static_cast<std::uint8_t>(pixel);
    out[1] = static_cast<std::uint8_t>(pixel >> 8);
    out[2] = static_cast<std::uint8_t>(pixel >> 16);
  } else {
    out[0] = static_cast<std::uint8_t>(pixel >> 16);
    out[1] = static_cast<std::uint8_t>(pixel >> 8);
    out[2] = static_cast<std::uint8_t>(pixel);
  }
}

template <int kBytes>
void ConvertBgrRow(const std::uint8_t* source, const std::uint32_t* columns, int count,
                   const ServerFormat& format, const std::uint32_t*, std::uint8_t* out) {
  for (int x = 0; x < count; ++x, out += kBytes) {
    const std::uint8_t* bgr = source + columns[x];
    Store<kBytes>(out, format.Pixel(bgr[2], bgr[1], bgr[0]));
  }
}

template <int kBytes>
void ConvertIndexedRow(const std::uint8_t* source, const std::uint32_t* columns, int count,
                       const ServerFormat&, const std::uint32_t* palette, std::uint8_t* out) {
  for (int x = 0; x < count; ++x, out += kBytes) Store<kBytes>(out, palette[source[columns[x]]]);
}

template <bool kContiguous>
void ConvertBgrRowPlain(const std::uint8_t* source, const std::uint32_t* columns, int count,
                        const ServerFormat&, const std::uint32_t*, std::uint8_t* out) {
  if constexpr (kContiguous) source += columns[0];
  for (int x = 0; x < count; ++x, out += 4) {
    const std::uint8_t* bgr = source + (kContiguous ? 3 * x : columns[x]);
    Store<4>(out, bgr[0] | (bgr[1] << 8) | (std::uint32_t{bgr[2]} << 16));
  }
}

template <int kBytes>
void ConvertXrgbRow(const std::uint8_t* source, const std::uint32_t* columns, int count,
                    const ServerFormat& format, const std::uint32_t*, std::uint8_t* out) {
  for (int x = 0; x < count; ++x, out += kBytes) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, source + columns[x], 4);
    Store<kBytes>(out, format.Pixel(static_cast<std::uint8_t>(pixel >> 16),
                                    static_cast<std::uint8_t>(pixel >> 8), static_cast<std::uint8_t>(pixel)));
  }
}

// Screen pixels on a screen of the same layout: a straight copy, or one pick per column when stretched.
template <bool kContiguous>
void ConvertXrgbRowPlain(const std::uint8_t* source, const std::uint32_t* columns, int count,
                         const ServerFormat&, const std::uint32_t*, std::uint8_t* out) {
  if constexpr (kContiguous) {
    std::memcpy(out, source + columns[0], static_cast<std::size_t>(count) * 4);
  } else {
    for (int x = 0; x < count; ++x, out += 4) std::memcpy(out, source + columns[x], 4);
  }
}

template <int kBytes>
RowConverter ConverterOfSize(PixelRows::Layout layout) {
  switch (layout) {
    case PixelRows::Layout::Indexed8:
      return &ConvertIndexedRow<kBytes>;
    case PixelRows::Layout::Bgr24:
      return &ConvertBgrRow<kBytes>;
    case PixelRows::Layout::Xrgb32:
      break;
  }
  return &ConvertXrgbRow<kBytes>;
}

RowConverter ConverterFor(const ServerFormat& format, PixelRows::Layout layout, bool contiguous) {
  if (format.plain && layout == PixelRows::Layout::Bgr24) {
    return contiguous ? &ConvertBgrRowPlain<true> : &ConvertBgrRowPlain<false>;
  }
  if (format.plain && layout == PixelRows::Layout::Xrgb32) {
    return contiguous ? &ConvertXrgbRowPlain<true> : &ConvertXrgbRowPlain<false>;
  }
  switch (format.bytesPerPixel) {
    case 2:
      return ConverterOfSize<2>(layout);
    case 3:
      return ConverterOfSize<3>(layout);
    default:
      return ConverterOfSize<4>(layout);
  }
}

// Brings converted pixels into the server a band of rows at a time: through a shared memory segment when
// the server offers one we can attach (a local server), otherwise as XPutImage requests, converting the
// next band while the server takes the last.
class PixelSender {
 public:
  PixelSender(Display* display, X11ErrorTrap& trap, const ServerFormat& format, bool trySharedMemory)
      : display_(display), trap_(trap), format_(format) {
    int major = 0;
    int minor = 0;
    Bool pixmaps = False;
    // A shared segment holds pixels in the client's byte order; the server reads them as its own.
    const int nativeOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    sharedMemory_ = trySharedMemory && XShmQueryVersion(display_, &major, &minor, &pixmaps) &&
                    ImageByteOrder(display_) == nativeOrder;
  }
  ~PixelSender() { ReleaseSegment(); }
  PixelSender(const PixelSender&) = delete;
  PixelSender& operator=(const PixelSender&) = delete;

  // Bands of a quarter megabyte, and a shared segment of two: page faults on fresh memory (the client's,
  // and the server's on a segment it has just attached) cost more than copying the pixels, so the memory
  // stays small and is used again for every band; two bands let converting one overlap the server's
  // copying of the other.
  static constexpr std::size_t kBandBytes = std::size_t{1} << 18;
  static constexpr int kSharedBands = 2;
  // Paints placement onto drawable; false when the server failed a request.
  bool Send(Drawable drawable, GC gc, const PixelRows& picture, const Placement& placement) {
    std::uint32_t palette[256] = {};  // indexes past the palette's end show black
    if (picture.layout == PixelRows::Layout::Indexed8 && picture.palette != nullptr) {
      const TPalette& entries = *picture.palette;
      for (std::size_t i = 0; i < entries.size() && i < 256; ++i) {
        palette[i] = format_.Pixel(entries[i].peRed, entries[i].peGreen, entries[i].peBlue);
      }
    }
    const RowConverter convert = ConverterFor(format_, picture.layout, placement.contiguous);
    const Rect& target = placement.target;
    const std::size_t rowBytes = static_cast<std::size_t>(target.width) * format_.bytesPerPixel;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    auto fill = [&](std::uint8_t* buffer, int firstRow, int rowCount) {
      for (int y = 0; y < rowCount; ++y) {
        std::uint8_t* out = buffer + y * stride;
        const int sourceRow = placement.rows[firstRow + y];
        // A stretched picture repeats rows: copy the row just converted rather than convert it again.
        if (y > 0 && placement.rows[firstRow + y - 1] == sourceRow) {
          std::memcpy(out, out - stride, rowBytes);
        } else {
          convert(picture.Row(sourceRow), placement.columns.data(), target.width, format_, palette, out);
        }
      }
    };

    const int bandRows = static_cast<int>(std::clamp<std::size_t>(kBandBytes / stride, 1, target.height));
    const std::size_t bandBytes = stride * bandRows;
    const bool shared = sharedMemory_ && ReserveSegment(kSharedBands * bandBytes);
    std::vector<std::uint8_t> buffer(shared ? 0 : bandBytes);
    for (int first = 0, band = 0; first < target.height; first += bandRows, ++band) {
      const int rows = std::min(bandRows, target.height - first);
      std::uint8_t* data = buffer.data();
      if (shared) {
        const int slot = band % kSharedBands;
        // Before the segment's first slot is filled again, the server must be done with all of them.
        if (slot == 0 && band > 0 && trap_.Failed()) return false;
        data = reinterpret_cast<std::uint8_t*>(segment_.shmaddr) + slot * bandBytes;
      }
      fill(data, first, rows);
      XImage image = Header(target.width, rows, stride, reinterpret_cast<char*>(data));
      if (shared) {
        image.obdata = reinterpret_cast<char*>(&segment_);  // where XShmPutImage finds the segment
        XShmPutImage(display_, drawable, gc, &image, 0, 0, target.x, target.y + first, target.width, rows,
                     False);
      } else {
        XPutImage(display_, drawable, gc, &image, 0, 0, target.x, target.y + first, target.width, rows);
      }
    }
    // The segment serves the next placement too.
    return !shared || !trap_.Failed();
  }

 private:
  XImage Header(int width, int height, std::size_t stride, char* data) const {
    XImage image{};
    image.width = width;
    image.height = height;
    image.format = ZPixmap;
    image.data = data;
    image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = image.byte_order;
    image.bitmap_pad = 32;
    image.depth = format_.depth;
    image.bytes_per_line = static_cast<int>(stride);
    image.bits_per_pixel = format_.bytesPerPixel * 8;
    image.red_mask = format_.visual->red_mask;
    image.green_mask = format_.visual->green_mask;
    image.blue_mask = format_.visual->blue_mask;
    XInitImage(&image);
    return image;
  }

  // A segment of at least size bytes attached on both sides; false (and no more tries) when the server
  // cannot attach it, as a server on another machine cannot.
  bool ReserveSegment(std::size_t size) {
    if (segmentSize_ >= size) return true;
    // A request that failed before must not pass for a refused segment and be forgotten with it.
    if (trap_.Failed()) return sharedMemory_ = false;
    ReleaseSegment();
    segment_.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (segment_.shmid < 0) return sharedMemory_ = false;
    segment_.shmaddr = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
    if (segment_.shmaddr == reinterpret_cast<char*>(-1)) {
      shmctl(segment_.shmid, IPC_RMID, nullptr);
      return sharedMemory_ = false;
    }
    segment_.readOnly = True;
    XShmAttach(display_, &segment_);
    const bool attached = !trap_.Failed();
    // Marked for removal at once: the kernel frees it when both sides have let go, even after a crash.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (!attached) {
      trap_.Forget();
      shmdt(segment_.shmaddr);
      return sharedMemory_ = false;
    }
    segmentSize_ = size;
    return true;
  }

  void ReleaseSegment() {
    if (segmentSize_ == 0) return;
    XShmDetach(display_, &segment_);
    XSync(display_, False);
    shmdt(segment_.shmaddr);
    segmentSize_ = 0;
  }

  Display* display_;
  X11ErrorTrap& trap_;
  const ServerFormat& format_;
  bool sharedMemory_ = false;
  XShmSegmentInfo segment_{};
  std::size_t segmentSize_ = 0;
};

// Tiling is the server's own fill: the picture goes over once as a tile pixmap, cut to the largest
// monitor (what no monitor can show would never repeat), and every monitor is filled from its corner. A
// monitor the picture covers shows just its top-left corner, sent straight into place.
bool PaintTiled(Display* display, Window root, Pixmap target, GC gc, PixelSender& sender,
                const ServerFormat& format, const PixelRows& picture, const std::vector<Rect>& monitors) {
  auto covered = [&](const Rect& monitor) {
    return picture.width >= monitor.width && picture.height >= monitor.height;
  };
  bool sent = true;
  int width = 0;
  int height = 0;
  for (const Rect& monitor : monitors) {
    if (covered(monitor)) {
      sent = sent && sender.Send(target, gc, picture, Unscaled(picture, monitor, 0, 0));
    } else {
      width = std::max(width, std::min(picture.width, monitor.width));
      height = std::max(height, std::min(picture.height, monitor.height));
    }
  }
  if (width == 0) return sent;
  const Pixmap tile = XCreatePixmap(display, root, width, height, format.depth);
  sent = sent && sender.Send(tile, gc, picture, Unscaled(picture, {0, 0, width, height}, 0, 0));
  XSetTile(display, gc, tile);
  XSetFillStyle(display, gc, FillTiled);
  for (const Rect& monitor : monitors) {
    if (covered(monitor)) continue;
    XSetTSOrigin(display, gc, monitor.x, monitor.y);
    XFillRectangle(display, target, gc, monitor.x, monitor.y, monitor.width, monitor.height);
  }
  XSetFillStyle(display, gc, FillSolid);
  XFreePixmap(display, tile);
  return sent;
}

// Whether the rectangles fill a width × height screen whole: they lie within it and none overlaps another,
// so their areas add up to the screen's only when no pixel is left out.
bool CoverWhole(const std::vector<Rect>& parts, int width, int height) {
  std::int64_t area = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Rect& a = parts[i];
    if (a.x < 0 || a.y < 0 || a.x + a.width > width || a.y + a.height > height) return false;
    for (std::size_t j = i + 1; j < parts.size(); ++j) {
      const Rect& b = parts[j];
      if (a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height)
        return false;
    }
    area += std::int64_t{a.width} * a.height;
  }
  return area == std::int64_t{width} * height;
}

// The pixmap that the last root setter left, when both properties name it (the sign that its owner made it
// to be freed by the next setter); None otherwise.
Pixmap PreviousWallpaper(Display* display, Window root, Atom rootPixmap, Atom esetroot) {
  auto read = [&](Atom property) -> Pixmap {
    Atom type = None;
    int bits = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = None;
    if (XGetWindowProperty(display, root, property, 0, 1, False, AnyPropertyType, &type, &bits, &count, &left,
                           &data) == Success &&
        type == XA_PIXMAP && bits == 32 && count == 1) {
      pixmap = *reinterpret_cast<Pixmap*>(data);
    }
    if (data != nullptr) XFree(data);
    return pixmap;
  };
  const Pixmap first = read(rootPixmap);
  return first != None && first == read(esetroot) ? first : None;
}

bool Paint(Display* display, X11ErrorTrap& trap, const PixelRows& picture, DisplayStyle style,
           bool sharedMemory, const std::function<bool()>& mayShow) {
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  ServerFormat format;
  if (!DescribeServer(display, screen, format)) return false;
  const int width = DisplayWidth(display, screen);
  const int height = DisplayHeight(display, screen);
  const std::vector<Rect> monitors = ActiveMonitors(display, root, width, height);

  std::vector<Placement> placements;
  std::vector<Rect> painted = monitors;  // tiling fills every monitor
  if (style != DisplayStyle::Tiled) {
    painted.clear();
    for (const Rect& monitor : monitors) {
      placements.push_back(style == DisplayStyle::Stretched ? Stretched(picture, monitor)
                                                            : Centred(picture, monitor));
      painted.push_back(placements.back().target);
    }
  }

  const Pixmap pixmap = XCreatePixmap(display, root, width, height, format.depth);
  const GC gc = XCreateGC(display, pixmap, 0, nullptr);
  // What no picture covers shows black; a screen the pictures cover whole is spared that pass.
  if (!CoverWhole(painted, width, height)) {
    XSetForeground(display, gc, BlackPixel(display, screen));
    XFillRectangle(display, pixmap, gc, 0, 0, width, height);
  }
  bool sent = true;
  {
    PixelSender sender(display, trap, format, sharedMemory);
    if (style == DisplayStyle::Tiled) {
      sent = PaintTiled(display, root, pixmap, gc, sender, format, picture, monitors);
    } else {
      for (const Placement& placement : placements)
        sent = sent && sender.Send(pixmap, gc, picture, placement);
    }
  }
  XFreeGC(display, gc);
  // The server holds every pixel by now (the trap's check waits for it); only naming the pixmap remains.
  if (trap.Failed() || !sent || (mayShow && !mayShow())) {
    XFreePixmap(display, pixmap);
    XSync(display, False);
    return false;
  }

  const Atom rootPixmap = XInternAtom(display, "_XROOTPMAP_ID", False);
  const Atom esetroot = XInternAtom(display, "ESETROOT_PMAP_ID", False);
  const Pixmap previous = PreviousWallpaper(display, root, rootPixmap, esetroot);
  for (const Atom property : {rootPixmap, esetroot}) {
    XChangeProperty(display, root, property, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
  }
  XSetWindowBackgroundPixmap(display, root, pixmap);
  XClearWindow(display, root);
  if (trap.Failed()) return false;

  // Killing the previous owner frees its pixmap (and whatever else it kept). Never our own connection's
  // resource: that would end this very connection.
  const XID clientBits = ~XID{xcb_get_setup(XGetXCBConnection(display))->resource_id_mask};
  if (previous != None && (previous & clientBits) != (pixmap & clientBits)) {
    XKillClient(display, previous);
    // The owner may be gone already (a stale property): nothing left to free, and no reason to fail.
    trap.Failed();
    trap.Forget();
  }
  return true;
}

class X11RootWallpaper final : public StoreKeptWallpaper {
 public:
  explicit X11RootWallpaper(RootPaintOptions options) : options_(std::move(options)) {}

  std::string Name() const override { return "X11 root window"; }

 private:
  bool ShowWhileWritten(const std::string&, const PixelRows& picture, DisplayStyle style,
                        const std::function<bool()>& fileWritten) override {
    return PaintRootWallpaper(picture, style, options_, fileWritten);
  }

  bool Show(const std::string& bmpFile, const PixelRows* picture, DisplayStyle style) override {
    if (picture != nullptr) return PaintRootWallpaper(*picture, style, options_);
    // The file is read again every time: the same path may hold a new picture.
    TBitmap loaded;
    try {
      loaded.LoadFromFile(bmpFile);
    } catch (const std::exception&) {
      return false;
    }
    return PaintRootWallpaper(RowsOf(loaded), style, options_);
  }

  RootPaintOptions options_;
};

}  // namespace

bool PaintRootWallpaper(const PixelRows& picture, DisplayStyle style, const RootPaintOptions& options,
                        const std::function<bool()>& mayShow) {
  if (picture.Empty()) return false;
  std::lock_guard lock(g_paintMutex);
  Display* display = XOpenDisplay(options.displayName.empty() ? nullptr : options.displayName.c_str());
  if (display == nullptr) return false;
  bool painted = false;
  {
    X11ErrorTrap trap(display);
    painted = Paint(display, trap, picture, style, options.sharedMemory, mayShow);
    // The pixmap must outlive this connection: the next setter frees it by killing what we leave.
    if (painted) XSetCloseDownMode(display, RetainPermanent);
    trap.Failed();
  }
  XCloseDisplay(display);
  return painted;
}

std::unique_ptr<DesktopWallpaper> CreateX11RootWallpaper(RootPaintOptions options) {
  return std::make_unique<X11RootWallpaper>(std::move(options));
}

}  // namespace lumora::platform
