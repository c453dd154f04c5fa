#include <gtest/gtest.h>

#include "test_conditions.h"

int main(int argc, char* argv[]) {
    tarnwick::testing::ApplyTestConditions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
