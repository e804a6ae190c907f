#pragma once

#include "runtime/core/color.h"
#include "runtime/core/control.h"
#include "runtime/core/platform.h"
#include "runtime/core/random.h"
#include "runtime/core/runtime_error.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pellavin::runtime {

class Timer;

enum class BorderStyle { None = 0, FixedSingle = 1 };
enum class StartUpPosition { Manual = 0, WindowsDefault = 3 };
enum class MousePointer { Default, Invisible };

// How a form's window looks before any code runs.
struct FormDesign {
    std::string caption;
    BorderStyle border_style = BorderStyle::FixedSingle;
    bool max_button = true;
    bool min_button = true;
    StartUpPosition start_up_position = StartUpPosition::WindowsDefault;
    MousePointer mouse_pointer = MousePointer::Default;
    Color back_color = kSystemButtonFace;
    // The client area, in twips; Left and Top matter only for a manual start position.
    Bounds client;
};

// What draws a form: told of every change to the form or its controls.
class FormView {
public:
    virtual ~FormView() = default;
    virtual void form_changed() = 0;
    virtual void control_changed(Control& control) = 0;
    virtual void timers_changed() = 0;
};

// `App`: the running program.
class AppObject {
public:
    explicit AppObject(Platform& platform) : platform_(platform) {}
    std::string Path() const { return platform_.app_path(); }
    std::string Title() const { return platform_.app_title(); }

private:
    Platform& platform_;
};

// `Screen`: the size of the screen in twips.
class ScreenObject {
public:
    explicit ScreenObject(Platform& platform) : platform_(platform) {}
    float Width() const { return platform_.screen_width(); }
    float Height() const { return platform_.screen_height(); }

private:
    Platform& platform_;
};

// A program's window: its controls in creation order, its form-level state
// in the derived class, and the dispatcher through which every event of the
// platform enters. One event runs at a time, to its end. An untrapped
// runtime error is shown to the user and ends the program; after the end
// nothing further runs.
class Form {
public:
    static constexpr int kErrorExitStatus = 1;

    Form(Platform& platform, RandomSequence& random, FormDesign design);
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The form's own properties.
    const FormDesign& design() const { return design_; }
    Color BackColor() const { return back_color_; }
    void set_BackColor(Color value);
    float Left() const { return bounds_.left; }
    float Top() const { return bounds_.top; }
    float Width() const { return bounds_.width; }
    float Height() const { return bounds_.height; }
    void set_Width(float value);
    void set_Height(float value);
    bool Visible() const { return visible_; }
    void set_Visible(bool value);

    // Events from the platform. Each returns false when it did not run:
    // the program has ended, or another event is still running.
    bool load();
    bool key_down(int16_t key_code, int16_t shift);
    bool click();
    bool close();
    // One platform tick: every enabled timer fires once, in creation order,
    // each as an event of its own.
    void tick();
    bool dispatch(const std::function<void()>& handler);

    bool ended() const { return ended_; }

    const std::vector<Control*>& controls() const { return controls_; }
    const std::vector<Timer*>& timers() const { return timers_; }
    bool any_timer_enabled() const;

    void set_view(FormView* view) { view_ = view; }
    FormView* view() const { return view_; }
    Platform& platform() const { return platform_; }

protected:
    virtual void Form_Load() {}
    virtual void Form_KeyDown(int16_t& /*KeyCode*/, int16_t /*Shift*/) {}
    virtual void Form_Click() {}
    virtual void Form_Unload(int16_t& /*Cancel*/) {}

    // Services for the handlers.
    AppObject App;
    ScreenObject Screen;

    // Ends the program at once: the rest of the running handler is
    // abandoned, no unload event is raised and no further event runs.
    [[noreturn]] void End();
    // Closes the form: raises Form_Unload and, unless it cancels, ends the
    // program once the running handler has returned.
    void Unload();

    void Randomize() { random_.reseed_from_clock(); }
    float Rnd() { return random_.next(); }

    int MsgBox(const std::string& prompt, int style, const std::string& title = {});
    void Shell(const std::string& path) { platform_.start_program(path); }

    // Runs one statement; a runtime error in it is skipped and the handler
    // goes on with its next statement.
    template <typename Statement>
    static void skip_on_error(Statement&& statement)
    {
        try {
            statement();
        } catch (const RuntimeError&) {
        }
    }

private:
    friend class Control;
    friend class Timer;
    void add_control(Control& control);
    // Called by the timer itself once it is one: while its Control part is
    // being built, it is no Timer yet.
    void add_timer(Timer& timer);
    void notify_form();
    void report(const RuntimeError& error);
    void finish(int status);

    Platform& platform_;
    RandomSequence& random_;
    FormDesign design_;
    Color back_color_;
    Bounds bounds_;
    bool visible_ = false;
    std::vector<Control*> controls_;
    std::vector<Timer*> timers_;
    FormView* view_ = nullptr;
    bool running_ = false;
    bool unloaded_ = false;
    bool ended_ = false;
};

}  // namespace pellavin::runtime
