#include "panel/form1.h"
#include "runtime/qt/application.h"

int main(int argc, char** argv)
{
    pellavin::qt_backend::Application app(argc, argv, "Pellavin");
    pellavin::panel::Form1 form(app.platform(), app.random());
    return app.run(form);
}
