// SPDX-License-Identifier: GPL-3.0-or-later
// Global hot keys against a real X server: presses come from XTEST (xdotool), the rival program is a plain
// Xlib connection of the test's own.
#include "platform/x11/hot_keys_x11.h"

#include <gtest/gtest.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/hot_keys.h"
#include "support/process.h"
#include "x11/x11_environment.h"

// Xlib last: its macros would break Qt's headers.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xproto.h>

namespace lumora::test {
namespace {

using platform::HotKeyResult;
using platform::kModAlt;
using platform::kModControl;
using platform::kModShift;

void Xdotool(std::vector<std::string> argv) {
  argv.insert(argv.begin(), "xdotool");
  const RunResult result = RunProgram(argv, TestXServer().Options());
  ASSERT_EQ(result.exitCode, 0) << result.output;
}

bool g_refused = false;
int NoteRefusal(Display*, XErrorEvent* error) {
  g_refused = g_refused || error->error_code == BadAccess;
  return 0;
}

// Also a native event filter installed before the hot keys, so asked after them: it counts the key events
// that get past them to the rest of Qt.
class GlobalHotKeysX11 : public ::testing::Test, public QAbstractNativeEventFilter {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProgramAvailable("xdotool"));
    ASSERT_NE(rival_, nullptr);
    QCoreApplication::instance()->installNativeEventFilter(this);
    keys_ = platform::CreateX11HotKeys([this](int id) { pressed_.push_back(id); });
  }
  void TearDown() override {
    keys_.reset();
    QCoreApplication::instance()->removeNativeEventFilter(this);
    const unsigned state = LockState();  // the next case starts with the locks off
    if ((state & NumLock()) != 0) Xdotool({"key", "Num_Lock"});
    if ((state & LockMask) != 0) Xdotool({"key", "Caps_Lock"});
    if (rival_ != nullptr) XCloseDisplay(rival_);
  }
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    const auto type = static_cast<const xcb_generic_event_t*>(message)->response_type & 0x7f;
    if (eventType == "xcb_generic_event_t" && (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE)) ++leaked_;
    return false;
  }

  void Pump(int milliseconds, size_t untilCalls = SIZE_MAX) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds && pressed_.size() < untilCalls) QApplication::processEvents();
  }
  // Presses the keys, waits until the handler has had that many calls in all, then a while longer for
  // calls that should not come.
  void Press(const std::string& keys, size_t expectedCalls) {
    Xdotool({"key", keys});
    Pump(3000, expectedCalls);
    Pump(150);
  }

  bool RivalGrabs(KeySym sym, unsigned mask) {
    g_refused = false;
    XErrorHandler previous = XSetErrorHandler(&NoteRefusal);
    XGrabKey(rival_, XKeysymToKeycode(rival_, sym), mask, DefaultRootWindow(rival_), False, GrabModeAsync,
             GrabModeAsync);
    XSync(rival_, False);
    XSetErrorHandler(previous);
    return !g_refused;
  }
  void RivalUngrabs(KeySym sym, unsigned mask) {
    XUngrabKey(rival_, XKeysymToKeycode(rival_, sym), mask, DefaultRootWindow(rival_));
    XSync(rival_, False);
  }
  // Nobody holds the combination in any lock state.
  bool Free(KeySym sym, unsigned mask) {
    for (unsigned locks : {0u, unsigned{LockMask}, NumLock(), NumLock() | LockMask}) {
      if (!RivalGrabs(sym, mask | locks)) return false;
      RivalUngrabs(sym, mask | locks);
    }
    return true;
  }
  unsigned NumLock() const {
    const KeyCode numLock = XKeysymToKeycode(rival_, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(rival_);
    unsigned mask = 0;
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
      if (numLock != 0 && map->modifiermap[i] == numLock) mask = 1u << (i / map->max_keypermod);
    }
    XFreeModifiermap(map);
    return mask;
  }
  unsigned LockState() const {
    Window root, child;
    int rootX, rootY, x, y;
    unsigned mask = 0;
    XQueryPointer(rival_, DefaultRootWindow(rival_), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return mask;
  }

  Display* rival_ = XOpenDisplay(TestXServer().Display().c_str());
  std::unique_ptr<platform::GlobalHotKeys> keys_;
  std::vector<int> pressed_;
  int leaked_ = 0;
};

TEST_F(GlobalHotKeysX11, EachPressCallsOnceWithItsIdWhateverTheLocks) {
  ASSERT_EQ(keys_->Register(7, kModControl, 'Q'), HotKeyResult::Registered);
  Press("ctrl+q", 1);
  Press("ctrl+q", 2);
  EXPECT_EQ(leaked_, 0) << "the rest of Qt saw the hot key";

  ASSERT_NE(NumLock(), 0u) << "the server's keymap has no NumLock modifier";
  Xdotool({"key", "Num_Lock"});
  ASSERT_NE(LockState() & NumLock(), 0u);
  Press("ctrl+q", 3);
  Xdotool({"key", "Caps_Lock"});
  ASSERT_NE(LockState() & LockMask, 0u);
  Press("ctrl+q", 4);
  Xdotool({"key", "Num_Lock"});
  Press("ctrl+q", 5);
  EXPECT_EQ(pressed_, (std::vector<int>(5, 7)));
}

TEST_F(GlobalHotKeysX11, HeldKeyCallsOnce) {
  ASSERT_EQ(keys_->Register(7, kModControl, 'Q'), HotKeyResult::Registered);
  Xdotool({"keydown", "ctrl+q"});
  Pump(1200);  // well past the server's auto-repeat delay
  Xdotool({"keyup", "ctrl+q"});
  Press("ctrl+q", 2);
  EXPECT_EQ(pressed_, (std::vector<int>{7, 7}));
}

TEST_F(GlobalHotKeysX11, ModifiersMustMatchExactly) {
  ASSERT_EQ(keys_->Register(1, 0, 'B'), HotKeyResult::Registered);
  ASSERT_EQ(keys_->Register(2, kModAlt | kModShift, 'E'), HotKeyResult::Registered);
  ASSERT_EQ(keys_->Register(3, kModControl | kModShift, 'W'), HotKeyResult::Registered);
  Press("b", 1);
  Press("alt+shift+e", 2);
  Press("ctrl+shift+w", 3);
  Press("ctrl+w", 3);
  Press("shift+b", 3);
  EXPECT_EQ(pressed_, (std::vector<int>{1, 2, 3}));
}

TEST_F(GlobalHotKeysX11, CombinationHeldByAnotherClientIsRefusedAndNothingStaysGrabbed) {
  ASSERT_TRUE(RivalGrabs(XK_q, ControlMask));
  EXPECT_EQ(keys_->Register(1, kModControl, 'Q'), HotKeyResult::Taken);
  RivalUngrabs(XK_q, ControlMask);
  EXPECT_TRUE(Free(XK_q, ControlMask)) << "a refused registration kept grabs";

  ASSERT_EQ(keys_->Register(1, kModControl, 'Q'), HotKeyResult::Registered);
  EXPECT_FALSE(RivalGrabs(XK_q, ControlMask | NumLock()));
  Press("ctrl+q", 1);
  EXPECT_EQ(pressed_, (std::vector<int>{1}));
}

TEST_F(GlobalHotKeysX11, OneIdPerCombinationAndUnregisterReleasesAllOfAnId) {
  ASSERT_EQ(keys_->Register(1, kModControl, 'Q'), HotKeyResult::Registered);
  EXPECT_EQ(keys_->Register(2, kModControl, 'Q'), HotKeyResult::Taken);
  ASSERT_EQ(keys_->Register(1, kModControl, 'R'), HotKeyResult::Registered);  // keeps Ctrl+Q as well
  ASSERT_EQ(keys_->Register(2, kModControl, 'T'), HotKeyResult::Registered);
  Press("ctrl+q", 1);
  Press("ctrl+r", 2);

  keys_->Unregister(99);
  keys_->Unregister(1);
  Press("ctrl+q", 2);
  Press("ctrl+r", 2);
  Press("ctrl+t", 3);
  EXPECT_EQ(pressed_, (std::vector<int>{1, 1, 2}));
  EXPECT_TRUE(Free(XK_r, ControlMask));
  EXPECT_EQ(keys_->Register(3, kModControl, 'Q'), HotKeyResult::Registered);
}

TEST_F(GlobalHotKeysX11, DestructionReleasesTheGrabs) {
  ASSERT_EQ(keys_->Register(1, kModControl | kModAlt, 'Z'), HotKeyResult::Registered);
  keys_.reset();
  EXPECT_TRUE(Free(XK_z, ControlMask | Mod1Mask));
}

}  // namespace
}  // namespace lumora::test
