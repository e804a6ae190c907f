#include "runtime/qt/application.h"

#include "runtime/qt/form_window.h"

#include <csignal>

namespace pellavin::qt_backend {

Application::Application(int& argc, char** argv, const std::string& program_name)
    : app_(argc, argv)
    , platform_(program_name)
{
    QApplication::setApplicationName(QString::fromStdString(program_name));
    QApplication::setQuitOnLastWindowClosed(false);  // the form decides when the program ends
    // A screen locker or session ends a program with one of these; whatever
    // the parent left ignored, they end it at once.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
}

int Application::run(runtime::Form& form)
{
    FormWindow window(form);
    form.load();
    if (form.ended()) return 0;
    if (!form.Visible()) form.set_Visible(true);  // the start-up form shows once loaded
    return QApplication::exec();
}

}  // namespace pellavin::qt_backend
