// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/hot_keys_x11.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/hot_keys.h"
#include "platform/null/null_backends.h"

// Xlib after Qt: its macros (Status, None, Bool…) would break Qt's headers.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xproto.h>

#include "platform/x11/x11_error_trap.h"

namespace lumora::platform {

namespace {

// The modifiers a hot key can name; everything else in an event's state (lock bits, buttons, group) is
// not part of the combination.
constexpr unsigned kCombinationBits = ShiftMask | ControlMask | Mod1Mask;

// The modifier bit that NumLock sets in this server's mapping (Mod2 on most, but not on every keymap);
// zero when no modifier carries it.
unsigned NumLockMask(Display* display) {
  const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
  if (numLock == 0) return 0;
  XModifierKeymap* map = XGetModifierMapping(display);
  if (map == nullptr) return 0;
  unsigned mask = 0;
  for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
    for (int i = 0; i < map->max_keypermod; ++i) {
      if (map->modifiermap[modifier * map->max_keypermod + i] == numLock) {
        mask = 1u << modifier;
        break;
      }
    }
  }
  XFreeModifiermap(map);
  return mask;
}

KeySym KeySymOf(unsigned virtualKey) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') return XK_a + (virtualKey - 'A');
  if (virtualKey >= '0' && virtualKey <= '9') return XK_0 + (virtualKey - '0');
  return NoSymbol;
}

// Passive grabs of key combinations on the root window: the server sends the grabbed presses to this
// client whatever window has the focus, and refuses (BadAccess) a combination another client holds.
class X11HotKeys final : public GlobalHotKeys, public QAbstractNativeEventFilter {
 public:
  X11HotKeys(Display* display, PressHandler pressed)
      : display_(display), root_(DefaultRootWindow(display)), pressed_(std::move(pressed)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~X11HotKeys() override {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    for (const Grab& grab : grabs_) Ungrab(grab);
    XFlush(display_);
  }

  HotKeyResult Register(int id, unsigned modifiers, unsigned virtualKey) override {
    if ((modifiers & ~(kModAlt | kModControl | kModShift)) != 0) return HotKeyResult::Taken;
    const KeySym keySym = KeySymOf(virtualKey);
    const KeyCode keyCode = keySym == NoSymbol ? 0 : XKeysymToKeycode(display_, keySym);
    if (keyCode == 0) return HotKeyResult::Taken;
    unsigned mask = 0;
    if ((modifiers & kModAlt) != 0) mask |= Mod1Mask;
    if ((modifiers & kModControl) != 0) mask |= ControlMask;
    if ((modifiers & kModShift) != 0) mask |= ShiftMask;
    // The server lets a client grab again what it holds already, so our own combinations are checked here:
    // asking again under the same identifier changes nothing.
    for (const Grab& grab : grabs_) {
      if (grab.keyCode == keyCode && grab.mask == mask) {
        return grab.id == id ? HotKeyResult::Registered : HotKeyResult::Taken;
      }
    }

    // The server matches a grab against the whole modifier state, locks included: a combination must be
    // grabbed once for every state of NumLock and CapsLock, or it would stop working while one is on.
    const unsigned numLock = NumLockMask(display_);
    Grab grab{id, keyCode, mask, {}};
    grab.variants = {mask, mask | LockMask};
    if (numLock != 0 && numLock != LockMask && (numLock & kCombinationBits) == 0) {
      grab.variants.push_back(mask | numLock);
      grab.variants.push_back(mask | numLock | LockMask);
    }
    bool refused = false;
    {
      X11ErrorTrap trap(display_);
      for (unsigned variant : grab.variants) {
        XGrabKey(display_, keyCode, variant, root_, False, GrabModeAsync, GrabModeAsync);
      }
      refused = trap.Failed();
    }
    if (refused) {
      // Some variants may have been granted before the refusal: release them all, so that a failed
      // registration holds nothing. Ungrabbing a variant we never got leaves the other client's grab alone.
      Ungrab(grab);
      XFlush(display_);
      return HotKeyResult::Taken;
    }
    grabs_.push_back(std::move(grab));
    return HotKeyResult::Registered;
  }

  void Unregister(int id) override {
    bool released = false;
    for (auto it = grabs_.begin(); it != grabs_.end();) {
      if (it->id != id) {
        ++it;
        continue;
      }
      Ungrab(*it);
      it = grabs_.erase(it);
      released = true;
    }
    if (released) XFlush(display_);
  }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->event != root_) return false;

    // The press of a grabbed combination turns the passive grab into a grab of the whole keyboard until
    // that key goes up: every key event meanwhile (the modifiers let go first, say) is ours too.
    if (type == XCB_KEY_RELEASE) {
      if (key->detail != activeKey_) return activeKey_ != 0;
      activeKey_ = 0;
      lastRelease_ = {key->detail, key->time};
      return true;
    }
    const bool ours = std::any_of(grabs_.begin(), grabs_.end(),
                                  [&](const Grab& grab) { return grab.keyCode == key->detail; });
    if (!ours) return activeKey_ != 0;
    // The server repeats a held key as a release and a press with one timestamp; a press of the user's
    // never comes in the same millisecond as the release before it.
    const bool repeat = lastRelease_.keyCode == key->detail && lastRelease_.time == key->time;
    activeKey_ = key->detail;
    if (repeat) return true;
    const unsigned combination = key->state & kCombinationBits;
    for (const Grab& grab : grabs_) {
      if (grab.keyCode == key->detail && grab.mask == combination) {
        const int id = grab.id;  // the handler may unregister, which invalidates grab
        pressed_(id);
        break;
      }
    }
    return true;
  }

 private:
  struct Grab {
    int id;
    KeyCode keyCode;
    unsigned mask;
    std::vector<unsigned> variants;  // mask with each lock state, as grabbed
  };

  void Ungrab(const Grab& grab) {
    for (unsigned variant : grab.variants) XUngrabKey(display_, grab.keyCode, variant, root_);
  }

  Display* display_;
  Window root_;
  PressHandler pressed_;
  std::vector<Grab> grabs_;
  std::uint8_t activeKey_ = 0;  // the key whose press started the keyboard grab in force; 0: none
  struct {
    std::uint8_t keyCode = 0;
    xcb_timestamp_t time = 0;
  } lastRelease_;
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateX11HotKeys(GlobalHotKeys::PressHandler pressed) {
  auto* x11 = qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 == nullptr ? nullptr : x11->display();
  if (display == nullptr) return CreateNullHotKeys();
  return std::make_unique<X11HotKeys>(display, std::move(pressed));
}

}  // namespace lumora::platform
