#include "common/growable_array.h"

#include <gtest/gtest.h>

#include <string>

TEST(GrowableArray, AutomaticStepIsCountOverEightClampedToFourAndTenTwentyFour)
{
    GrowableArray<int> a;
    a.setSize(1); // count 0: step clamps up to 4, but n = 1 < 0 + 4
    EXPECT_EQ(a.capacity(), 4);
    a.setSize(4); // within capacity: no reallocation
    EXPECT_EQ(a.capacity(), 4);
    a.setSize(5); // count 4: 4 / 8 = 0, clamped to 4
    EXPECT_EQ(a.capacity(), 8);
    a.setSize(100); // n beyond capacity + step wins
    EXPECT_EQ(a.capacity(), 100);
    a.setSize(101); // count 100: step 12
    EXPECT_EQ(a.capacity(), 112);
    a.setSize(8200); // n wins again
    a.setSize(8201); // count 8200: 1025 clamped to 1024
    EXPECT_EQ(a.capacity(), 8200 + 1024);
}

TEST(GrowableArray, FixedStepAndAppend)
{
    GrowableArray<int> a(10);
    for (int i = 0; i < 11; ++i)
        a.append(i * 3);
    EXPECT_EQ(a.size(), 11);
    EXPECT_EQ(a.capacity(), 20);
    EXPECT_EQ(a[10], 30);
    EXPECT_EQ(a[0], 0);
}

TEST(GrowableArray, NewElementsAreZeroOrEmptyEvenAfterShrinkingWithinCapacity)
{
    GrowableArray<std::string> s;
    s.setSize(3);
    s[2] = "kept";
    s[1] = "dropped";
    s.setSize(1);
    EXPECT_EQ(s.capacity(), 4);
    s.setSize(3);
    EXPECT_EQ(s[1], "");
    EXPECT_EQ(s[2], "");

    GrowableArray<float> f;
    f.setSize(2);
    f[1] = 5.0f;
    f.setSize(1);
    f.setSize(2);
    EXPECT_EQ(f[1], 0.0f);
}

TEST(GrowableArray, SizeZeroReleasesStorage)
{
    GrowableArray<int> a;
    a.setSize(50);
    a.setSize(0);
    EXPECT_EQ(a.size(), 0);
    EXPECT_EQ(a.capacity(), 0);
    EXPECT_EQ(a.data(), nullptr);
}

TEST(GrowableArray, ReallocationKeepsElements)
{
    GrowableArray<std::string> s;
    for (int i = 0; i < 40; ++i)
        s.append(std::string(20, char('a' + i % 26)));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(s[i], std::string(20, char('a' + i % 26)));
}
