#pragma once

#include "runtime/core/key_codes.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdint>

namespace pellavin::screen {

namespace virtual_key = runtime::virtual_key;

// The virtual-key code of a key symbol, as the key that carries it is
// known to the programs: a letter is its capital, a shifted digit or
// punctuation mark the key it is on, a keypad key its own code. 0 for a
// symbol that has no code (a dead key, a letter outside A to Z).
int16_t virtual_key_code(xkb_keysym_t keysym);

// A key pressed: its code and the shift state of the moment (1 Shift,
// 2 Ctrl, 4 Alt, added).
struct KeyDown {
    int16_t code = 0;
    int16_t shift = 0;
};

// The key `key` pressed in `state`, which holds the keymap, its layout and
// the modifiers in force. Nothing is composed: a dead key is a key too.
KeyDown key_down(xkb_state* state, xkb_keycode_t key);

// A context for the keymaps the window system gives: only the keymap given,
// never the user's environment or include paths. A keymap it cannot make
// (the server went away mid-question, say) leaves the keys as they were and
// the program says why in its own words, so the library's own lines on
// stderr are kept to the critical ones.
xkb_context* new_keymap_context();

// A keyboard's keymap, as the window system gives it, and the modifiers
// and layout in force. Without a keymap every key is one without a code.
class KeyboardState {
public:
    KeyboardState() = default;
    ~KeyboardState();
    KeyboardState(const KeyboardState&) = delete;
    KeyboardState& operator=(const KeyboardState&) = delete;

    // Takes over `keymap`, with its modifiers and layout afresh; a keymap
    // that could not be had (nullptr) leaves the one there was.
    void set_keymap(xkb_keymap* keymap);
    bool loaded() const { return state_ != nullptr; }

    void set_modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t layout);
    // Whether the keymap has the key come again while it is held.
    bool repeats(xkb_keycode_t key) const;
    KeyDown key_down(xkb_keycode_t key) const;

private:
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
};

}  // namespace pellavin::screen
