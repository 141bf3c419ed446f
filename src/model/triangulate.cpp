#include "model/triangulate.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

inline void fan(std::size_t n, std::vector<CornerTri>& out) {
    for (std::size_t k = 0; k + 2 < n; ++k)
        out.push_back({0, static_cast<std::int32_t>(k + 1), static_cast<std::int32_t>(k + 2)});
}

// A quad's fan is right when its two triangles face the same way: corners 1
// and 3 then lie on either side of the diagonal 0-2. Written out by
// component: it runs for every quad of a model.
bool quadFanRight(std::span<const Vec3> p) {
    const Vec3 &o = p[0], &pa = p[1], &pb = p[2], &pc = p[3];
    const double ax = double(pa.x) - o.x, ay = double(pa.y) - o.y, az = double(pa.z) - o.z;
    const double bx = double(pb.x) - o.x, by = double(pb.y) - o.y, bz = double(pb.z) - o.z;
    const double cx = double(pc.x) - o.x, cy = double(pc.y) - o.y, cz = double(pc.z) - o.z;
    const double n1x = ay * bz - az * by, n1y = az * bx - ax * bz, n1z = ax * by - ay * bx;
    const double n2x = by * cz - bz * cy, n2y = bz * cx - bx * cz, n2z = bx * cy - by * cx;
    return n1x * n2x + n1y * n2y + n1z * n2z > 0;
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

// Steps of work for clipping, counted down from what the read has left;
// without a count, unlimited.
struct Budget {
    std::int64_t* left = nullptr;
    void grant(std::int64_t steps) {
        if (left) *left = std::min(*left, std::numeric_limits<std::int64_t>::max() - steps) + steps;
    }
    bool spend(std::int64_t steps) {
        if (!left) return true;
        *left -= steps;
        return *left >= 0;
    }
};

enum class Simple { Yes, No, NoTime };

// Whether the outline is simple: it winds round once, and no two of its
// edges cross (touching or running along each other does not count:
// outlines that go round a hole along a bridge touch themselves). Edges are
// visited in order of their smallest x, so only edges whose x ranges
// overlap are compared, and only those whose y ranges overlap too are
// tested.
Simple simplicity(const std::vector<P2>& q, Budget& work) {
    const std::size_t n = q.size();
    if (turningNumber(q) != 1) return Simple::No;
    struct Edge {
        double loX, hiX, loY, hiY;
        std::size_t from, to;
    };
    std::vector<Edge> edges(n);
    for (std::size_t e = 0; e < n; ++e) {
        const std::size_t f = e + 1 == n ? 0 : e + 1;
        const P2 &a = q[e], &b = q[f];
        edges[e] = {std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y), e, f};
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.loX < b.loX; });
    auto sign = [](double v) { return (v > 0) - (v < 0); };
    for (std::size_t i = 0; i < n; ++i) {
        const Edge& e = edges[i];
        const P2 &a = q[e.from], &b = q[e.to];
        std::size_t j = i + 1;
        for (; j < n && edges[j].loX <= e.hiX; ++j) {
            const Edge& f = edges[j];
            if (f.loY > e.hiY || f.hiY < e.loY) continue;
            if (e.to == f.from || f.to == e.from) continue;  // neighbours share a corner
            const P2 &c = q[f.from], &d = q[f.to];
            if (sign(turn(a, b, c)) * sign(turn(a, b, d)) < 0 && sign(turn(c, d, a)) * sign(turn(c, d, b)) < 0)
                return Simple::No;
        }
        if (!work.spend(static_cast<std::int64_t>(j - i))) return Simple::NoTime;
    }
    return Simple::Yes;
}

// Ear clipping of a simple counter-clockwise outline. A corner is an ear
// when it turns left and no reflex corner lies in or on its triangle
// (corners at the same point as one of the triangle's do not count). The
// reflex corners are kept sorted by x, so a test looks only at those within
// the triangle's x range; clipping only ever turns reflex corners convex,
// so the list is never added to. When a whole round finds no ear, which
// rounding can cause, the next round takes any left-turning corner, and the
// one after any corner, so the loop always ends with n - 2 triangles.
// False (out incomplete) when the work ran out.
bool clipEars(const std::vector<P2>& q, std::vector<CornerTri>& out, Budget& work) {
    const auto n = static_cast<std::int32_t>(q.size());
    std::vector<std::int32_t> prv(q.size()), nxt(q.size());
    std::vector<char> gone(q.size(), 0);
    for (std::int32_t i = 0; i < n; ++i) {
        prv[static_cast<std::size_t>(i)] = i == 0 ? n - 1 : i - 1;
        nxt[static_cast<std::size_t>(i)] = i == n - 1 ? 0 : i + 1;
    }
    auto at = [&](std::int32_t i) -> const P2& { return q[static_cast<std::size_t>(i)]; };
    auto area = [&](std::int32_t i) {
        return turn(at(prv[static_cast<std::size_t>(i)]), at(i), at(nxt[static_cast<std::size_t>(i)]));
    };
    struct Reflex {
        double x;
        std::int32_t i;
    };
    std::vector<Reflex> reflex;
    for (std::int32_t i = 0; i < n; ++i)
        if (!(area(i) > 0)) reflex.push_back({at(i).x, i});
    std::sort(reflex.begin(), reflex.end(), [](const Reflex& a, const Reflex& b) { return a.x < b.x; });
    auto same = [](const P2& a, const P2& b) { return a.x == b.x && a.y == b.y; };
    std::int64_t steps = 0;
    auto blocked = [&](std::int32_t a, std::int32_t b, std::int32_t c) {
        const P2 &pa = at(a), &pb = at(b), &pc = at(c);
        const double loX = std::min({pa.x, pb.x, pc.x}), hiX = std::max({pa.x, pb.x, pc.x});
        const double loY = std::min({pa.y, pb.y, pc.y}), hiY = std::max({pa.y, pb.y, pc.y});
        auto r = std::lower_bound(reflex.begin(), reflex.end(), loX,
                                  [](const Reflex& e, double x) { return e.x < x; });
        for (; r != reflex.end() && r->x <= hiX; ++r) {
            ++steps;
            const std::int32_t k = r->i;
            if (gone[static_cast<std::size_t>(k)] || k == a || k == b || k == c) continue;
            const P2& p = at(k);
            if (p.y < loY || p.y > hiY || area(k) > 0) continue;
            if (same(p, pa) || same(p, pb) || same(p, pc)) continue;
            if (turn(pa, pb, p) >= 0 && turn(pb, pc, p) >= 0 && turn(pc, pa, p) >= 0) return true;
        }
        return false;
    };

    std::int32_t remaining = n, i = 0, since = 0, mode = 0;
    while (remaining > 3) {
        const std::int32_t a = prv[static_cast<std::size_t>(i)], c = nxt[static_cast<std::size_t>(i)];
        steps = 1;
        const bool ear = mode >= 2 || (area(i) > 0 && (mode == 1 || !blocked(a, i, c)));
        if (!work.spend(steps)) return false;
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
    return true;
}

// Outlines of more than three corners whose fan is not plainly right. Kept
// out of line, so triangles and quads do not pay for its frame.
[[gnu::noinline]] PolygonCut cutOutline(std::span<const Vec3> pos, std::vector<CornerTri>& out, Budget work) {
    const std::size_t n = pos.size();
    Plane pl;
    PolygonCut cut = PolygonCut::Fan;
    if (!planeOf(pos, pl)) {
        cut = PolygonCut::Flat;
    } else if (!fanRight(pos, pl)) {
        cut = PolygonCut::TooLarge;
        work.grant(kClipWorkPerCorner * static_cast<std::int64_t>(n));
        if (n <= kMaxClippedCorners && work.spend(static_cast<std::int64_t>(n))) {
            std::vector<P2> q(n);
            double loX = 0, hiX = 0, loY = 0, hiY = 0;
            for (std::size_t i = 0; i < n; ++i) {
                q[i] = pl.at(pos[i]);
                loX = std::min(loX, q[i].x), hiX = std::max(hiX, q[i].x);
                loY = std::min(loY, q[i].y), hiY = std::max(hiY, q[i].y);
            }
            // Both searches go along x: the longer side of the outline
            // spreads its corners best. A quarter turn keeps the winding.
            if (hiY - loY > hiX - loX)
                for (P2& p : q) p = P2{p.y, -p.x};
            const Simple simple = simplicity(q, work);
            if (simple == Simple::No) {
                cut = PolygonCut::SelfIntersecting;
            } else if (simple == Simple::Yes) {
                if (clipEars(q, out, work)) return PolygonCut::EarClipped;
                out.clear();
            }
        }
    }
    fan(n, out);
    return cut;
}

}  // namespace

PolygonCut triangulatePolygon(std::span<const Vec3> pos, std::vector<CornerTri>& out, std::int64_t* workLeft) {
    out.clear();
    const std::size_t n = pos.size();
    if (n < 3) return PolygonCut::Fan;
    if (n == 3 || (n == 4 && quadFanRight(pos))) {
        fan(n, out);
        return PolygonCut::Fan;
    }
    return cutOutline(pos, out, Budget{workLeft});
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
    say(count[static_cast<int>(PolygonCut::TooLarge)], " concave polygon is ", " concave polygons are ",
        "too large to cut (more than " + std::to_string(kMaxClippedCorners) +
            " corners, or beyond the work one file may take); " +
            (count[static_cast<int>(PolygonCut::TooLarge)] == 1 ? "it is " : "each is ") + fanned,
        0);
    say(count[static_cast<int>(PolygonCut::EarClipped)], " concave polygon cut along its outline",
        " concave polygons cut along their outlines", "", 1);
    say(count[static_cast<int>(PolygonCut::Flat)], " polygon has no area; it is ",
        " polygons have no area; each is ", fanned, 1);
    return lines;
}

}  // namespace molv
