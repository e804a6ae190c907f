// The game on Qt, for a Wayland session until the runner has a Wayland
// backend of its own: a module that PellavinRun loads from beside it only
// there, so that it stays the one process, with its own program and pid.
#include "runner/form1.h"
#include "runtime/qt/application.h"

extern "C" int pellavin_run_on_qt(int argc, char** argv)
{
    pellavin::qt_backend::Application app(argc, argv, "PellavinRun", pellavin::qt_backend::DesktopBus::Avoid,
        pellavin::qt_backend::TitleBars::None);
    pellavin::runner::Form1 form(app.platform(), app.random());
    return app.run(form);
}
