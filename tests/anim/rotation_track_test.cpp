#include <cmath>

#include <gtest/gtest.h>

#include "anim/rotation_track.h"
#include "common/scene_reader.h"
#include "support/record_bytes.h"

namespace {

const float c45 = std::cos(static_cast<float>(M_PI) / 4.0f);
const float s45 = std::sin(static_cast<float>(M_PI) / 4.0f);

void expectQuaternionNear(const Quaternion& q, float w, float x, float y, float z, float eps = 1e-6f)
{
    EXPECT_NEAR(q.w, w, eps);
    EXPECT_NEAR(q.x, x, eps);
    EXPECT_NEAR(q.y, y, eps);
    EXPECT_NEAR(q.z, z, eps);
}

// Angle of a unit quaternion about z, from its z and w components.
float angleAboutZ(const Quaternion& q) { return 2.0f * std::atan2(q.z, q.w); }

} // namespace

TEST(Slerp, HalfwayToAQuarterTurnIsAnEighthTurn)
{
    Quaternion q = slerp(Quaternion(1, 0, 0, 0), Quaternion(c45, 0, 0, s45), 0.5f);
    expectQuaternionNear(q, 0.9238795f, 0.0f, 0.0f, 0.3826834f);
}

TEST(Slerp, ParametersOutsideZeroToOneExtrapolateOnTheCircle)
{
    Quaternion a(1, 0, 0, 0), b(c45, 0, 0, s45);
    Quaternion beyond = slerp(a, b, 2.0f);
    expectQuaternionNear(beyond, 0.0f, 0.0f, 0.0f, 1.0f);
    Quaternion behind = slerp(a, b, -1.0f);
    expectQuaternionNear(behind, c45, 0.0f, 0.0f, -s45);
}

TEST(Slerp, NegativeDotTakesTheLongArcWithoutFlippingSigns)
{
    // 160 degrees of quaternion angle apart: the short way would flip b to -b.
    float half = 160.0f * static_cast<float>(M_PI) / 180.0f;
    Quaternion a(1, 0, 0, 0), b(std::cos(half), 0, 0, std::sin(half));
    Quaternion mid = slerp(a, b, 0.5f);
    expectQuaternionNear(mid, std::cos(half / 2), 0.0f, 0.0f, std::sin(half / 2), 1e-5f);
}

TEST(Slerp, EqualAndOppositeQuaternionsBlendLinearly)
{
    Quaternion q(0.5f, 0.5f, 0.5f, 0.5f);
    Quaternion same = slerp(q, q, 0.3f);
    expectQuaternionNear(same, 0.5f, 0.5f, 0.5f, 0.5f);
    Quaternion opposite = slerp(q, Quaternion(-0.5f, -0.5f, -0.5f, -0.5f), 0.25f);
    expectQuaternionNear(opposite, 0.25f, 0.25f, 0.25f, 0.25f);
    EXPECT_TRUE(std::isfinite(slerp(q, q, 2.0f).w));
}

TEST(LocalMatrix, IdentityRotationGivesTranslationOnly)
{
    Matrix4 m = localMatrix(Vector3(1, 2, 3), Quaternion(1, 0, 0, 0), Vector3(1, 1, 1));
    Matrix4 expected;
    expected[12] = 1;
    expected[13] = 2;
    expected[14] = 3;
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m[i], expected[i], 1e-6f) << "element " << i;
}

TEST(LocalMatrix, QuarterTurnAboutZAndScaleByColumn)
{
    Matrix4 m = localMatrix(Vector3(), Quaternion(c45, 0, 0, s45), Vector3(1, 1, 1));
    EXPECT_NEAR(m[0], 0.0f, 1e-6f);
    EXPECT_NEAR(m[1], -1.0f, 1e-6f);
    EXPECT_NEAR(m[4], 1.0f, 1e-6f);
    EXPECT_NEAR(m[5], 0.0f, 1e-6f);
    EXPECT_NEAR(m[10], 1.0f, 1e-6f);

    Matrix4 scaled = localMatrix(Vector3(), Quaternion(c45, 0, 0, s45), Vector3(2, 3, 4));
    EXPECT_NEAR(scaled[1], -2.0f, 1e-6f);
    EXPECT_NEAR(scaled[4], 3.0f, 1e-6f);
    EXPECT_NEAR(scaled[10], 4.0f, 1e-6f);
    EXPECT_EQ(scaled[3], 0.0f);
    EXPECT_EQ(scaled[15], 1.0f);
}

TEST(LocalMatrix, UnnormalisedQuaternionIsUsedAsGiven)
{
    Matrix4 m = localMatrix(Vector3(), Quaternion(2, 0, 0, 0), Vector3(1, 1, 1));
    EXPECT_NEAR(m[0], 1.0f, 1e-6f); // w alone never enters the diagonal
    Matrix4 x = localMatrix(Vector3(), Quaternion(0, 2, 0, 0), Vector3(1, 1, 1));
    EXPECT_NEAR(x[5], 1.0f - 8.0f, 1e-5f);
}

TEST(RotationTrack, TwoKeysPlaceControlsAtThirdsOfTheArc)
{
    RotationTrack track;
    track.addKey(0, Quaternion(1, 0, 0, 0));
    track.addKey(30, Quaternion(c45, 0, 0, s45));
    track.prepare();
    float quarter = static_cast<float>(M_PI) / 2.0f;
    EXPECT_NEAR(angleAboutZ(track.keys[0]->outControl), quarter / 3.0f, 1e-5f);
    EXPECT_NEAR(angleAboutZ(track.keys[1]->inControl), 2.0f * quarter / 3.0f, 1e-5f);
    // The curve stays on the arc and moves evenly along it.
    for (float time : {0.0f, 7.5f, 15.0f, 22.5f}) {
        Quaternion q = track.evaluate(time);
        EXPECT_NEAR(q.x, 0.0f, 1e-6f);
        EXPECT_NEAR(q.w * q.w + q.z * q.z, 1.0f, 1e-5f);
        EXPECT_NEAR(angleAboutZ(q), quarter * time / 30.0f, 1e-4f);
    }
    expectQuaternionNear(track.evaluate(40.0f), c45, 0, 0, s45);
}

TEST(RotationTrack, TensionOneMakesControlsCoincideWithKeys)
{
    RotationTrack track;
    track.addKey(0, Quaternion(1, 0, 0, 0)).tension = 1.0f;
    track.addKey(10, Quaternion(c45, 0, 0, s45)).tension = 1.0f;
    track.addKey(20, Quaternion(0, 0, 0, 1)).tension = 1.0f;
    track.prepare();
    for (int i = 0; i < 3; ++i) {
        const RotationKey& k = *track.keys[i];
        if (i > 0)
            expectQuaternionNear(k.inControl, k.value.w, k.value.x, k.value.y, k.value.z);
        if (i < 2)
            expectQuaternionNear(k.outControl, k.value.w, k.value.x, k.value.y, k.value.z);
    }
}

TEST(RotationTrack, InnerKeysOfAnEvenTurnKeepTheCurveOnTheGreatCircle)
{
    // Eighth turns every 10 frames: the control points stay on the z great circle and an
    // inner key frame lands exactly on its key.
    RotationTrack track;
    for (int i = 0; i < 4; ++i) {
        float half = static_cast<float>(M_PI) / 8.0f * static_cast<float>(i);
        track.addKey(10 * i, Quaternion(std::cos(half), 0, 0, std::sin(half)));
    }
    track.prepare();
    const RotationKey& k1 = *track.keys[1];
    float step = static_cast<float>(M_PI) / 4.0f;
    EXPECT_NEAR(angleAboutZ(k1.inControl), step - step / 3.0f, 1e-4f);
    EXPECT_NEAR(angleAboutZ(k1.outControl), step + step / 3.0f, 1e-4f);
    expectQuaternionNear(track.evaluate(20.0f), track.keys[2]->value.w, 0, 0,
                         track.keys[2]->value.z, 1e-5f);
    EXPECT_NEAR(angleAboutZ(track.evaluate(15.0f)), 1.5f * step, 1e-4f);
}

TEST(RotationTrack, LongArcBetweenKeysOfNegativeDot)
{
    // Quaternions 200 degrees apart in quaternion angle (dot < 0): the rotation passes
    // through 100 degrees of quaternion angle halfway, not the short way round.
    float far = 100.0f * static_cast<float>(M_PI) / 180.0f;
    RotationTrack track;
    track.addKey(0, Quaternion(1, 0, 0, 0));
    track.addKey(10, Quaternion(std::cos(far), 0, 0, std::sin(far)));
    track.prepare();
    Quaternion mid = track.evaluate(5.0f);
    expectQuaternionNear(mid, std::cos(far / 2), 0, 0, std::sin(far / 2), 1e-5f);
}

TEST(RotationTrack, HeldRotationAndEmptyTrackStayFinite)
{
    RotationTrack held;
    held.addKey(0, Quaternion(1, 0, 0, 0));
    held.addKey(10, Quaternion(1, 0, 0, 0));
    held.addKey(20, Quaternion(1, 0, 0, 0));
    held.prepare();
    expectQuaternionNear(held.evaluate(5.0f), 1, 0, 0, 0);
    expectQuaternionNear(held.evaluate(-5.0f), 1, 0, 0, 0);

    RotationTrack empty;
    empty.prepare();
    EXPECT_EQ(empty.evaluate(3.0f), Quaternion(1, 0, 0, 0));

    RotationTrack one;
    one.addKey(5, Quaternion(0, 1, 0, 0));
    one.prepare();
    EXPECT_EQ(one.evaluate(-10.0f), Quaternion(0, 1, 0, 0));
    EXPECT_EQ(one.evaluate(10.0f), Quaternion(0, 1, 0, 0));
}

TEST(RotationTrack, RecordStoresTheValueScalarFirst)
{
    RecordBytes bytes;
    bytes.i32(1).i32(1).keyHeader(4, 0.5f);
    bytes.hex({0x00, 0x00, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(bytes.size(), 8u + 40u);
    SceneReader reader;
    reader.openMemory(bytes.data(), bytes.size());
    RotationTrack track;
    track.read(reader);
    EXPECT_FALSE(reader.failed());
    ASSERT_EQ(track.keys.size(), 1);
    EXPECT_EQ(track.keys[0]->frame, 4);
    EXPECT_EQ(track.keys[0]->tension, 0.5f);
    EXPECT_EQ(track.keys[0]->value, Quaternion(1, 0, 0, 0));
    EXPECT_EQ(track.keys[0]->inControl, Quaternion(0, 0, 0, 0));
}
