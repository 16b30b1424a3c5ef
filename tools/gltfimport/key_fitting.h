// Key fitting: turns a curve sampled at every frame into Kochanek-Bartels keys (tension,
// continuity and bias 0) that the player's own tracks evaluate to within a tolerance.
#pragma once

#include "scene_writer.h"

#include <vector>

// What one fitting did: the keys it started from, the keys written and the largest
// difference left between the samples and the player's evaluation, over every frame.
struct FitResult {
    int keysIn = 0;
    int keysOut = 0;
    double largest = 0.0;
};

// Each fitting takes samples[f] for frames 0 .. samples.size() - 1 and the frames to start
// from (any order, duplicates and frames outside the samples ignored; the first and the
// last frame are always keys). Keys are added at the worst frame of every segment that
// misses the tolerance until none does; a track whose samples never change gets one key.
// keysIn of the result is startFrames' distinct count within the samples.

// Positions and scales: the distance between vectors.
FitResult fitVectorTrack(const std::vector<Vector3>& samples, const std::vector<int>& startFrames,
                         double tolerance, VectorTrackSpec& track);

// Rotations as the player stores them; the tolerance and the difference are the angle
// between two orientations, in degrees. Key values are kept in one hemisphere with their
// predecessor.
FitResult fitRotationTrack(const std::vector<Quaternion>& samples, const std::vector<int>& startFrames,
                           double toleranceDegrees, RotationTrackSpec& track);

// Roll and field of view: the absolute difference.
FitResult fitScalarTrack(const std::vector<float>& samples, const std::vector<int>& startFrames,
                         double tolerance, ScalarTrackSpec& track);

// Whole vertex sets: the largest distance of any vertex. Every sample holds the same count.
FitResult fitMorphTrack(const std::vector<std::vector<Vector3>>& samples, const std::vector<int>& startFrames,
                        double tolerance, MorphTrackSpec& track);

// The angle in degrees between the orientations of two quaternions (of any length and sign).
double rotationDifferenceDegrees(const Quaternion& a, const Quaternion& b);
