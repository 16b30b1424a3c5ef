#include "graph/player_facts.h"

#include <gtest/gtest.h>

#include <cmath>

// The importer writes field-of-view values with FieldOfViewValue and the player reads them
// with FieldOfViewDegrees: an angle taken in must come out as the same angle.
TEST(PlayerFacts, FieldOfViewValuesAndDegreesTurnIntoEachOther)
{
    struct Case {
        double degrees;
        float value; // as the player's own scenes store it
    };
    const Case cases[] = {{28.64788975654116, 0.25f}, {57.29577951308232, 0.5f}, {11.459155902616464, 0.1f},
                          {60.0, 0.52359879f}, {1.0, 0.0087266462f}, {179.0, 1.5620696f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.degrees);
        EXPECT_NEAR(FieldOfViewValue(c.degrees), c.value, 1e-6);
        EXPECT_NEAR(FieldOfViewDegrees(FieldOfViewValue(c.degrees)), c.degrees, 1e-4);
        EXPECT_EQ(FieldOfViewValue(FieldOfViewDegrees(c.value)), c.value);
    }
}

// A scene file names a node by a type id one below its kind; the scene itself has none.
TEST(PlayerFacts, FileTypeIdsAreTheKindsLessOne)
{
    struct Case {
        NodeKind kind;
        int32_t id;
    };
    const Case cases[] = {{NodeKind::Mesh, 0},  {NodeKind::Camera, 1}, {NodeKind::Target, 2},
                          {NodeKind::Spot, 3},  {NodeKind::Light, 4},  {NodeKind::Transform, 5}};
    for (const Case& c : cases)
        EXPECT_EQ(NodeTypeId(c.kind), c.id) << static_cast<int>(c.kind);
}

// The player hands OpenGL the near plane in single precision; the value it always used.
TEST(PlayerFacts, NearPlaneInSinglePrecisionIsThePlayersOwn)
{
    EXPECT_EQ(static_cast<double>(static_cast<float>(NearPlane)), 0.10000000149011612);
    EXPECT_EQ(FixedAspect, 1.2769230769230768);
}
