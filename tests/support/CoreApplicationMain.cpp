// main() for tests that use Qt's serial port or processes: they want a
// QCoreApplication (socket notifiers need one). Listed among a test's SOURCES,
// it takes the place of gtest_main's.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
