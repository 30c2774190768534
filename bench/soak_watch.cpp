// SPDX-License-Identifier: GPL-3.0-or-later
// Watches a running Lumora from outside, as soak_rotation.sh leaves it: every ten seconds its resident
// memory and open files (from /proc) and the X server's pixmaps (XRes), and every wallpaper change as a
// PropertyNotify of _XROOTPMAP_ID on the root. Prints the samples and a verdict per target, and fails when,
// after the settling time, one is missed:
//   resident memory spread by more than 5 MB; the count of open files changed; the pixmaps of Lumora's
//   window connection changed in number; the server holding more than one wallpaper pixmap; a change
//   later than the interval plus a fifth (when an interval is given); the process gone before the end.
// usage: bench_soak_watch PID WINDOW SECONDS SETTLE-SECONDS INTERVAL-MS   (INTERVAL-MS 0: no rhythm)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long ResidentKilobytes(long pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

long OpenFiles(long pid) {
  DIR* dir = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (dir == nullptr) return -1;
  long count = 0;
  while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.' ? 1 : 0;
  closedir(dir);
  return count;
}

long PixmapsOf(Display* display, XID client, Atom pixmapType) {
  int types = 0;
  XResType* counts = nullptr;
  if (XResQueryClientResources(display, client, &types, &counts) == 0) return 0;
  long pixmaps = 0;
  for (int t = 0; t < types; ++t) {
    if (counts[t].resource_type == pixmapType) pixmaps += counts[t].count;
  }
  XFree(counts);
  return pixmaps;
}

// Lumora's window connection is the client that owns its main window. Every other client but the server
// itself and this watcher holds only wallpaper: on a bare server that is what each change leaves behind (a
// connection closed with its pixmap retained), and one that is painting at the moment.
struct ServerPixmaps {
  long window = 0;
  long wallpaper = 0;
  bool rootNamed = false;  // _XROOTPMAP_ID names a pixmap of one of those wallpaper clients
};

ServerPixmaps CountPixmaps(Display* display, Window lumoraWindow) {
  const Atom pixmapType = XInternAtom(display, "PIXMAP", False);
  const Atom rootPixmap = XInternAtom(display, "_XROOTPMAP_ID", False);
  const XID mine = XAllocID(display);
  Pixmap named = None;
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, DefaultRootWindow(display), rootPixmap, 0, 1, False, XA_PIXMAP, &type,
                         &format, &items, &after, &data) == Success &&
      data != nullptr) {
    if (items == 1) named = *reinterpret_cast<const Pixmap*>(data);
    XFree(data);
  }
  ServerPixmaps pixmaps;
  int clients = 0;
  XResClient* list = nullptr;
  XResQueryClients(display, &clients, &list);
  for (int i = 0; i < clients; ++i) {
    const XID base = list[i].resource_base, mask = list[i].resource_mask;
    if (base == 0 || (mine & ~mask) == base) continue;
    const long count = PixmapsOf(display, base, pixmapType);
    if ((lumoraWindow & ~mask) == base) {
      pixmaps.window = count;
    } else {
      pixmaps.wallpaper += count;
      pixmaps.rootNamed = pixmaps.rootNamed || (named != None && (named & ~mask) == base);
    }
  }
  XFree(list);
  return pixmaps;
}

struct Sample {
  double at;
  long rss;
  long files;
  ServerPixmaps pixmaps;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s PID WINDOW SECONDS SETTLE-SECONDS INTERVAL-MS\n", argv[0]);
    return 2;
  }
  const long pid = std::atol(argv[1]);
  const Window window = std::strtoul(argv[2], nullptr, 0);
  const double seconds = std::atof(argv[3]), settle = std::atof(argv[4]);
  const long interval = std::atol(argv[5]);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "no X display\n");
    return 2;
  }
  const Atom rootPixmap = XInternAtom(display, "_XROOTPMAP_ID", False);
  XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask);
  XSync(display, False);

  const auto start = Clock::now();
  const auto since = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  std::vector<double> changes;
  std::vector<Sample> samples;
  double nextSample = 10;
  bool alive = true;
  while (alive && since() < seconds) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == PropertyNotify && event.xproperty.atom == rootPixmap) changes.push_back(since());
    }
    if (since() >= nextSample) {
      nextSample += 10;
      ServerPixmaps pixmaps = CountPixmaps(display, window);
      // A change in flight holds the next picture for a moment besides the shown one: asked again, a
      // leaked pixmap is still there.
      for (int again = 0; again < 5 && pixmaps.wallpaper > 1; ++again) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pixmaps = CountPixmaps(display, window);
      }
      samples.push_back({since(), ResidentKilobytes(pid), OpenFiles(pid), pixmaps});
      const Sample& s = samples.back();
      alive = s.rss >= 0 && kill(static_cast<pid_t>(pid), 0) == 0;
      std::printf("t=%4.0fs rss=%ld kB files=%ld window-pixmaps=%ld wallpaper-pixmaps=%ld%s changes=%zu\n",
                  s.at, s.rss, s.files, s.pixmaps.window, s.pixmaps.wallpaper,
                  s.pixmaps.rootNamed ? "" : " (root names none of them)", changes.size());
      std::fflush(stdout);
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(std::max(1.0, (std::min(nextSample, seconds) - since()) * 1000)));
  }

  int failures = 0;
  const auto verdict = [&](bool met, const char* what) {
    if (!met) ++failures;
    std::printf("%s %s\n", met ? "ok    " : "FAILED", what);
  };
  verdict(alive && kill(static_cast<pid_t>(pid), 0) == 0, "the process stayed alive to the end");
  std::vector<Sample> settled;
  std::copy_if(samples.begin(), samples.end(), std::back_inserter(settled),
               [&](const Sample& s) { return s.at >= settle; });
  if (settled.empty()) {
    verdict(false, "samples after the settling time (the run is too short)");
    return 1;
  }
  const auto [low, high] = std::minmax_element(
      settled.begin(), settled.end(), [](const Sample& a, const Sample& b) { return a.rss < b.rss; });
  char line[200];
  std::snprintf(line, sizeof line, "resident memory %ld..%ld kB after %.0f s (spread %ld kB, at most 5120)",
                low->rss, high->rss, settle, high->rss - low->rss);
  verdict(high->rss - low->rss <= 5120, line);
  // Prints the lowest and highest of a sampled value after the settling time; met when they are equal.
  const auto flat = [&](const char* what, auto value) {
    const auto [least, most] =
        std::minmax_element(settled.begin(), settled.end(),
                            [&](const Sample& a, const Sample& b) { return value(a) < value(b); });
    std::snprintf(line, sizeof line, "%s %ld..%ld (must not change)", what, value(*least), value(*most));
    verdict(value(*least) == value(*most), line);
  };
  flat("open file descriptors", [](const Sample& s) { return s.files; });
  flat("pixmaps of Lumora's window connection", [](const Sample& s) { return s.pixmaps.window; });
  const auto [fewest, most] = std::minmax_element(
      settled.begin(), settled.end(),
      [](const Sample& a, const Sample& b) { return a.pixmaps.wallpaper < b.pixmaps.wallpaper; });
  const bool named =
      std::all_of(settled.begin(), settled.end(), [](const Sample& s) { return s.pixmaps.rootNamed; });
  std::snprintf(line, sizeof line,
                "wallpaper pixmaps held by the server %ld..%ld, %s (must be the one it names)",
                fewest->pixmaps.wallpaper, most->pixmaps.wallpaper,
                named ? "_XROOTPMAP_ID names one of them" : "_XROOTPMAP_ID not always among them");
  verdict(fewest->pixmaps.wallpaper == 1 && most->pixmaps.wallpaper == 1 && named, line);
  if (interval > 0) {
    double longest = 0;
    for (std::size_t i = 1; i < changes.size(); ++i) {
      if (changes[i] >= settle) longest = std::max(longest, changes[i] - changes[i - 1]);
    }
    // A step may land a fifth of the interval late.
    const double latest = static_cast<double>(interval) * 1.2;
    std::snprintf(line, sizeof line, "%zu changes; the longest gap after %.0f s %.0f ms (at most %.0f)",
                  changes.size(), settle, longest * 1000, latest);
    verdict(changes.size() > 1 && longest * 1000 <= latest, line);
  } else {
    std::printf("%zu changes\n", changes.size());
  }
  XCloseDisplay(display);
  return failures == 0 ? 0 : 1;
}
