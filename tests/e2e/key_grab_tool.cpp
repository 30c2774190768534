// SPDX-License-Identifier: GPL-3.0-or-later
// Holds a global key combination the way another program's hot key would: grabs Ctrl+<letter> on the
// root window (with the NumLock and CapsLock variants), prints "grabbed" and keeps the grab until killed.
// usage: key_grab_tool LETTER
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]).size() != 1) {
    std::fprintf(stderr, "usage: %s LETTER\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(argv[1]));
  for (unsigned locks : {0u, static_cast<unsigned>(Mod2Mask), static_cast<unsigned>(LockMask),
                         static_cast<unsigned>(Mod2Mask | LockMask)}) {
    XGrabKey(display, code, ControlMask | locks, DefaultRootWindow(display), True, GrabModeAsync,
             GrabModeAsync);
  }
  XSync(display, False);
  std::printf("grabbed\n");
  std::fflush(stdout);
  for (XEvent event;;) XNextEvent(display, &event);
}
