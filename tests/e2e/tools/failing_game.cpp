// A black full-screen form like the game's that meets a real run-time error
// once it has ticked for a second: it then reads the Settings.dat beside it
// with no second chance, as the game did before it learnt to play with the
// defaults. Made a directory, Settings.dat cannot be read.
#include "common/settings.h"
#include "runtime/core/form.h"
#include "runtime/core/timer.h"
#include "runtime/screen/full_screen.h"

namespace {

using namespace pellavin;

class FailingGame final : public runtime::Form {
public:
    FailingGame(runtime::Platform& platform, runtime::RandomSequence& random)
        : Form(platform, random,
              {.caption = "", .border_style = runtime::BorderStyle::None,
                  .start_up_position = runtime::StartUpPosition::Manual,
                  .mouse_pointer = runtime::MousePointer::Invisible, .client = {0, 0, 10035, 5940}})
        , Tick(*this, "Tick", nullptr, 1)
    {
        Tick.on_timer = [this] {
            if (++ticks_ == kTicksBeforeTheError) SettingsRecord::Load(settings_path(App.Path()));
        };
    }

    runtime::Timer Tick;

private:
    static constexpr int kTicksBeforeTheError = 64;
    int ticks_ = 0;

protected:
    void Form_Load() override
    {
        set_BackColor(runtime::kBlack);
        set_Width(Screen.Width());
        set_Height(Screen.Height());
        set_Visible(true);
        Tick.set_Enabled(true);
    }
};

}  // namespace

int main()
{
    return screen::run_full_screen(
        "FailingGame",
        [](runtime::Platform& platform, runtime::RandomSequence& random) {
            return std::make_unique<FailingGame>(platform, random);
        });
}
