#pragma once

#include <cstdint>

class QKeyEvent;

namespace pellavin::qt_backend {

// Virtual-key codes of the keys the programs name.
namespace virtual_key {
inline constexpr int16_t kShift = 16;
inline constexpr int16_t kControl = 17;
inline constexpr int16_t kAlt = 18;
inline constexpr int16_t kLeft = 37;
inline constexpr int16_t kUp = 38;
inline constexpr int16_t kRight = 39;
inline constexpr int16_t kDown = 40;
}  // namespace virtual_key

// The virtual-key code of a Qt key event: the physical key, whatever the
// modifiers made of its character. 0 for a key that has no code.
int16_t virtual_key_code(const QKeyEvent& event);

// The shift state of a key event: 1 Shift, 2 Ctrl, 4 Alt, added.
int16_t shift_state(const QKeyEvent& event);

}  // namespace pellavin::qt_backend
