#include <QApplication>
#include <gtest/gtest.h>

// Widget tests need a QApplication for the whole run.
int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
