#include "util/trig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace molv {
namespace {

TEST(Trig, QuarterTurnsAreExact) {
    for (const double deg : {0.0, 90.0, -90.0, 180.0, 270.0, 360.0, -450.0, 720.0}) {
        const SinCos sc = sinCosDegrees(deg);
        const long k = std::lround(deg / 90.0);
        const double s[4] = {0, 1, 0, -1}, c[4] = {1, 0, -1, 0};
        EXPECT_EQ(sc.s, s[((k % 4) + 4) % 4]) << deg;
        EXPECT_EQ(sc.c, c[((k % 4) + 4) % 4]) << deg;
    }
}

// Within a few ulps of the C library: only the last bits may differ from
// one library to another.
TEST(Trig, AgreesWithTheCLibrary) {
    for (double x = -20.0; x <= 20.0; x += 0.0137) {
        const SinCos r = sinCosRadians(x);
        EXPECT_NEAR(r.s, std::sin(x), 4e-16) << x;
        EXPECT_NEAR(r.c, std::cos(x), 4e-16) << x;
        // Degrees are reduced exactly; the C library's argument is rounded.
        const SinCos d = sinCosDegrees(x * 17.0);
        const double a = x * 17.0 * (3.14159265358979323846 / 180.0);
        EXPECT_NEAR(d.s, std::sin(a), 2e-15) << x;
        EXPECT_NEAR(d.c, std::cos(a), 2e-15) << x;
    }
    EXPECT_TRUE(std::isnan(sinCosRadians(NAN).s));
    EXPECT_TRUE(std::isnan(sinCosDegrees(INFINITY).c));
}

}  // namespace
}  // namespace molv
