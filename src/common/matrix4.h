// Matrix4: sixteen floats in OpenGL column-major order (translation in 12, 13, 14).
#pragma once

struct Matrix4 {
    // Element index = column * 4 + row; handed to glMultMatrixf unchanged.
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }

    // The identity matrix.
    static Matrix4 identity() { return Matrix4(); }
    bool operator==(const Matrix4& o) const
    {
        for (int i = 0; i < 16; ++i)
            if (m[i] != o.m[i])
                return false;
        return true;
    }
};

// The product a * b (b applied first), as glMultMatrixf composes them.
inline Matrix4 operator*(const Matrix4& a, const Matrix4& b)
{
    Matrix4 r;
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k)
                s += a.m[k * 4 + row] * b.m[col * 4 + k];
            r.m[col * 4 + row] = s;
        }
    return r;
}
