#include "runtime/qt/desktop_bus.h"

#include <gtest/gtest.h>

#include <QApplication>

// Widget tests run on Qt's offscreen platform at 96 DPI unless told otherwise,
// and on a real X server as the game runs: off the desktop's message bus.
int main(int argc, char** argv)
{
    pellavin::qt_backend::prepare_desktop_bus(pellavin::qt_backend::DesktopBus::Avoid);
    qputenv("QT_QPA_PLATFORM", qgetenv("PELLAVIN_TEST_QPA").isEmpty() ? "offscreen" : qgetenv("PELLAVIN_TEST_QPA"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
