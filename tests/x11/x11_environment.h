// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/xvfb.h"

namespace lumora::test {

// The X server that this test binary's QApplication is connected to.
const XvfbServer& TestXServer();

}  // namespace lumora::test
