// GoogleTest entry point for tests that need a QCoreApplication (Qt's SQL
// driver plugins are loaded through it).
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
