#include "model/triangulate.h"

#include <algorithm>
#include <cmath>

#include "model/vecmath.h"

namespace molv {

namespace {

struct P2 {
    double x = 0, y = 0;
};

// Twice the signed area of the triangle o, a, b: positive when it turns
// counter-clockwise.
double turn(const P2& o, const P2& a, const P2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// The polygon's plane as two of the three axes: the axis the normal leans
// on most is dropped, and the first kept one is negated when needed so that
// the outline runs counter-clockwise. Coordinates are taken relative to
// corner 0, so far-off models keep their precision.
struct Plane {
    int u = 0, v = 1;
    double su = 1;
    Vec3 origin;
    P2 at(const Vec3& p) const {
        return {su * (double(p[u]) - origin[u]), double(p[v]) - origin[v]};
    }
};

void fan(std::size_t n, std::vector<CornerTri>& out) {
    for (std::size_t k = 0; k + 2 < n; ++k)
        out.push_back({0, static_cast<std::int32_t>(k + 1), static_cast<std::int32_t>(k + 2)});
}

// A quad's fan is right when its two triangles face the same way: corners 1
// and 3 then lie on either side of the diagonal 0-2.
bool quadFanRight(std::span<const Vec3> p) {
    double d[3][3];
    for (int k = 0; k < 3; ++k)
        for (int a = 0; a < 3; ++a) d[k][a] = double(p[static_cast<std::size_t>(k) + 1][a]) - p[0][a];
    auto cross = [&](int i, int j, int a) {
        const int b = (a + 1) % 3, c = (a + 2) % 3;
        return d[i][b] * d[j][c] - d[i][c] * d[j][b];
    };
    double dot = 0;
    for (int a = 0; a < 3; ++a) dot += cross(0, 1, a) * cross(1, 2, a);
    return dot > 0;
}

// The plane from the Newell normal; false when the outline spans no area
// (or holds a coordinate that is not a number).
bool planeOf(std::span<const Vec3> p, Plane& pl) {
    const std::size_t n = p.size();
    pl.origin = p[0];
    double nrm[3] = {0, 0, 0}, reach = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3& a = p[i];
        const Vec3& b = p[i + 1 < n ? i + 1 : 0];
        double ra[3], rb[3];
        for (int k = 0; k < 3; ++k) {
            ra[k] = double(a[k]) - pl.origin[k];
            rb[k] = double(b[k]) - pl.origin[k];
            reach = std::max(reach, std::fabs(ra[k]));
        }
        for (int k = 0; k < 3; ++k) {
            const int s = (k + 1) % 3, t = (k + 2) % 3;
            nrm[k] += (ra[s] - rb[s]) * (ra[t] + rb[t]);
        }
    }
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (std::fabs(nrm[k]) > std::fabs(nrm[axis])) axis = k;
    if (!(std::fabs(nrm[axis]) > 1e-12 * reach * reach) || !std::isfinite(nrm[axis])) return false;
    pl.u = (axis + 1) % 3;
    pl.v = (axis + 2) % 3;
    pl.su = nrm[axis] > 0 ? 1 : -1;
    return true;
}

// Whether the fan from corner 0 covers the outline exactly: every triangle
// turns the outline's way (a turn back of a millionth of a radian or less
// counts as straight), together they go round corner 0 less than once, and
// the outline does not come back to corner 0 on its way.
bool fanRight(std::span<const Vec3> p, const Plane& pl) {
    const P2 o = pl.at(p[0]);
    double sweep = 0;
    P2 a = pl.at(p[1]);
    for (std::size_t k = 1; k + 1 < p.size(); ++k) {
        const P2 b = pl.at(p[k + 1]);
        const double ax = a.x - o.x, ay = a.y - o.y, bx = b.x - o.x, by = b.y - o.y;
        if (bx == 0 && by == 0 && k + 2 < p.size()) return false;
        const double cr = ax * by - ay * bx, dt = ax * bx + ay * by;
        if (!(cr >= -1e-6 * std::hypot(ax, ay) * std::hypot(bx, by))) return false;
        sweep += std::atan2(std::max(cr, 0.0), dt);
        a = b;
    }
    return sweep < 2 * kPi - 1e-9;
}

// How often the outline turns round: 1 for a simple counter-clockwise
// one. Edges of no length are passed over; a turn straight back (a spike)
// counts half a round either way, so spikes make it miss 1.
long turningNumber(const std::vector<P2>& q) {
    const std::size_t n = q.size();
    auto angle = [](const P2& a, const P2& b) { return std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y); };
    double total = 0;
    bool have = false;
    P2 first, prev;
    for (std::size_t i = 0; i < n; ++i) {
        const P2& a = q[i];
        const P2& b = q[(i + 1) % n];
        const P2 e{b.x - a.x, b.y - a.y};
        if (e.x == 0 && e.y == 0) continue;
        if (have)
            total += angle(prev, e);
        else
            first = e;
        prev = e;
        have = true;
    }
    if (!have) return 0;
    total += angle(prev, first);
    return std::lround(total / (2 * kPi));
}

// Whether the outline is not simple: it winds round more than once, or two
// of its edges cross (touching or running along each other does not count:
// outlines that go round a hole along a bridge touch themselves). Edges are
// visited in order of their smallest x, so only edges whose x ranges
// overlap are compared.
bool selfIntersecting(const std::vector<P2>& q) {
    const std::size_t n = q.size();
    if (turningNumber(q) != 1) return true;
    std::vector<std::int32_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::int32_t>(i);
    auto lo = [&](std::int32_t e) { return std::min(q[static_cast<std::size_t>(e)].x, q[(static_cast<std::size_t>(e) + 1) % n].x); };
    auto hi = [&](std::int32_t e) { return std::max(q[static_cast<std::size_t>(e)].x, q[(static_cast<std::size_t>(e) + 1) % n].x); };
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) { return lo(a) < lo(b); });
    auto sign = [](double v) { return (v > 0) - (v < 0); };
    for (std::size_t i = 0; i < n; ++i) {
        const auto e = static_cast<std::size_t>(order[i]);
        const P2 &a = q[e], &b = q[(e + 1) % n];
        const double eHi = hi(order[i]);
        for (std::size_t j = i + 1; j < n && lo(order[j]) <= eHi; ++j) {
            const auto f = static_cast<std::size_t>(order[j]);
            if ((e + 1) % n == f || (f + 1) % n == e) continue;  // neighbours share a corner
            const P2 &c = q[f], &d = q[(f + 1) % n];
            if (sign(turn(a, b, c)) * sign(turn(a, b, d)) < 0 && sign(turn(c, d, a)) * sign(turn(c, d, b)) < 0)
                return true;
        }
    }
    return false;
}

// Ear clipping of a simple counter-clockwise outline. A corner is an ear
// when it turns left and no reflex corner lies in or on its triangle
// (corners at the same point as one of the triangle's do not count). When a
// whole round finds no ear, which rounding can cause, the next round takes
// any left-turning corner, and the one after any corner, so the loop always
// ends with n - 2 triangles.
void clipEars(const std::vector<P2>& q, std::vector<CornerTri>& out) {
    const auto n = static_cast<std::int32_t>(q.size());
    std::vector<std::int32_t> prv(q.size()), nxt(q.size()), reflex;
    std::vector<char> gone(q.size(), 0);
    for (std::int32_t i = 0; i < n; ++i) {
        prv[static_cast<std::size_t>(i)] = i == 0 ? n - 1 : i - 1;
        nxt[static_cast<std::size_t>(i)] = i == n - 1 ? 0 : i + 1;
    }
    auto at = [&](std::int32_t i) -> const P2& { return q[static_cast<std::size_t>(i)]; };
    auto area = [&](std::int32_t i) {
        return turn(at(prv[static_cast<std::size_t>(i)]), at(i), at(nxt[static_cast<std::size_t>(i)]));
    };
    for (std::int32_t i = 0; i < n; ++i)
        if (!(area(i) > 0)) reflex.push_back(i);
    auto same = [](const P2& a, const P2& b) { return a.x == b.x && a.y == b.y; };
    auto blocked = [&](std::int32_t a, std::int32_t b, std::int32_t c) {
        // Clipping only ever turns reflex corners convex: drop those as met.
        std::size_t keep = 0;
        bool hit = false;
        for (std::int32_t r : reflex) {
            if (gone[static_cast<std::size_t>(r)] || area(r) > 0) continue;
            reflex[keep++] = r;
            if (hit || r == a || r == b || r == c) continue;
            const P2& p = at(r);
            if (same(p, at(a)) || same(p, at(b)) || same(p, at(c))) continue;
            hit = turn(at(a), at(b), p) >= 0 && turn(at(b), at(c), p) >= 0 && turn(at(c), at(a), p) >= 0;
        }
        reflex.resize(keep);
        return hit;
    };

    std::int32_t remaining = n, i = 0, since = 0, mode = 0;
    while (remaining > 3) {
        const std::int32_t a = prv[static_cast<std::size_t>(i)], c = nxt[static_cast<std::size_t>(i)];
        const bool ear = mode >= 2 || (area(i) > 0 && (mode == 1 || !blocked(a, i, c)));
        if (ear) {
            out.push_back({a, i, c});
            nxt[static_cast<std::size_t>(a)] = c;
            prv[static_cast<std::size_t>(c)] = a;
            gone[static_cast<std::size_t>(i)] = 1;
            --remaining;
            i = c;
            since = mode = 0;
        } else {
            i = c;
            if (++since >= remaining) {
                ++mode;
                since = 0;
            }
        }
    }
    out.push_back({prv[static_cast<std::size_t>(i)], i, nxt[static_cast<std::size_t>(i)]});
}

}  // namespace

PolygonCut triangulatePolygon(std::span<const Vec3> pos, std::vector<CornerTri>& out) {
    out.clear();
    const std::size_t n = pos.size();
    if (n < 3) return PolygonCut::Fan;
    if (n == 3 || (n == 4 && quadFanRight(pos))) {
        fan(n, out);
        return PolygonCut::Fan;
    }
    Plane pl;
    PolygonCut cut = PolygonCut::Fan;
    if (!planeOf(pos, pl)) {
        cut = PolygonCut::Flat;
    } else if (!fanRight(pos, pl)) {
        if (n > kMaxClippedCorners) {
            cut = PolygonCut::TooManyCorners;
        } else {
            std::vector<P2> q(n);
            for (std::size_t i = 0; i < n; ++i) q[i] = pl.at(pos[i]);
            if (selfIntersecting(q)) {
                cut = PolygonCut::SelfIntersecting;
            } else {
                clipEars(q, out);
                return PolygonCut::EarClipped;
            }
        }
    }
    fan(n, out);
    return cut;
}

std::vector<std::pair<std::string, int>> PolygonCutTally::report(const std::string& file) const {
    std::vector<std::pair<std::string, int>> lines;
    auto say = [&](std::int64_t n, const char* one, const char* many, const std::string& rest, int level) {
        if (n > 0) lines.emplace_back(file + ": " + std::to_string(n) + (n == 1 ? one : many) + rest, level);
    };
    const std::string fanned = "cut as a fan from the first corner";
    say(count[static_cast<int>(PolygonCut::SelfIntersecting)], " polygon crosses itself; ",
        " polygons cross themselves; each ", fanned, 0);
    say(withHoles, " polygon has holes; its outline is ", " polygons have holes; each outline is ",
        fanned + ", the holes are not cut out", 0);
    say(count[static_cast<int>(PolygonCut::TooManyCorners)], " concave polygon has ",
        " concave polygons have ", "more than " + std::to_string(kMaxClippedCorners) + " corners; " +
        (count[static_cast<int>(PolygonCut::TooManyCorners)] == 1 ? "it is " : "each is ") + fanned, 0);
    say(count[static_cast<int>(PolygonCut::EarClipped)], " concave polygon cut along its outline",
        " concave polygons cut along their outlines", "", 1);
    say(count[static_cast<int>(PolygonCut::Flat)], " polygon has no area; it is ",
        " polygons have no area; each is ", fanned, 1);
    return lines;
}

}  // namespace molv
