#include <gtest/gtest.h>

#include <QApplication>

// Widget tests run on Qt's offscreen platform at 96 DPI unless told otherwise.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("PELLAVIN_TEST_QPA").isEmpty() ? "offscreen" : qgetenv("PELLAVIN_TEST_QPA"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
