#include <gtest/gtest.h>

#include <QApplication>

// Widget tests run on Qt's offscreen platform at 96 DPI unless told otherwise,
// and on a real X server as the game runs: off the desktop's message bus.
int main(int argc, char** argv)
{
    // The accessibility bridge asks for the session bus when the first window
    // shows; an address no transport knows fails at once, where libdbus would
    // otherwise launch a bus of its own and leave it behind.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    qunsetenv("AT_SPI_BUS_ADDRESS");
    qputenv("QT_QPA_PLATFORM", qgetenv("PELLAVIN_TEST_QPA").isEmpty() ? "offscreen" : qgetenv("PELLAVIN_TEST_QPA"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
