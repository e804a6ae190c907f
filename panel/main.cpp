#include "panel/form1.h"
#include "runtime/core/spawn.h"
#include "runtime/qt/application.h"

int main(int argc, char** argv)
{
    // Taken before the toolkit sets its own variables: the watcher belongs
    // to the session, not to the panel.
    std::vector<std::string> session = pellavin::runtime::current_environment();
    pellavin::qt_backend::Application app(argc, argv, "Pellavin");
    pellavin::panel::SessionScreensaver screensaver(
        app.platform().app_path(), pellavin::config_home(), std::move(session));
    pellavin::panel::Form1 form(app.platform(), app.random(), screensaver);
    return app.run(form);
}
