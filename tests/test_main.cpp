#include "uci/uci.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    tervane::init_tables();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
