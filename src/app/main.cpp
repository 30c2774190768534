// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/splash_wait.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  lumora::MonotonicTickClock clock;
  return lumora::RunLumora(argc, argv, clock);
}
