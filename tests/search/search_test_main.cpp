#include <gtest/gtest.h>

#include <QCoreApplication>

// The run core needs an event loop to yield to and to wait in, nothing more.
int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
