#include "panel/form1.h"
#include "runtime/qt/application.h"

int main(int argc, char** argv)
{
    pellavin::qt_backend::Application app(argc, argv, "Pellavin");
    pellavin::panel::SessionScreensaver screensaver(app.platform().app_path(), pellavin::config_home());
    pellavin::panel::Form1 form(app.platform(), app.random(), screensaver);
    return app.run(form);
}
