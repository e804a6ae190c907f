#include "runtime/qt/keys.h"

#include <QKeyEvent>

namespace pellavin::qt_backend {
namespace {

struct KeyCode {
    int qt_key;
    int16_t code;
};

// Keys whose code is not their own character.
constexpr KeyCode kKeyTable[] = {
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9}, {Qt::Key_Backtab, 9}, {Qt::Key_Return, 13}, {Qt::Key_Enter, 13},
    {Qt::Key_Shift, virtual_key::kShift}, {Qt::Key_Control, virtual_key::kControl}, {Qt::Key_Alt, virtual_key::kAlt},
    {Qt::Key_AltGr, virtual_key::kAlt}, {Qt::Key_Pause, 19}, {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32}, {Qt::Key_PageUp, 33}, {Qt::Key_PageDown, 34}, {Qt::Key_End, 35}, {Qt::Key_Home, 36},
    {Qt::Key_Left, virtual_key::kLeft}, {Qt::Key_Up, virtual_key::kUp}, {Qt::Key_Right, virtual_key::kRight},
    {Qt::Key_Down, virtual_key::kDown}, {Qt::Key_Print, 44}, {Qt::Key_Insert, 45}, {Qt::Key_Delete, 46},
    {Qt::Key_Meta, 91}, {Qt::Key_Super_L, 91}, {Qt::Key_Super_R, 92}, {Qt::Key_Menu, 93}, {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145},
    // Punctuation, unshifted and shifted, by the key that carries it.
    {Qt::Key_Semicolon, 186}, {Qt::Key_Colon, 186}, {Qt::Key_Equal, 187}, {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188}, {Qt::Key_Less, 188}, {Qt::Key_Minus, 189}, {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190}, {Qt::Key_Greater, 190}, {Qt::Key_Slash, 191}, {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192}, {Qt::Key_AsciiTilde, 192}, {Qt::Key_BracketLeft, 219}, {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220}, {Qt::Key_Bar, 220}, {Qt::Key_BracketRight, 221}, {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222}, {Qt::Key_QuoteDbl, 222},
    // Shifted digits.
    {Qt::Key_Exclam, '1'}, {Qt::Key_At, '2'}, {Qt::Key_NumberSign, '3'}, {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'}, {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'}, {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'}, {Qt::Key_ParenRight, '0'},
};

constexpr int16_t kKeypad0 = 96;
constexpr int16_t kKeypadMultiply = 106;
constexpr int16_t kKeypadAdd = 107;
constexpr int16_t kKeypadSubtract = 109;
constexpr int16_t kKeypadDecimal = 110;
constexpr int16_t kKeypadDivide = 111;
constexpr int16_t kF1 = 112;

}  // namespace

int16_t virtual_key_code(const QKeyEvent& event)
{
    const int key = event.key();
    if (event.modifiers() & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<int16_t>(kKeypad0 + (key - Qt::Key_0));
        switch (key) {
        case Qt::Key_Asterisk: return kKeypadMultiply;
        case Qt::Key_Plus: return kKeypadAdd;
        case Qt::Key_Minus: return kKeypadSubtract;
        case Qt::Key_Period:
        case Qt::Key_Comma: return kKeypadDecimal;
        case Qt::Key_Slash: return kKeypadDivide;
        default: break;  // arrows and the like on the keypad are themselves
        }
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<int16_t>(key);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<int16_t>(kF1 + (key - Qt::Key_F1));
    for (const KeyCode& entry : kKeyTable) {
        if (entry.qt_key == key) return entry.code;
    }
    return 0;
}

int16_t shift_state(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    int16_t state = 0;
    if (modifiers & Qt::ShiftModifier) state |= 1;
    if (modifiers & Qt::ControlModifier) state |= 2;
    if (modifiers & Qt::AltModifier) state |= 4;
    return state;
}

}  // namespace pellavin::qt_backend
