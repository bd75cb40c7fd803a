#pragma once
// Indexes into the two image lists (16 and 32 pixels), which hold the same subjects at the same
// index.

namespace zelto {

// Not in the lists: the program's own icon, as the tray shows it before any record, and again
// while there is no UPS to show.
inline constexpr int kPictureProgram = -1;
inline constexpr int kPictureBatteryFull = 0;
inline constexpr int kPictureBatteryHalf = 1;
inline constexpr int kPictureBatteryLow = 2;
inline constexpr int kPictureBatteryCrossed = 3;
inline constexpr int kPictureBatteryOnMains = 8;  // tray picture while on mains
inline constexpr int kPictureBeeperOff = 10;      // 32 px: loudspeaker with a no-entry sign
inline constexpr int kPictureBeeperOn = 11;       // 32 px: loudspeaker with sound waves

}  // namespace zelto
