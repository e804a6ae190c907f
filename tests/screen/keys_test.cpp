#include "runtime/screen/keys.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace pellavin::screen {
namespace {

// Keys by their evdev number, as keyboards send them; xkb counts 8 higher.
constexpr xkb_keycode_t kEvdevOffset = 8;
enum Key : xkb_keycode_t {
    kEsc = 1, k1 = 2, k2 = 3, kEqual = 13, kTab = 15, kQ = 16, kReturn = 28, kA = 30, kSemicolon = 39, kGrave = 41,
    kLeftShift = 42, kZ = 44, kLeftCtrl = 29, kLeftAlt = 56, kSpace = 57, kF1 = 59, kNumLock = 69, kKeypad4 = 75,
    kKeypad5 = 76, kF12 = 88, kRightAlt = 100, kUp = 103, kLeft = 105, kRight = 106, kDown = 108,
};

struct Keyboard {
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{nullptr, &xkb_keymap_unref};
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state{nullptr, &xkb_state_unref};

    explicit Keyboard(const char* layout)
    {
        const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
        keymap.reset(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (keymap) state.reset(xkb_state_new(keymap.get()));
    }

    void press(Key key) { xkb_state_update_key(state.get(), key + kEvdevOffset, XKB_KEY_DOWN); }
    void release(Key key) { xkb_state_update_key(state.get(), key + kEvdevOffset, XKB_KEY_UP); }
    KeyDown down(Key key) { return key_down(state.get(), key + kEvdevOffset); }
};

struct KeyCase {
    const char* layout;
    std::vector<Key> held;  // pressed before, and still down
    bool num_lock;
    Key key;
    int16_t code;
    int16_t shift;
};

// What a key is to the game, on keyboards as people have them: the arrows
// whatever else is held, shifted symbols as their keys, dead keys as keys
// that are not arrows (pressed, they end the game, never composed away).
TEST(Keys, EachKeyHasTheCodeOfTheKeyThatCarriesIt)
{
    const KeyCase cases[] = {
        {"us", {}, false, kLeft, 37, 0},
        {"us", {}, false, kRight, 39, 0},
        {"us", {}, false, kUp, 38, 0},
        {"us", {kLeftShift}, false, kLeft, 37, 1},
        {"us", {kLeftCtrl}, false, kRight, 39, 2},
        {"us", {kLeftShift, kLeftCtrl, kLeftAlt}, false, kLeft, 37, 7},
        {"us", {}, false, kDown, 40, 0},
        {"us", {}, false, kA, 'A', 0},
        {"us", {kLeftShift}, false, kA, 'A', 1},
        {"us", {}, false, k1, '1', 0},
        {"us", {kLeftShift}, false, k1, '1', 1},  // "!"
        {"us", {}, false, kLeftShift, 16, 0},
        {"us", {}, false, kLeftCtrl, 17, 0},
        {"us", {}, false, kEsc, 27, 0},
        {"us", {}, false, kSpace, 32, 0},
        {"us", {}, false, kF1, 112, 0},
        {"us", {}, false, kF12, 123, 0},
        {"us", {}, false, kReturn, 13, 0},
        {"us", {}, false, kTab, 9, 0},
        {"us", {}, false, kSemicolon, 186, 0},
        {"us", {}, false, kKeypad4, 37, 0},  // Num Lock off: the keypad's left arrow
        {"us", {}, true, kKeypad4, 100, 0},
        {"us", {}, true, kKeypad5, 101, 0},
        {"de", {}, false, kGrave, 0, 0},      // dead circumflex
        {"de", {}, false, kEqual, 0, 0},      // dead acute
        {"de", {}, false, kSemicolon, 0, 0},  // ö: a letter outside A to Z
        {"de", {}, false, kZ, 'Y', 0},
        {"de", {kLeftShift}, false, k2, 222, 1},  // '"'
        {"de", {}, false, kRightAlt, 18, 0},      // AltGr
        {"de", {}, false, kLeft, 37, 0},
        {"fr", {}, false, kQ, 'A', 0},
        {"fr", {}, false, k1, '7', 0},  // "&", whose key is 7's on the keyboards the codes come from
        {"fr", {kLeftShift}, false, k1, '1', 1},
        {"fr", {}, false, kRight, 39, 0},
    };
    for (const KeyCase& c : cases) {
        Keyboard keyboard(c.layout);
        ASSERT_TRUE(keyboard.state) << "no keymap for " << c.layout;
        if (c.num_lock) {
            keyboard.press(kNumLock);
            keyboard.release(kNumLock);
        }
        for (Key held : c.held) keyboard.press(held);
        const KeyDown down = keyboard.down(c.key);
        EXPECT_EQ(down.code, c.code) << c.layout << " key " << c.key;
        EXPECT_EQ(down.shift, c.shift) << c.layout << " key " << c.key;
    }
}

TEST(Keys, NoKeySymbolButTheArrowsIsAnArrow)
{
    for (xkb_keysym_t keysym = 0; keysym <= 0xFFFF; ++keysym) {
        const int16_t code = virtual_key_code(keysym);
        if (code != 37 && code != 39) continue;
        EXPECT_TRUE(keysym == XKB_KEY_Left || keysym == XKB_KEY_Right || keysym == XKB_KEY_KP_Left
            || keysym == XKB_KEY_KP_Right)
            << std::hex << keysym;
    }
}

}  // namespace
}  // namespace pellavin::screen
