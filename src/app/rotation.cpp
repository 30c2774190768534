// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/rotation.h"

#include <random>

namespace lumora {

namespace {

// Seeded only when a random rotation is armed; until then it gives its default sequence.
std::mt19937& Generator() {
  static std::mt19937 generator;
  return generator;
}

}  // namespace

RotationOrder RotationOrderOf(int selectedIndex) {
  switch (selectedIndex) {
    case 0:
      return RotationOrder::TopDown;
    case 1:
      return RotationOrder::BottomUp;
    default:
      return RotationOrder::Random;
  }
}

std::int32_t AdvancePosition(std::int32_t position, RotationOrder order, std::int32_t last) {
  switch (order) {
    case RotationOrder::TopDown:
      return position >= last ? 0 : position + 1;
    case RotationOrder::BottomUp:
      return position <= 0 ? last : position - 1;
    case RotationOrder::Random:
      break;
  }
  return position;
}

std::int32_t PositionInside(std::int32_t position, RotationOrder order, std::int32_t last) {
  if (position >= 0 && position <= last) return position;
  return order == RotationOrder::BottomUp ? last : 0;
}

void SeedRotationRandom(std::uint32_t seed) {
  Generator().seed(seed);
}

std::int32_t RandomPosition(std::int32_t last) {
  if (last < 0) return 0;
  // 31 bits: a non-negative 32-bit number, as the runtime's generator gives.
  const auto r = static_cast<std::int32_t>(Generator()() >> 1);
  return r % (last + 1);
}

}  // namespace lumora
