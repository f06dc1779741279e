#include <gtest/gtest.h>

#include "game/random.h"

TEST(CrtRandom, DefaultStateGivesTheWindowsRuntimeSequence)
{
    // The first values of rand() in a fresh Windows process.
    CrtRandom random;
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) {
        EXPECT_EQ(random.Next(), value);
    }
}

TEST(CrtRandom, ReseedingRepeatsTheSequenceAndSeedOneIsTheDefault)
{
    CrtRandom a;
    a.Seed(42);
    int first[20];
    for (int& v : first) {
        v = a.Next();
    }
    a.Seed(42);
    for (int v : first) {
        EXPECT_EQ(a.Next(), v);
    }
    CrtRandom fresh;
    CrtRandom seededOne;
    seededOne.Seed(1);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(fresh.Next(), seededOne.Next());
    }
}
