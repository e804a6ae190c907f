// PellavinMessageBox STYLE TITLE PROMPT: the message box of a program that
// runs without a toolkit, shown as the control panel shows its own. Its
// exit status is the button pressed.
#include "runtime/qt/qt_platform.h"

#include <QApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    constexpr int kUsage = 2;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s STYLE TITLE PROMPT\n", argv[0]);
        return kUsage;
    }
    const int style = std::atoi(argv[1]);
    const std::string title = argv[2];
    const std::string prompt = argv[3];
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    QApplication::setApplicationName(QString::fromStdString(title));
    pellavin::qt_backend::QtPlatform platform(title);
    return platform.show_message(prompt, style, title);
}
