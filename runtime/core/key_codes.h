#pragma once

#include <cstdint>

namespace pellavin::runtime {

// Virtual-key codes of the keys the programs name, as key-down events
// carry them.
namespace virtual_key {
inline constexpr int16_t kShift = 16;
inline constexpr int16_t kControl = 17;
inline constexpr int16_t kAlt = 18;
inline constexpr int16_t kLeft = 37;
inline constexpr int16_t kUp = 38;
inline constexpr int16_t kRight = 39;
inline constexpr int16_t kDown = 40;
}  // namespace virtual_key

}  // namespace pellavin::runtime
