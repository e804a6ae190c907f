#include "runtime/qt/application.h"

#include "runtime/qt/display_check.h"
#include "runtime/qt/form_window.h"
#include "runtime/qt/session_end.h"
#include "runtime/qt/title_bar.h"

#include <optional>

#include <csignal>

namespace pellavin::qt_backend {

namespace {

// Set before the toolkit starts. A dialog changes a few small rectangles at
// a time: sending their pixels through the X connection costs less than
// the round trip of shared-memory transfers.
int& prepare_toolkit(int& argc, const std::string& program_name)
{
    require_display(program_name);
    prepare_title_bar();
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    return argc;
}

}  // namespace

Application::Application(int& argc, char** argv, const std::string& program_name)
    : app_(prepare_toolkit(argc, program_name), argv)
    , platform_(program_name)
{
    QApplication::setApplicationName(QString::fromStdString(program_name));
    // The menu entry the programs install: a Wayland compositor finds the
    // window's name and icon through it (its app id), as an X one does
    // through the class, the program's name.
    QGuiApplication::setDesktopFileName(QStringLiteral("pellavin"));
    QApplication::setQuitOnLastWindowClosed(false);  // the form decides when the program ends
    // A screen locker or session ends a program with one of these; whatever
    // the parent left ignored, they end it at once.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
    end_with_the_compositor(program_name);
}

int Application::run(runtime::Form& form)
{
    std::optional<TitledWindow> frame;
    if (draws_own_title_bar() && form.design().border_style != runtime::BorderStyle::None) frame.emplace();
    FormWindow window(form, frame ? &*frame : nullptr);
    form.load();
    if (form.ended()) return 0;
    if (!form.Visible()) form.set_Visible(true);  // the start-up form shows once loaded
    return QApplication::exec();
}

}  // namespace pellavin::qt_backend
