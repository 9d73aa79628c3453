// main() for tests that draw without widgets (the settings sheet's PDF):
// fonts and painting want a QGuiApplication, which also serves processes.
// Run with QT_QPA_PLATFORM=offscreen, as every test is.
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
