#include "util/trig.h"

#include <cmath>

namespace molv {
namespace {

// Taylor series to x^17 / x^18, evaluated with + and * only (exactly
// rounded everywhere): within an ulp or two of the true value for |x| <= pi/4.
double sinPoly(double x) {
    const double x2 = x * x;
    double p = 1.0 / 355687428096000.0;              // 1/17!
    p = p * x2 - 1.0 / 1307674368000.0;              // 1/15!
    p = p * x2 + 1.0 / 6227020800.0;                 // 1/13!
    p = p * x2 - 1.0 / 39916800.0;                   // 1/11!
    p = p * x2 + 1.0 / 362880.0;                     // 1/9!
    p = p * x2 - 1.0 / 5040.0;                       // 1/7!
    p = p * x2 + 1.0 / 120.0;                        // 1/5!
    p = p * x2 - 1.0 / 6.0;                          // 1/3!
    return x + x * x2 * p;
}

double cosPoly(double x) {
    const double x2 = x * x;
    double p = -1.0 / 6402373705728000.0;            // 1/18!
    p = p * x2 + 1.0 / 20922789888000.0;             // 1/16!
    p = p * x2 - 1.0 / 87178291200.0;                // 1/14!
    p = p * x2 + 1.0 / 479001600.0;                  // 1/12!
    p = p * x2 - 1.0 / 3628800.0;                    // 1/10!
    p = p * x2 + 1.0 / 40320.0;                      // 1/8!
    p = p * x2 - 1.0 / 720.0;                        // 1/6!
    p = p * x2 + 1.0 / 24.0;                         // 1/4!
    return 1.0 - 0.5 * x2 + x2 * x2 * p;
}

// r in [-pi/4, pi/4] and the quarter turns q before it.
SinCos fromQuadrant(double r, long long q) {
    const double s = sinPoly(r), c = cosPoly(r);
    switch (((q % 4) + 4) % 4) {
        case 0: return {s, c};
        case 1: return {c, -s};
        case 2: return {-s, -c};
        default: return {-c, s};
    }
}

}  // namespace

SinCos sinCosDegrees(double deg) {
    if (!std::isfinite(deg)) return {NAN, NAN};
    deg = std::fmod(deg, 360.0);  // exact
    const double q = std::nearbyint(deg / 90.0);
    const double r = deg - 90.0 * q;
    return fromQuadrant(r * (3.14159265358979323846 / 180.0), static_cast<long long>(q));
}

SinCos sinCosRadians(double rad) {
    if (!std::isfinite(rad) || std::fabs(rad) > 1e9) return {NAN, NAN};
    // pi/2 in two parts, so that r keeps its low bits for angles of a few turns.
    constexpr double kHalfPiHi = 1.5707963267341256;
    constexpr double kHalfPiLo = 6.077100506506192e-11;
    const double q = std::nearbyint(rad * 0.6366197723675814);
    const double r = (rad - q * kHalfPiHi) - q * kHalfPiLo;
    return fromQuadrant(r, static_cast<long long>(q));
}

}  // namespace molv
