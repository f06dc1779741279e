#include <gtest/gtest.h>

#include "game/random.h"

// The values of rand() in a fresh Windows process, and after srand(42) and srand(1).
TEST(CrtRandom, RepeatsTheWindowsRuntimeSequenceFromItsDefaultAndAfterASeed)
{
    CrtRandom random;
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) {
        EXPECT_EQ(random.Next(), value);
    }
    random.Seed(42);
    for (int value : {175, 400, 17869, 30056, 16083}) {
        EXPECT_EQ(random.Next(), value);
    }
    random.Seed(1);
    EXPECT_EQ(random.Next(), 41);
}
