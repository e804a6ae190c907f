#include "runtime/screen/wayland/keyboard.h"

#include "runtime/screen/wayland/connection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <sys/mman.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace pellavin::screen {
namespace {

// Evdev numbers the keys 8 lower than xkb.
constexpr uint32_t kEvdevOffset = 8;
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

// The monotonic clock, as the timer counts.
KeyRepeat::Time now() { return std::chrono::steady_clock::now().time_since_epoch(); }

WaylandKeyboard& keyboard_of(void* data) { return *static_cast<WaylandKeyboard*>(data); }

const wl_keyboard_listener kKeyboardListener = {
    [](void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
        keyboard_of(data).keymap(format, fd, size);
    },
    // The keys already held as the keyboard comes are not pressed now.
    [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
    [](void* data, wl_keyboard*, uint32_t, wl_surface*) { keyboard_of(data).leave(); },
    [](void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
        keyboard_of(data).key(key, state);
    },
    [](void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group) {
        keyboard_of(data).modifiers(depressed, latched, locked, group);
    },
    [](void* data, wl_keyboard*, int32_t rate, int32_t delay) { keyboard_of(data).repeat_info(rate, delay); },
};

}  // namespace

WaylandKeyboard::WaylandKeyboard(std::function<void(KeyDown)> key_down)
    : key_down_(std::move(key_down))
    , context_(new_keymap_context())
    , timer_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
}

WaylandKeyboard::~WaylandKeyboard()
{
    detach();
    xkb_context_unref(context_);
    if (timer_ >= 0) close(timer_);
}

void WaylandKeyboard::attach(wl_keyboard* keyboard)
{
    detach();
    keyboard_ = keyboard;
    wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
}

void WaylandKeyboard::detach()
{
    leave();
    release_proxy(keyboard_, WL_KEYBOARD_RELEASE_SINCE_VERSION, wl_keyboard_release, wl_keyboard_destroy);
}

void WaylandKeyboard::keymap(uint32_t format, int fd, uint32_t size)
{
    void* text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
                                                            : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED) return;
    keys_.set_keymap(xkb_keymap_new_from_buffer(context_, static_cast<const char*>(text),
        strnlen(static_cast<const char*>(text), size), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    munmap(text, size);
}

void WaylandKeyboard::key(uint32_t key, uint32_t state)
{
    const xkb_keycode_t code = key + kEvdevOffset;
    if (state == WL_KEYBOARD_KEY_STATE_RELEASED) {
        repeat_.released(code);
    } else {
        repeat_.pressed(code, keys_.repeats(code), now());
        key_down_(keys_.key_down(code));
    }
    arm();
}

void WaylandKeyboard::modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group)
{
    keys_.set_modifiers(depressed, latched, locked, group);
}

void WaylandKeyboard::repeat_info(int32_t rate, int32_t delay)
{
    repeat_.set_rate(rate, delay);
    arm();
}

void WaylandKeyboard::leave()
{
    repeat_.stop();
    arm();
}

void WaylandKeyboard::repeat_due()
{
    uint64_t expirations = 0;
    if (read(timer_, &expirations, sizeof expirations) < 0) {
        // Nothing due after all (the timer was set again meanwhile).
    }
    if (const std::optional<uint32_t> code = repeat_.due(now())) {
        key_down_(keys_.key_down(*code));
    }
    arm();
}

void WaylandKeyboard::arm()
{
    itimerspec setting{};  // zero: disarmed
    if (const std::optional<KeyRepeat::Time> deadline = repeat_.deadline()) {
        const int64_t ns = std::max<int64_t>(deadline->count(), 1);
        setting.it_value = {static_cast<time_t>(ns / kNanosecondsPerSecond), static_cast<long>(ns % kNanosecondsPerSecond)};
    }
    timerfd_settime(timer_, TFD_TIMER_ABSTIME, &setting, nullptr);
}

}  // namespace pellavin::screen
