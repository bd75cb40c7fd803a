#pragma once
// The battery charge estimate from the battery voltage, and the picture that shows it.

#include <cstdint>

namespace zelto {

// The voltage, in tenths, that counts as an empty battery.
inline constexpr int kChargeBaseOnBattery = 100;
inline constexpr int kChargeBaseOnMains = 120;

// (tenths - base) x 7.7 rounded to the nearest integer, ties to even; 0 below the base, at most
// 100. Exact integer arithmetic, so every compiler gives the same fourteen steps.
std::uint8_t ChargeEstimate(int tenths, int base);

// The battery picture for a charge: full at 100, half from 50, nearly empty from 20, crossed
// out below.
int ChargeLevelPicture(int charge);

}  // namespace zelto
