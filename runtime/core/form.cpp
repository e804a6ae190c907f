#include "runtime/core/form.h"

#include "runtime/core/timer.h"

#include <algorithm>

namespace pellavin::runtime {
namespace {

// Thrown by End() to abandon the running handler; only the dispatcher catches it.
struct ProgramEnd {};

}  // namespace

Form::Form(Platform& platform, RandomSequence& random, FormDesign design)
    : App(platform)
    , Screen(platform)
    , platform_(platform)
    , random_(random)
    , design_(std::move(design))
    , back_color_(design_.back_color)
    , bounds_(design_.client)
{
}

void Form::add_control(Control& control) { controls_.push_back(&control); }

void Form::add_timer(Timer& timer) { timers_.push_back(&timer); }

void Form::notify_form()
{
    if (view_ != nullptr) view_->form_changed();
}

void Form::set_BackColor(Color value)
{
    if (back_color_ == value) return;
    back_color_ = value;
    notify_form();
}

void Form::set_Width(float value)
{
    if (bounds_.width == value) return;
    bounds_.width = value;
    notify_form();
}

void Form::set_Height(float value)
{
    if (bounds_.height == value) return;
    bounds_.height = value;
    notify_form();
}

void Form::set_Visible(bool value)
{
    if (visible_ == value) return;
    visible_ = value;
    notify_form();
}

bool Form::any_timer_enabled() const
{
    return std::any_of(timers_.begin(), timers_.end(), [](const Timer* t) { return t->Enabled(); });
}

bool Form::load()
{
    return dispatch([this] { Form_Load(); });
}

bool Form::key_down(int16_t key_code, int16_t shift)
{
    return dispatch([this, key_code, shift] {
        int16_t code = key_code;
        Form_KeyDown(code, shift);
    });
}

bool Form::click()
{
    return dispatch([this] { Form_Click(); });
}

bool Form::close()
{
    return dispatch([this] { Unload(); });
}

void Form::tick()
{
    for (Timer* timer : timers_) {
        if (ended_) return;
        if (timer->Enabled() && timer->on_timer) dispatch(timer->on_timer);
    }
}

bool Form::dispatch(const std::function<void()>& handler)
{
    // A modal message box inside a handler runs the platform's event loop;
    // events that arrive meanwhile are dropped, so handlers never overlap.
    if (ended_ || running_) return false;
    running_ = true;
    try {
        handler();
    } catch (const ProgramEnd&) {
        return true;
    } catch (const RuntimeError& error) {
        ended_ = true;
        report(error);
        running_ = false;
        finish(kErrorExitStatus);
        return true;
    } catch (const std::bad_alloc&) {
        ended_ = true;
        report(RuntimeError(error_number::kOutOfMemory));
        running_ = false;
        finish(kErrorExitStatus);
        return true;
    }
    running_ = false;
    if (unloaded_) finish(0);
    return true;
}

void Form::report(const RuntimeError& error)
{
    platform_.write_error_line(platform_.app_title() + ": " + error.what());
    std::string text = "Run-time error '" + std::to_string(error.number()) + "':\n\n" + error.description();
    if (!error.detail().empty()) text += "\n\n" + error.detail();
    platform_.show_message(text, msg_box::kCritical, platform_.app_title());
}

void Form::finish(int status)
{
    ended_ = true;
    platform_.end(status);
}

void Form::End()
{
    // A platform that ends the process does it here, with nothing left to
    // unwind; one that goes on (a test's, a saver's next game) has the rest
    // of the handler abandoned.
    running_ = false;
    finish(0);
    throw ProgramEnd{};
}

void Form::Unload()
{
    int16_t cancel = 0;
    Form_Unload(cancel);
    if (cancel == 0) unloaded_ = true;
}

int Form::MsgBox(const std::string& prompt, int style, const std::string& title)
{
    return platform_.show_message(prompt, style, title.empty() ? platform_.app_title() : title);
}

}  // namespace pellavin::runtime
