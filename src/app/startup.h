// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace lumora {

class TickClock;

// The whole life of the program: single instance, splash, main window, message loop. Returns the process's
// exit code.
int RunLumora(int argc, char** argv, TickClock& clock);

}  // namespace lumora
