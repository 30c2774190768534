// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "desktops/private_session.h"

// The private session bus is shared by every test of this program (GIO and dconf keep their first
// connection), so it ends here, after the last test, rather than with any one of them.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  lumora::test::PrivateSession::Stop();
  return result;
}
