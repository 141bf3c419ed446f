#include "model/triangulate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace molv {
namespace {

struct Pt {
    double x, y;
};
using Outline = std::vector<Pt>;

double signedArea(const Pt& a, const Pt& b, const Pt& c) {
    return ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) / 2;
}

double outlineArea(const Outline& o) {
    double s = 0;
    for (std::size_t i = 1; i + 1 < o.size(); ++i) s += signedArea(o[0], o[i], o[i + 1]);
    return s;
}

bool inside(const Outline& o, Pt p) {
    bool in = false;
    for (std::size_t i = 0, j = o.size() - 1; i < o.size(); j = i++) {
        if ((o[i].y > p.y) != (o[j].y > p.y) &&
            p.x < (o[j].x - o[i].x) * (p.y - o[i].y) / (o[j].y - o[i].y) + o[i].x)
            in = !in;
    }
    return in;
}

// An outline placed in space: p = origin + x * ex + y * ey.
struct Placement {
    const char* name;
    Vec3 origin, ex, ey;
};
const Placement kPlacements[] = {
    {"xy", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
    {"yz", {0, 0, 0}, {0, 1, 0}, {0, 0, 1}},
    {"zx mirrored", {0, 0, 0}, {0, 0, 1}, {1, 0, 0}},
    {"tilted, far off", {25000, -4000, 9000}, {0.6f, 0.8f, 0}, {-0.48f, 0.36f, 0.8f}},
};

std::vector<Vec3> place(const Outline& o, const Placement& pl) {
    std::vector<Vec3> out;
    for (const Pt& p : o) {
        Vec3 v;
        for (int k = 0; k < 3; ++k)
            v[k] = static_cast<float>(pl.origin[k] + p.x * pl.ex[k] + p.y * pl.ey[k]);
        out.push_back(v);
    }
    return out;
}

// Corners in counter-clockwise order.
Outline lShape() { return {{2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}, {0, 0}}; }
// n corners round the origin, `turns` times round, at radius 1 and every
// other one at `inner`.
Outline ring(std::size_t n, double inner, int turns = 1) {
    Outline o;
    for (std::size_t k = 0; k < n; ++k) {
        const double a = 6.283185307179586 * turns * static_cast<double>(k) / static_cast<double>(n);
        o.push_back({(k % 2 ? inner : 1) * std::cos(a), (k % 2 ? inner : 1) * std::sin(a)});
    }
    return o;
}
// A comb of `teeth` teeth, each 1 wide and 5 high, on a bar 1 high.
Outline comb(int teeth) {
    Outline o{{0, 0}, {2.0 * teeth, 0}};
    for (int t = teeth - 1; t >= 0; --t) {
        o.push_back({2.0 * t + 1, 6});
        o.push_back({2.0 * t, 6});
        if (t > 0) {
            o.push_back({2.0 * t, 1});
            o.push_back({2.0 * t - 1, 1});
        }
    }
    return o;
}

std::vector<CornerTri> fanOf(std::size_t n) {
    std::vector<CornerTri> f;
    for (std::int32_t k = 0; k + 2 < static_cast<std::int32_t>(n); ++k) f.push_back({0, k + 1, k + 2});
    return f;
}

// The triangles tile the outline: n - 2 of them, each turning the outline's
// way and lying inside it, their areas adding up to the outline's.
::testing::AssertionResult tiles(const Outline& o, const std::vector<CornerTri>& tris) {
    if (tris.size() != o.size() - 2) return ::testing::AssertionFailure() << tris.size() << " triangles";
    const double want = outlineArea(o);
    double sum = 0;
    for (const CornerTri& t : tris) {
        for (std::int32_t c : t)
            if (c < 0 || static_cast<std::size_t>(c) >= o.size()) return ::testing::AssertionFailure() << "corner " << c;
        const auto p = [&](int k) { return o[static_cast<std::size_t>(t[k])]; };
        const double s = signedArea(p(0), p(1), p(2));
        const Pt middle{(p(0).x + p(1).x + p(2).x) / 3, (p(0).y + p(1).y + p(2).y) / 3};
        if (s * want < -1e-9 || (std::fabs(s) > 1e-9 && !inside(o, middle)))
            return ::testing::AssertionFailure() << "triangle " << t[0] << " " << t[1] << " " << t[2] << " turns back or lies outside";
        sum += s;
    }
    if (std::fabs(sum - want) > 1e-6 * std::fabs(want))
        return ::testing::AssertionFailure() << "area " << sum << ", outline " << want;
    return ::testing::AssertionSuccess();
}

// From every corner, either way round and in every placement, an outline is
// tiled with its winding. The first four keep the fan from their first
// corner, which covers them; the rest are clipped from some corner.
TEST(Triangulate, OutlinesAreTiledWithTheirWinding) {
    const std::pair<const char*, Outline> shapes[] = {
        {"triangle", {{0, 0}, {1, 0}, {0, 1}}},
        {"square", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
        {"straight, repeated corners", {{0, 0}, {1, 0}, {2, 0}, {2, 0}, {3, 1}, {2, 3}, {0, 2}}},
        {"L from the inner corner", {{1, 1}, {1, 2}, {0, 2}, {0, 0}, {2, 0}, {2, 1}}},  // it sees every corner
        {"L", lShape()}, {"star", ring(12, 0.5)}, {"dart", {{0, 0}, {2, 1}, {4, 0}, {2, 3}}}, {"comb", comb(12)}};
    std::vector<CornerTri> out;
    for (std::size_t i = 0; i < std::size(shapes); ++i) {
        const auto& [name, shape] = shapes[i];
        int clipped = 0;
        for (std::size_t r = 0; r < shape.size(); ++r) {
            for (bool reversed : {false, true}) {
                Outline o = shape;
                if (reversed) std::reverse(o.begin(), o.end());
                std::rotate(o.begin(), o.begin() + static_cast<std::ptrdiff_t>(r), o.end());
                for (const Placement& pl : kPlacements) {
                    const PolygonCut cut = triangulatePolygon(place(o, pl), out);
                    ASSERT_TRUE(cut == PolygonCut::Fan || cut == PolygonCut::EarClipped) << name;
                    EXPECT_TRUE(tiles(o, out)) << name << " from corner " << r << (reversed ? " reversed " : " ")
                                               << pl.name;
                    if (i < 4 && r == 0 && !reversed) {
                        EXPECT_EQ(std::pair(cut, out), std::pair(PolygonCut::Fan, fanOf(o.size()))) << name << pl.name;
                    }
                    clipped += cut == PolygonCut::EarClipped;
                }
            }
        }
        EXPECT_TRUE(i < 4 || clipped > 0) << name;
    }
}

TEST(Triangulate, OutlinesThatCannotBeClippedAreFanned) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        std::vector<Vec3> pos;
        PolygonCut cut;
    } cases[] = {
        {"pentagram", place(ring(5, 1, 2), kPlacements[0]), PolygonCut::SelfIntersecting},
        {"twice round", place(ring(8, 1, 2), kPlacements[1]), PolygonCut::SelfIntersecting},
        {"hourglass", place({{0, 0}, {2, 2}, {2, 0}, {0, 2}, {1, 3}}, kPlacements[3]), PolygonCut::SelfIntersecting},
        {"on a line", {{0, 0, 0}, {1, 1, 1}, {3, 3, 3}, {2, 2, 2}, {-1, -1, -1}}, PolygonCut::Flat},
        {"one point", {{5, 5, 5}, {5, 5, 5}, {5, 5, 5}, {5, 5, 5}}, PolygonCut::Flat},
        {"not a number", {{0, 0, 0}, {1, 0, 0}, {nan, 1, 0}, {0, 1, 0}, {0.5f, 0.5f, 0}}, PolygonCut::Flat},
        {"too many corners", place(comb(kMaxClippedCorners / 4 + 1), kPlacements[0]), PolygonCut::TooLarge},
    };
    for (const auto& c : cases) {
        std::vector<CornerTri> out;
        EXPECT_EQ(triangulatePolygon(c.pos, out), c.cut) << c.name;
        EXPECT_EQ(out, fanOf(c.pos.size())) << c.name;
    }
    std::vector<CornerTri> out{{1, 2, 3}};
    EXPECT_EQ(triangulatePolygon(std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}}, out), PolygonCut::Fan);
    EXPECT_TRUE(out.empty());
}

TEST(Triangulate, LargeAndArbitraryOutlinesGiveTrianglesOfTheirCorners) {
    std::vector<CornerTri> out;
    const Outline big = comb(kMaxClippedCorners / 4);
    EXPECT_EQ(triangulatePolygon(place(big, kPlacements[3]), out), PolygonCut::EarClipped);
    EXPECT_TRUE(tiles(big, out));

    // A read's work: small outlines are paid for by their own corners; one
    // that takes much more than that draws on what is left, and is fanned
    // once that is gone.
    const Outline saw = ring(kMaxClippedCorners, 0.5);
    std::int64_t left = 0;
    EXPECT_EQ(triangulatePolygon(place(lShape(), kPlacements[0]), out, &left), PolygonCut::EarClipped);
    EXPECT_EQ(triangulatePolygon(place(saw, kPlacements[0]), out, &left), PolygonCut::TooLarge);
    EXPECT_EQ(out, fanOf(saw.size()));
    left = kClipWorkPerRead;
    EXPECT_EQ(triangulatePolygon(place(saw, kPlacements[0]), out, &left), PolygonCut::EarClipped);
    EXPECT_TRUE(tiles(saw, out));
    EXPECT_LT(left, kClipWorkPerRead);

    // Points anywhere, repeated ones among them: whatever the cut, n - 2
    // triangles of three different corners.
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 24) / 16.0f;
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<Vec3> pos;
        const int n = 4 + round % 20;
        for (int i = 0; i < n; ++i) pos.push_back(i % 7 == 6 ? pos[0] : Vec3{next(), next(), round % 3 ? 0 : next()});
        triangulatePolygon(pos, out);
        ASSERT_EQ(out.size(), pos.size() - 2) << round;
        for (const CornerTri& t : out) {
            for (std::int32_t c : t) ASSERT_TRUE(c >= 0 && c < n) << round;
            ASSERT_TRUE(t[0] != t[1] && t[1] != t[2] && t[0] != t[2]) << round;
        }
    }
}

// A read that fanned nothing says nothing: the reader cases' listings pin that.
TEST(Triangulate, TallySaysWhatWasFannedAndWhy) {
    PolygonCutTally t;
    for (PolygonCut c : {PolygonCut::SelfIntersecting, PolygonCut::EarClipped, PolygonCut::EarClipped, PolygonCut::TooLarge,
                         PolygonCut::TooLarge, PolygonCut::Flat})
        t.add(c);
    t.withHoles = 1;
    // The lines as the user reads them, each after its detail level.
    std::vector<std::pair<std::string, int>> want;
    std::istringstream lines(test::readFile(test::dataPath("model/polygon_cut_report.txt")));
    for (std::string line; std::getline(lines, line);) want.emplace_back(line.substr(2), line[0] - '0');
    EXPECT_EQ(t.report("m.obj"), want);
}

}  // namespace
}  // namespace molv
