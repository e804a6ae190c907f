#include "runner/form1.h"
#include "runtime/qt/application.h"

int main(int argc, char** argv)
{
    pellavin::qt_backend::Application app(argc, argv, "PellavinRun", pellavin::qt_backend::DesktopBus::Avoid,
        pellavin::qt_backend::TitleBars::None);
    pellavin::runner::Form1 form(app.platform(), app.random());
    return app.run(form);
}
