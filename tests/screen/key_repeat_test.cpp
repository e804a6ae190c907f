#include "runtime/screen/key_repeat.h"
#include "runtime/screen/wayland/keyboard.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/mman.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pellavin::screen {
namespace {

using std::chrono::milliseconds;

constexpr int32_t kA = 38;  // xkb key codes
constexpr int32_t kB = 56;
constexpr int32_t kShift = 50;

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
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Press, 100, kB}, {S::Due, 600}, {S::Due, 700, 0, 0, kB}}},
        {"the first key's release leaves the second repeating",
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::Press, 100, kB}, {S::Release, 200, kA},
                {S::Due, 700, 0, 0, kB}}},
        {"a modifier pressed meanwhile does not stop it",
            {{S::Rate, 0, 25, 600}, {S::Press, 0, kA}, {S::PressModifier, 300, kShift}, {S::Due, 600, 0, 0, kA},
                {S::Release, 620, kShift}, {S::Due, 640, 0, 0, kA}}},
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
    static constexpr uint32_t kEvdevLeftShift = 42;
    static constexpr uint32_t kEvdevRight = 106;
    static constexpr uint32_t kShiftMask = 1;  // the first modifier of an xkb keymap

    void give_keymap(const char* layout)
    {
        std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
            xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
        const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
        std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
            xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS), &xkb_keymap_unref);
        ASSERT_TRUE(keymap);
        std::unique_ptr<char, decltype(&std::free)> text(
            xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
        const std::string keymap_text(text.get());
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        ASSERT_EQ(write(fd, keymap_text.c_str(), keymap_text.size() + 1), static_cast<ssize_t>(keymap_text.size() + 1));
        keyboard.keymap(WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<uint32_t>(keymap_text.size() + 1));
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
    keyboard.key(kEvdevLeftShift, WL_KEYBOARD_KEY_STATE_PRESSED);
    EXPECT_FALSE(repeat_armed()) << "a modifier held alone comes once";
    keyboard.modifiers(kShiftMask, 0, 0, 0);
    keyboard.key(kEvdevRight, WL_KEYBOARD_KEY_STATE_PRESSED);
    ASSERT_TRUE(repeat_armed());
    pollfd due{keyboard.repeat_fd(), POLLIN, 0};
    ASSERT_EQ(poll(&due, 1, 5000), 1);
    keyboard.repeat_due();
    // Each repeat is read in the modifiers of its own moment.
    keyboard.modifiers(0, 0, 0, 0);
    ASSERT_EQ(poll(&due, 1, 5000), 1);
    keyboard.repeat_due();
    keyboard.key(kEvdevRight, WL_KEYBOARD_KEY_STATE_RELEASED);
    EXPECT_FALSE(repeat_armed());
    ASSERT_EQ(downs.size(), 4u);
    EXPECT_EQ(downs[0].code, 16);
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(downs[i].code, 39) << i;
    EXPECT_EQ(downs[1].shift, 1);
    EXPECT_EQ(downs[2].shift, 1);
    EXPECT_EQ(downs[3].shift, 0);
}

TEST_F(WaylandKeyboardTest, WithoutAKeymapAKeyHasNoCodeAndTheKeyboardLeavingStopsTheRepeat)
{
    keyboard.key(kEvdevRight, WL_KEYBOARD_KEY_STATE_PRESSED);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].code, 0);  // not an arrow: the game ends, as on an X server without a keymap
    EXPECT_FALSE(repeat_armed());
    give_keymap("de");
    keyboard.key(kEvdevRight, WL_KEYBOARD_KEY_STATE_PRESSED);
    EXPECT_TRUE(repeat_armed());
    keyboard.leave();
    EXPECT_FALSE(repeat_armed());
}

}  // namespace
}  // namespace pellavin::screen
