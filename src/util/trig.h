// Sine and cosine with the same bits on every platform. The C libraries
// differ in the last bits (mingw's cos(pi/2) is not glibc's), and a rotation
// read from a model reaches the written normals, so a set converted on
// Windows would differ from the same set converted on Linux.
#pragma once

namespace molv {

struct SinCos {
    double s = 0, c = 1;
};

// Angle in degrees; multiples of 90 give exactly 0 and +-1.
SinCos sinCosDegrees(double deg);
// Angle in radians.
SinCos sinCosRadians(double rad);

}  // namespace molv
