#include "runtime/screen/keys.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace pellavin::screen {
namespace {

struct KeyCode {
    xkb_keysym_t keysym;
    int16_t code;
};

// Symbols whose code is not their own character.
constexpr KeyCode kKeyTable[] = {
    {XKB_KEY_BackSpace, 8}, {XKB_KEY_Tab, 9}, {XKB_KEY_ISO_Left_Tab, 9}, {XKB_KEY_Return, 13},
    {XKB_KEY_Shift_L, virtual_key::kShift}, {XKB_KEY_Shift_R, virtual_key::kShift},
    {XKB_KEY_Control_L, virtual_key::kControl}, {XKB_KEY_Control_R, virtual_key::kControl},
    {XKB_KEY_Alt_L, virtual_key::kAlt}, {XKB_KEY_Alt_R, virtual_key::kAlt}, {XKB_KEY_ISO_Level3_Shift, virtual_key::kAlt},
    {XKB_KEY_Pause, 19}, {XKB_KEY_Caps_Lock, 20}, {XKB_KEY_Escape, 27}, {XKB_KEY_space, 32}, {XKB_KEY_Prior, 33},
    {XKB_KEY_Next, 34}, {XKB_KEY_End, 35}, {XKB_KEY_Home, 36}, {XKB_KEY_Left, virtual_key::kLeft},
    {XKB_KEY_Up, virtual_key::kUp}, {XKB_KEY_Right, virtual_key::kRight}, {XKB_KEY_Down, virtual_key::kDown},
    {XKB_KEY_Print, 44}, {XKB_KEY_Insert, 45}, {XKB_KEY_Delete, 46}, {XKB_KEY_Meta_L, 91}, {XKB_KEY_Meta_R, 91},
    {XKB_KEY_Super_L, 91}, {XKB_KEY_Super_R, 92}, {XKB_KEY_Menu, 93}, {XKB_KEY_Num_Lock, 144},
    {XKB_KEY_Scroll_Lock, 145},
    // The keypad's keys that stand for others: with Num Lock off its digits
    // are the arrows and the page keys.
    {XKB_KEY_KP_Enter, 13}, {XKB_KEY_KP_Tab, 9}, {XKB_KEY_KP_Space, 32}, {XKB_KEY_KP_Prior, 33},
    {XKB_KEY_KP_Next, 34}, {XKB_KEY_KP_End, 35}, {XKB_KEY_KP_Home, 36}, {XKB_KEY_KP_Left, virtual_key::kLeft},
    {XKB_KEY_KP_Up, virtual_key::kUp}, {XKB_KEY_KP_Right, virtual_key::kRight}, {XKB_KEY_KP_Down, virtual_key::kDown},
    {XKB_KEY_KP_Insert, 45}, {XKB_KEY_KP_Delete, 46}, {XKB_KEY_KP_Equal, 187},
    // The keypad's own.
    {XKB_KEY_KP_Multiply, 106}, {XKB_KEY_KP_Add, 107}, {XKB_KEY_KP_Separator, 110}, {XKB_KEY_KP_Subtract, 109},
    {XKB_KEY_KP_Decimal, 110}, {XKB_KEY_KP_Divide, 111},
    // Punctuation, unshifted and shifted, by the key that carries it.
    {XKB_KEY_semicolon, 186}, {XKB_KEY_colon, 186}, {XKB_KEY_equal, 187}, {XKB_KEY_plus, 187}, {XKB_KEY_comma, 188},
    {XKB_KEY_less, 188}, {XKB_KEY_minus, 189}, {XKB_KEY_underscore, 189}, {XKB_KEY_period, 190},
    {XKB_KEY_greater, 190}, {XKB_KEY_slash, 191}, {XKB_KEY_question, 191}, {XKB_KEY_grave, 192},
    {XKB_KEY_asciitilde, 192}, {XKB_KEY_bracketleft, 219}, {XKB_KEY_braceleft, 219}, {XKB_KEY_backslash, 220},
    {XKB_KEY_bar, 220}, {XKB_KEY_bracketright, 221}, {XKB_KEY_braceright, 221}, {XKB_KEY_apostrophe, 222},
    {XKB_KEY_quotedbl, 222},
    // Shifted digits.
    {XKB_KEY_exclam, '1'}, {XKB_KEY_at, '2'}, {XKB_KEY_numbersign, '3'}, {XKB_KEY_dollar, '4'},
    {XKB_KEY_percent, '5'}, {XKB_KEY_asciicircum, '6'}, {XKB_KEY_ampersand, '7'}, {XKB_KEY_asterisk, '8'},
    {XKB_KEY_parenleft, '9'}, {XKB_KEY_parenright, '0'},
};

constexpr int16_t kKeypad0 = 96;
constexpr int16_t kF1 = 112;
constexpr int kFunctionKeys = 24;

}  // namespace

int16_t virtual_key_code(xkb_keysym_t keysym)
{
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) return static_cast<int16_t>('A' + (keysym - XKB_KEY_a));
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) return static_cast<int16_t>(keysym);
    if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9) return static_cast<int16_t>(keysym);
    if (keysym >= XKB_KEY_KP_0 && keysym <= XKB_KEY_KP_9) return static_cast<int16_t>(kKeypad0 + (keysym - XKB_KEY_KP_0));
    if (keysym >= XKB_KEY_F1 && keysym < XKB_KEY_F1 + kFunctionKeys) return static_cast<int16_t>(kF1 + (keysym - XKB_KEY_F1));
    if (keysym >= XKB_KEY_KP_F1 && keysym <= XKB_KEY_KP_F4) return static_cast<int16_t>(kF1 + (keysym - XKB_KEY_KP_F1));
    for (const KeyCode& entry : kKeyTable) {
        if (entry.keysym == keysym) return entry.code;
    }
    return 0;
}

KeyDown key_down(xkb_state* state, xkb_keycode_t key)
{
    KeyDown down;
    down.code = virtual_key_code(xkb_state_key_get_one_sym(state, key));
    const auto active = [state](const char* name) {
        return xkb_state_mod_name_is_active(state, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    if (active(XKB_MOD_NAME_SHIFT)) down.shift |= 1;
    if (active(XKB_MOD_NAME_CTRL)) down.shift |= 2;
    if (active(XKB_MOD_NAME_ALT)) down.shift |= 4;
    return down;
}

KeyboardState::~KeyboardState()
{
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
}

xkb_context* new_keymap_context()
{
    xkb_context* context = xkb_context_new(
        static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (context != nullptr) xkb_context_set_log_level(context, XKB_LOG_LEVEL_CRITICAL);
    return context;
}

void KeyboardState::set_keymap(xkb_keymap* keymap)
{
    xkb_state* state = keymap != nullptr ? xkb_state_new(keymap) : nullptr;
    if (state == nullptr) {
        xkb_keymap_unref(keymap);
        return;
    }
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = state;
}

void KeyboardState::set_modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t layout)
{
    if (state_ != nullptr) xkb_state_update_mask(state_, depressed, latched, locked, 0, 0, layout);
}

bool KeyboardState::repeats(xkb_keycode_t key) const
{
    return keymap_ != nullptr && xkb_keymap_key_repeats(keymap_, key) != 0;
}

KeyDown KeyboardState::key_down(xkb_keycode_t key) const
{
    return state_ != nullptr ? screen::key_down(state_, key) : KeyDown{};
}

}  // namespace pellavin::screen
