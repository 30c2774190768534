// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/x11_outputs.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <memory>

namespace lumora::platform {

namespace {

// A window manager that counts workspaces in the thousands is broken; stay within reason.
constexpr long kMostWorkspaces = 64;

int WorkspaceCount(Display* display, Window root) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  int workspaces = 1;
  const Atom atom = XInternAtom(display, "_NET_NUMBER_OF_DESKTOPS", False);
  if (XGetWindowProperty(display, root, atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                         &data) == Success &&
      type == XA_CARDINAL && format == 32 && count == 1) {
    const long value = *reinterpret_cast<long*>(data);
    if (value >= 1 && value <= kMostWorkspaces) workspaces = static_cast<int>(value);
  }
  if (data != nullptr) XFree(data);
  return workspaces;
}

}  // namespace

X11Outputs ReadX11Outputs() {
  X11Outputs outputs;
  const std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
  if (!display) return outputs;
  const Window root = DefaultRootWindow(display.get());
  outputs.workspaces = WorkspaceCount(display.get(), root);
  int eventBase = 0;
  int errorBase = 0;
  if (!XRRQueryExtension(display.get(), &eventBase, &errorBase)) return outputs;
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display.get(), root);
  if (resources == nullptr) return outputs;
  for (int i = 0; i < resources->noutput; ++i) {
    XRROutputInfo* info = XRRGetOutputInfo(display.get(), resources, resources->outputs[i]);
    if (info == nullptr) continue;
    if (info->connection == RR_Connected && info->crtc != None) outputs.names.emplace_back(info->name);
    XRRFreeOutputInfo(info);
  }
  XRRFreeScreenResources(resources);
  return outputs;
}

}  // namespace lumora::platform
