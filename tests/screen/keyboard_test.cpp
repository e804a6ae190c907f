#include "runtime/screen/key_repeat.h"
#include "runtime/screen/keys.h"
#include "runtime/screen/wayland/keyboard.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/mman.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace pellavin::screen {
namespace {

using std::chrono::milliseconds;

// Keys by their evdev number, as keyboards send them; xkb counts 8 higher.
constexpr xkb_keycode_t kEvdevOffset = 8;
enum Key : xkb_keycode_t {
    kEsc = 1, k1 = 2, k2 = 3, kEqual = 13, kTab = 15, kQ = 16, kReturn = 28, kA = 30, kSemicolon = 39, kGrave = 41,
    kLeftShift = 42, kZ = 44, kLeftCtrl = 29, kLeftAlt = 56, kSpace = 57, kF1 = 59, kNumLock = 69, kKeypad4 = 75,
    kKeypad5 = 76, kF12 = 88, kRightAlt = 100, kUp = 103, kLeft = 105, kRight = 106, kDown = 108,
};

// A keyboard of the evdev rules in `layout`, and the keys held on it.
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
        {"fr", {}, false, kQ, 'A', 0},
        {"fr", {}, false, k1, '7', 0},  // "&", whose key is 7's on the keyboards the codes come from
        {"fr", {kLeftShift}, false, k1, '1', 1},
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

// One thing that happens to the keyboard at a moment of a fake clock; a
// Due step asks which key, if any, comes again then.
struct Step {
    enum Kind { Rate, Press, PressModifier, Release, Leave, Due } kind;
    int64_t at_ms;
    int32_t key = 0;  // Rate: per second
    int32_t delay_ms = 0;
    std::optional<uint32_t> comes = std::nullopt;
};

struct RepeatCase {
    const char* rule;
    std::vector<Step> steps;
};

TEST(KeyRepeat, AHeldKeyComesAgainByTheSeatsRateUntilReleasedOrReplaced)
{
    using S = Step;
    const RepeatCase cases[] = {
        {"the delay, then the rate",
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Due, 599}, {S::Due, 600, 0, 0, kA}, {S::Due, 639},
                {S::Due, 640, 0, 0, kA}, {S::Due, 680, 0, 0, kA}}},
        {"a rate of 0 repeats nothing", {{S::Rate, 0, 0, 600}, {S::Press, 0, kA}, {S::Due, 600}, {S::Due, 60000}}},
        {"a rate of 0 stops a repeat under way",
            {{S::Rate, 0, 25, 0}, {S::Press, 0, kA}, {S::Due, 0, 0, 0, kA}, {S::Rate, 10, 0, 0}, {S::Due, 1000}}},
        {"a negative rate or delay is none",
            {{S::Rate, 0, -25, 600}, {S::Press, 0, kA}, {S::Due, 600}, {S::Rate, 0, 25, -1}, {S::Press, 0, kA},
                {S::Due, 0, 0, 0, kA}}},
        {"the release stops it", {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Release, 500, kA}, {S::Due, 600}}},
        {"a second key replaces the first, from its own press",
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Press, 100, kZ}, {S::Due, 600}, {S::Due, 700, 0, 0, kZ}}},
        {"the first key's release leaves the second repeating",
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Press, 100, kZ}, {S::Release, 200, kA},
                {S::Due, 700, 0, 0, kZ}}},
        {"a modifier pressed meanwhile does not stop it",
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::PressModifier, 300, kLeftShift}, {S::Due, 600, 0, 0, kA},
                {S::Release, 620, kLeftShift}, {S::Due, 640, 0, 0, kA}}},
        {"the keyboard gone elsewhere stops it", {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Leave, 100}, {S::Due, 600}}},
        {"a stall skips the repeats it missed, never a burst",
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Due, 1000, 0, 0, kA}, {S::Due, 1001}, {S::Due, 1039},
                {S::Due, 1040, 0, 0, kA}}},
        {"a new rate: the repeat under way keeps its deadline, then goes at it",
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Rate, 10, 50, 100}, {S::Due, 599}, {S::Due, 600, 0, 0, kA},
                {S::Due, 619}, {S::Due, 620, 0, 0, kA}}},
    };
    for (const RepeatCase& c : cases) {
        KeyRepeat repeat;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            const KeyRepeat::Time at = milliseconds(s.at_ms);
            switch (s.kind) {
            case Step::Rate: repeat.set_rate(s.key, s.delay_ms); break;
            case Step::Press: repeat.pressed(static_cast<uint32_t>(s.key), true, at); break;
            case Step::PressModifier: repeat.pressed(static_cast<uint32_t>(s.key), false, at); break;
            case Step::Release: repeat.released(static_cast<uint32_t>(s.key)); break;
            case Step::Leave: repeat.stop(); break;
            case Step::Due:
                EXPECT_EQ(repeat.due(at), s.comes) << c.rule << ", step " << i;
                if (repeat.deadline()) {
                    EXPECT_GT(*repeat.deadline(), at) << c.rule << ", step " << i;
                }
                break;
            }
        }
    }
}

// The keyboard as a compositor gives it: a keymap in shared memory, then
// keys by their evdev numbers.
class WaylandKeyboardTest : public ::testing::Test {
protected:
    static constexpr uint32_t kShiftMask = 1;  // the first modifier of an xkb keymap

    void give_keymap(const char* layout)
    {
        const Keyboard source(layout);
        ASSERT_TRUE(source.keymap);
        std::unique_ptr<char, decltype(&std::free)> text(
            xkb_keymap_get_as_string(source.keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
        const size_t size = std::strlen(text.get()) + 1;
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        ASSERT_EQ(write(fd, text.get(), size), static_cast<ssize_t>(size));
        keyboard.keymap(WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<uint32_t>(size));
    }

    // A repeat is on its way: the timer is set, or has gone off already.
    bool repeat_armed() const
    {
        itimerspec setting{};
        timerfd_gettime(keyboard.repeat_fd(), &setting);
        pollfd due{keyboard.repeat_fd(), POLLIN, 0};
        return setting.it_value.tv_sec != 0 || setting.it_value.tv_nsec != 0 || poll(&due, 1, 0) == 1;
    }

    std::vector<KeyDown> downs;
    WaylandKeyboard keyboard{[this](KeyDown key) { downs.push_back(key); }};
};

TEST_F(WaylandKeyboardTest, AnArrowRepeatsAsAKeyDownOfItsOwnAndAModifierDoesNot)
{
    give_keymap("us");
    keyboard.repeat_info(1000, 50);
    keyboard.key(kLeftShift, WL_KEYBOARD_KEY_STATE_PRESSED);
    EXPECT_FALSE(repeat_armed()) << "a modifier held alone comes once";
    keyboard.modifiers(kShiftMask, 0, 0, 0);
    keyboard.key(kRight, WL_KEYBOARD_KEY_STATE_PRESSED);
    ASSERT_TRUE(repeat_armed());
    pollfd due{keyboard.repeat_fd(), POLLIN, 0};
    ASSERT_EQ(poll(&due, 1, 5000), 1);
    keyboard.repeat_due();
    // Each repeat is read in the modifiers of its own moment.
    keyboard.modifiers(0, 0, 0, 0);
    ASSERT_EQ(poll(&due, 1, 5000), 1);
    keyboard.repeat_due();
    keyboard.key(kRight, WL_KEYBOARD_KEY_STATE_RELEASED);
    EXPECT_FALSE(repeat_armed());
    ASSERT_EQ(downs.size(), 4u);
    EXPECT_EQ(downs[0].code, 16);
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(downs[i].code, 39) << i;
        EXPECT_EQ(downs[i].shift, i < 3 ? 1 : 0) << i;
    }
}

TEST_F(WaylandKeyboardTest, WithoutAKeymapAKeyHasNoCodeAndTheKeyboardLeavingStopsTheRepeat)
{
    keyboard.key(kRight, WL_KEYBOARD_KEY_STATE_PRESSED);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].code, 0);  // not an arrow: the game ends, as on an X server without a keymap
    EXPECT_FALSE(repeat_armed());
    give_keymap("de");
    keyboard.key(kRight, WL_KEYBOARD_KEY_STATE_PRESSED);
    EXPECT_TRUE(repeat_armed());
    keyboard.leave();
    EXPECT_FALSE(repeat_armed());
}

}  // namespace
}  // namespace pellavin::screen
