// SPDX-License-Identifier: GPL-3.0-or-later
// Times the program from outside, as a user sees it: a click sent through XTest, and the answer observed on
// the X server. Run by run_all.sh.
//
// usage: bench_x_probe [--timeout MS] start LOG WIDTH HEIGHT COMMAND...
//          starts COMMAND (its output to LOG) and waits for its first window of that size to be mapped;
//          prints the process id, the window and the milliseconds from the start to the mapping
//        bench_x_probe [--timeout MS] click WINDOW X Y [WAIT]
//          clicks at X,Y of WINDOW; prints the milliseconds from the click (the button's release, when
//          buttons and list rows act) until WAIT was seen:
//            root            the root window's _XROOTPMAP_ID set (a wallpaper painted)
//            area:X,Y,W,H    that part of WINDOW shows a new picture, not one flat colour
//            unmap           WINDOW taken off the screen
//            none            (the default) nothing
//        bench_x_probe [--timeout MS] run [root] COMMAND...
//          runs COMMAND (output to /dev/null) and prints the milliseconds until it ended, or with root
//          until it set _XROOTPMAP_ID; it must end well either way
// Exits 1 when the wait timed out or the command failed, 2 on wrong usage.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

Display* display = nullptr;
int timeoutMs = 30000;

[[noreturn]] void Fail(const std::string& why, int code = 1) {
  std::fprintf(stderr, "bench_x_probe: %s\n", why.c_str());
  std::exit(code);
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A window that went away between its event and our question about it is not an error here.
int IgnoreXErrors(Display*, XErrorEvent*) {
  return 0;
}

// Feeds every event to done until it says so, asking idle between events (at most every pollMs) as well;
// fails at the time-out.
void WaitFor(Clock::time_point start, const std::function<bool(const XEvent*)>& done, int pollMs = 50) {
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (done(&event)) return;
    }
    if (done(nullptr)) return;
    if (MsSince(start) > timeoutMs) Fail("nothing seen within " + std::to_string(timeoutMs) + " ms");
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    poll(&connection, 1, pollMs);
  }
}

pid_t Spawn(char** command, const char* output) {
  const pid_t pid = fork();
  if (pid < 0) Fail("cannot fork");
  if (pid == 0) {
    const int fd = open(output, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      dup2(fd, STDOUT_FILENO);
      if (std::strcmp(output, "/dev/null") != 0) dup2(fd, STDERR_FILENO);
      close(fd);
    }
    close(ConnectionNumber(display));
    execvp(command[0], command);
    std::perror(command[0]);
    _exit(127);
  }
  return pid;
}

// Whether the child has ended; fails when it ended badly.
bool Ended(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) != pid) return false;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("the command failed");
  return true;
}

bool IsRootPixmapSet(const XEvent* event) {
  static const Atom rootPixmap = XInternAtom(display, "_XROOTPMAP_ID", False);
  return event != nullptr && event->type == PropertyNotify && event->xproperty.atom == rootPixmap &&
         event->xproperty.state == PropertyNewValue;
}

void WatchRoot() {
  XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask | SubstructureNotifyMask);
  XSync(display, False);
}

int Start(char** argv) {
  const char* log = argv[0];
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
  WatchRoot();
  const Clock::time_point start = Clock::now();
  const pid_t pid = Spawn(argv + 3, log);
  Window shown = 0;
  WaitFor(start, [&](const XEvent* event) {
    if (event == nullptr) {
      if (Ended(pid)) Fail("the program ended before its window showed");
      return false;
    }
    if (event->type != MapNotify) return false;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, event->xmap.window, &attributes) == 0) return false;
    if (attributes.width != width || attributes.height != height) return false;
    shown = event->xmap.window;
    return true;
  });
  const double ms = MsSince(start);
  // Without a window manager the program places its window itself, after mapping it: clicks wait until it
  // has stayed put for a while.
  Clock::time_point moved = Clock::now();
  WaitFor(moved, [&](const XEvent* event) {
    if (event != nullptr && event->type == ConfigureNotify && event->xconfigure.window == shown) {
      moved = Clock::now();
    }
    return MsSince(moved) > 300;
  });
  std::printf("%d %lu %.1f\n", static_cast<int>(pid), shown, ms);
  return 0;
}

// A horizontal and a vertical line through the middle of an area of a window: enough to tell a new
// picture from the old one, and cheap enough to ask for every few milliseconds.
struct Area {
  int x = 0, y = 0, width = 0, height = 0;
};
std::vector<unsigned long> Sample(Window window, const Area& area) {
  std::vector<unsigned long> pixels;
  const auto line = [&](int x, int y, unsigned width, unsigned height) {
    XImage* image = XGetImage(display, window, x, y, width, height, AllPlanes, ZPixmap);
    if (image == nullptr) Fail("cannot read the window's pixels");
    for (unsigned j = 0; j < height; ++j) {
      for (unsigned i = 0; i < width; ++i)
        pixels.push_back(XGetPixel(image, static_cast<int>(i), static_cast<int>(j)));
    }
    XDestroyImage(image);
  };
  line(area.x, area.y + area.height / 2, static_cast<unsigned>(area.width), 1);
  line(area.x + area.width / 2, area.y, 1, static_cast<unsigned>(area.height));
  return pixels;
}

int Click(char** argv, int argc) {
  const Window window = std::strtoul(argv[0], nullptr, 0);
  const int x = std::atoi(argv[1]), y = std::atoi(argv[2]);
  const std::string wait = argc > 3 ? argv[3] : "none";
  Area area;
  const bool watchArea = wait.rfind("area:", 0) == 0;
  if (watchArea &&
      std::sscanf(wait.c_str(), "area:%d,%d,%d,%d", &area.x, &area.y, &area.width, &area.height) != 4) {
    Fail("area:X,Y,W,H wanted, not " + wait, 2);
  }
  if (!watchArea && wait != "root" && wait != "unmap" && wait != "none") Fail("unknown wait: " + wait, 2);

  if (wait == "root") WatchRoot();
  if (wait == "unmap") XSelectInput(display, window, StructureNotifyMask);
  int rootX = 0, rootY = 0;
  Window child = 0;
  if (XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child) == 0) {
    Fail("no such window", 2);
  }
  // The pointer arrives first, as a hand's would, and the program has taken that in before the press.
  XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
  XSync(display, False);
  usleep(50000);
  const std::vector<unsigned long> before = watchArea ? Sample(window, area) : std::vector<unsigned long>();
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XFlush(display);
  // A press and a release at the same instant are sometimes taken for no click at all; a finger takes
  // longer than this anyway. The time the button is held is the user's, not the program's: the clock
  // starts at the release, where a click is made.
  usleep(12000);
  const Clock::time_point start = Clock::now();
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  // Taken in by the server before this probe may end: a connection closed right after a flush sometimes
  // loses its last request, and a press without its release is no click.
  XSync(display, False);
  if (wait == "root") {
    WaitFor(start, IsRootPixmapSet);
  } else if (wait == "unmap") {
    WaitFor(start, [&](const XEvent* event) {
      return event != nullptr && event->type == UnmapNotify && event->xunmap.window == window;
    });
  } else if (watchArea) {
    WaitFor(
        start,
        [&](const XEvent* event) {
          if (event != nullptr) return false;
          const std::vector<unsigned long> now = Sample(window, area);
          if (now == before) return false;
          for (const unsigned long pixel : now) {
            if (pixel != now.front()) return true;
          }
          return false;  // cleared, not yet painted
        },
        2);
  }
  std::printf("%.1f\n", MsSince(start));
  return 0;
}

int Run(char** argv) {
  const bool root = std::strcmp(argv[0], "root") == 0;
  if (root) {
    ++argv;
    WatchRoot();
  }
  const Clock::time_point start = Clock::now();
  const pid_t pid = Spawn(argv, "/dev/null");
  double painted = -1;
  bool ended = false;
  WaitFor(
      start,
      [&](const XEvent* event) {
        if (root && painted < 0 && IsRootPixmapSet(event)) painted = MsSince(start);
        if (!ended && Ended(pid)) {
          ended = true;
          if (!root) painted = MsSince(start);
        }
        return ended && painted >= 0;
      },
      1);
  std::printf("%.1f\n", painted);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage =
      "usage: bench_x_probe [--timeout MS] start LOG WIDTH HEIGHT COMMAND... | click WINDOW X Y [WAIT] | "
      "run [root] COMMAND...";
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--timeout") == 0) {
    timeoutMs = std::atoi(argv[2]);
    first = 3;
  }
  if (argc - first < 2) Fail(usage, 2);
  display = XOpenDisplay(nullptr);
  if (display == nullptr) Fail("cannot open the display", 2);
  int event = 0, error = 0, major = 0, minor = 0;
  if (XTestQueryExtension(display, &event, &error, &major, &minor) == 0) Fail("the server lacks XTest", 2);
  XSetErrorHandler(IgnoreXErrors);
  const std::string mode = argv[first];
  char** rest = argv + first + 1;
  const int count = argc - first - 1;
  if (mode == "start" && count >= 4) return Start(rest);
  if (mode == "click" && count >= 3) return Click(rest, count);
  if (mode == "run" && count >= 1) return Run(rest);
  Fail(usage, 2);
}
