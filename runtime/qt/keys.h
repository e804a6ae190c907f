#pragma once

#include "runtime/core/key_codes.h"

#include <cstdint>

class QKeyEvent;

namespace pellavin::qt_backend {

namespace virtual_key = runtime::virtual_key;

// The virtual-key code of a Qt key event: the physical key, whatever the
// modifiers made of its character. 0 for a key that has no code.
int16_t virtual_key_code(const QKeyEvent& event);

// The shift state of a key event: 1 Shift, 2 Ctrl, 4 Alt, added.
int16_t shift_state(const QKeyEvent& event);

}  // namespace pellavin::qt_backend
