#include <gtest/gtest.h>

#include <QCoreApplication>

#include "test_conditions.h"

// The run core needs an event loop to yield to and to wait in, nothing more.
int main(int argc, char* argv[]) {
    tarnwick::testing::ApplyTestConditions();
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
