// The 3-component float vector shared by the store and the math library.
#pragma once

namespace molv {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    float& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
    friend bool operator==(const Vec3&, const Vec3&) = default;
};

}  // namespace molv
