#include "model/store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace molv {
namespace {

// How the store is filled, what it refuses and how often it says so, the
// culling of unused materials and the check before writing are pinned by
// the scripts under tests/data/model/scripts/ (store_*.txt).

// Colours from glTF and Collada factors: rounded, clamped, and a NaN is black
// rather than whatever the cast of it would give.
TEST(StoreColour, FactorsBecomeClampedBytes) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct { double v; int byte; } rows[] = {
        {0.0, 0}, {1.0, 255}, {0.5, 128}, {0.2, 51}, {-0.1, 0}, {1.5, 255},
        {std::nan(""), 0}, {inf, 255}, {-inf, 0},
    };
    for (const auto& r : rows) EXPECT_EQ(colourByte(r.v), r.byte) << r.v;
}

}  // namespace
}  // namespace molv
