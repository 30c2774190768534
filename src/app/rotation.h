// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace lumora {

// The rotation orders, as the order list offers them.
enum class RotationOrder { TopDown = 0, BottomUp = 1, Random = 2 };

// The order the list's selected index stands for; anything else is neither top-down nor bottom-up and
// never moves a position.
RotationOrder RotationOrderOf(int selectedIndex);

// The position after a step: top-down moves on and wraps to the first item after last, bottom-up moves
// back and wraps to last; random leaves the position alone.
std::int32_t AdvancePosition(std::int32_t position, RotationOrder order, std::int32_t last);

// A position brought back inside 0..last when the list has shrunk since the rotation was armed (or the
// position was never set for this list): top-down goes on from the first item, bottom-up from the last.
std::int32_t PositionInside(std::int32_t position, RotationOrder order, std::int32_t last);

// The process's one generator for random rotations, shared by the timer and the hot key.
void SeedRotationRandom(std::uint32_t seed);
// A random item of 0..last (0 when last is below 0): the generator's next non-negative number modulo
// last + 1.
std::int32_t RandomPosition(std::int32_t last);

}  // namespace lumora
