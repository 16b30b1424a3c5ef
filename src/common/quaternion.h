// Quaternion: four floats, scalar first (w, x, y, z).
#pragma once

struct Quaternion {
    float w = 1.0f;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Quaternion() = default;
    Quaternion(float w_, float x_, float y_, float z_) : w(w_), x(x_), y(y_), z(z_) {}

    bool operator==(const Quaternion& o) const { return w == o.w && x == o.x && y == o.y && z == o.z; }
    bool operator!=(const Quaternion& o) const { return !(*this == o); }
};
