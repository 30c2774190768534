// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace lumora {

// Makes the pictures compiled into the program available under ":/lumora/". Safe to call more than once.
void InitResources();

}  // namespace lumora
