#include "common/nearest_names.h"

#include <gtest/gtest.h>

TEST(NearestNames, DistanceCountsASwapOfNeighboursAsOneEdit)
{
    EXPECT_EQ(EditDistance("prat", "part"), 1);
    EXPECT_EQ(EditDistance("scene", "scenes"), 1);
    EXPECT_EQ(EditDistance("", "mp3"), 3);
    EXPECT_EQ(EditDistance("camera01", "camera01"), 0);
    EXPECT_EQ(EditDistance("kitten", "sitting"), 3);
}

TEST(NearestNames, NearestFirstWithinReachAndEachOnce)
{
    const std::vector<std::string> nodes = {"camera01", "camera02", "mesh", "camera01", "light"};
    EXPECT_EQ(NearestNames("camra01", nodes, 3), (std::vector<std::string>{"camera01", "camera02"}));
    EXPECT_EQ(NearestNames("camera", nodes, 1), (std::vector<std::string>{"camera01"}));
    EXPECT_TRUE(NearestNames("orbit", nodes, 3).empty());
    EXPECT_TRUE(NearestNames("cam", {}, 3).empty());
}
