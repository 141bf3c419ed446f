#include "model/extents.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "core/diagnostics.h"
#include "model/store.h"
#include "util/numfmt.h"

namespace molv {

namespace {

using Run = std::pair<std::int32_t, std::int32_t>;  // [first, end)

// The vertex runs of the meshes (all, or one), clipped to the vertices that
// exist and merged where they overlap, so that no vertex is moved twice even
// when a reader left overlapping runs behind.
std::vector<Run> vertexRuns(const ModelStore& m, std::int32_t only) {
    const std::int32_t limit =
        static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(std::max(m.ttlnum_Vertices, 0)),
                                                        m.Vertices.size()));
    std::int32_t first = m.meshRange.first, last = m.meshRange.last;
    if (only >= 0) first = last = only;
    first = std::max<std::int32_t>(first, 0);
    last = std::min<std::int32_t>(last, static_cast<std::int32_t>(m.Meshes.size()) - 1);
    std::vector<Run> runs;
    for (std::int32_t i = first; i <= last; ++i) {
        const Mesh& mesh = m.meshAt(i);
        const std::int64_t b = std::max<std::int64_t>(mesh.vtx_ndx_stt, 0);
        const std::int64_t e = std::min<std::int64_t>(std::int64_t{mesh.vtx_ndx_end} + 1, limit);
        if (b < e) runs.emplace_back(static_cast<std::int32_t>(b), static_cast<std::int32_t>(e));
    }
    std::sort(runs.begin(), runs.end());
    std::vector<Run> merged;
    for (const Run& r : runs) {
        if (!merged.empty() && r.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, r.second);
        else
            merged.push_back(r);
    }
    return merged;
}

// Marks of the vertices the faces use, those faces whose three corners
// exist (the others are not written). Only these are written, so only
// these decide the extents: leftovers that no face uses must not pull the
// model off centre or shrink it.
std::vector<char> usedVertices(const ModelStore& m) {
    const std::size_t nV = std::min<std::size_t>(static_cast<std::size_t>(std::max(m.ttlnum_Vertices, 0)),
                                                 m.Vertices.size());
    const std::size_t nF = std::min<std::size_t>(static_cast<std::size_t>(std::max(m.ttlnum_Faces, 0)),
                                                 m.VFaces.size());
    std::vector<char> used(nV, 0);
    for (std::size_t f = 0; f < nF; ++f) {
        const Face& face = m.VFaces[f];
        bool good = true;
        for (std::int32_t v : face.vtx) good = good && v >= 0 && static_cast<std::size_t>(v) < nV;
        if (good)
            for (std::int32_t v : face.vtx) used[static_cast<std::size_t>(v)] = 1;
    }
    return used;
}

// A moved coordinate as a float. Only vertices no face uses can leave the
// float range (the scale is checked against the measured ones); they stop
// at its edge.
float toFloat(double v) {
    return static_cast<float>(std::clamp(v, double(-FLT_MAX), double(FLT_MAX)));
}

std::string extentsLine(const char* label, const Vec3& v) {
    return std::string(label) + " RT(x)= " + fmt2(v.x) + "   UP(y)= " + fmt2(v.y) + "   BK(z)= " + fmt2(v.z);
}

// A centre further than this many times the new span from the origin
// leaves the scaled model fewer than about 2^11 float steps across.
constexpr double kFarCentre = 4096;

bool fitsFloat(double v) { return std::isfinite(v) && std::fabs(v) <= FLT_MAX; }

}  // namespace

namespace {

// The box of the vertices measured so far, pos and zup_pos. It starts
// empty (infinite), so a model lying wholly beyond any start value is
// measured as it is; an empty box is stored as 9e9 / -9e9.
constexpr float kInf = std::numeric_limits<float>::infinity();
struct Bounds {
    Vec3 mn{kInf, kInf, kInf}, mx{-kInf, -kInf, -kInf};
    Vec3 zmn = mn, zmx = mx;
    void add(const Vec3& pos, const Vec3& zup) {
        for (int k = 0; k < 3; ++k) {
            if (pos[k] > mx[k]) mx[k] = pos[k];
            if (pos[k] < mn[k]) mn[k] = pos[k];
            if (zup[k] > zmx[k]) zmx[k] = zup[k];
            if (zup[k] < zmn[k]) zmn[k] = zup[k];
        }
    }
};

// Which vertices of the runs are measured: those faces use; where faces use
// none of them (a model of points), every vertex of the runs.
struct Measured {
    std::vector<char> used;
    bool anyUsed = false;
    Measured(const ModelStore& m, const std::vector<Run>& runs) : used(usedVertices(m)) {
        for (const Run& r : runs)
            for (std::int32_t i = r.first; i < r.second && !anyUsed; ++i)
                anyUsed = used[static_cast<std::size_t>(i)] != 0;
    }
    bool operator()(std::int32_t i) const { return !anyUsed || used[static_cast<std::size_t>(i)] != 0; }
};

// One pass over the vertices of runs: move (pos and zup_pos of one vertex)
// then measure.
template <class Move>
Bounds sweep(ModelStore& m, const std::vector<Run>& runs, const Measured& measured, const Move& move) {
    Bounds b;
    // Moving a twin that is pos with y and z swapped gives the moved pos
    // swapped, bit for bit: its centre and box are pos's, swapped.
    const bool twins = !m.zup_pos.empty();
    for (const Run& r : runs)
        for (std::int32_t i = r.first; i < r.second; ++i) {
            Vec3& pos = m.vertexAt(i).pos;
            if (twins) {
                Vec3& zup = m.zup_pos[static_cast<std::size_t>(i)];
                move(pos, zup);
                if (measured(i)) b.add(pos, zup);
            } else {
                Vec3 zup{pos.x, pos.z, pos.y};
                move(pos, zup);
                if (measured(i)) b.add(pos, zup);
            }
        }
    return b;
}

void storeExtents(Diagnostics& diag, ModelStore& m, const Bounds& b) {
    Vec3 mn = b.mn, mx = b.mx, zmn = b.zmn, zmx = b.zmx;
    for (Vec3* v : {&mn, &zmn})
        for (int k = 0; k < 3; ++k)
            if ((*v)[k] == kInf) (*v)[k] = 9e9f;
    for (Vec3* v : {&mx, &zmx})
        for (int k = 0; k < 3; ++k)
            if ((*v)[k] == -kInf) (*v)[k] = -9e9f;
    m.minPos = mn;
    m.maxPos = mx;
    m.minZup = zmn;
    m.maxZup = zmx;
    for (int k = 0; k < 3; ++k) {
        m.ctrPos[k] = static_cast<float>((double(mx[k]) + mn[k]) / 2);
        m.spanPos[k] = static_cast<float>(double(mx[k]) - mn[k]);
        m.ctrZup[k] = static_cast<float>((double(zmx[k]) + zmn[k]) / 2);
        m.spanZup[k] = static_cast<float>(double(zmx[k]) - zmn[k]);
    }
    const Vec3& s = m.spanPos;
    float span = s.z;
    if (s.x > s.y) {
        if (s.x > s.z) span = s.x;
    } else if (s.y > s.z) {
        span = s.y;
    }
    const Vec3& z = m.spanZup;
    if (z.x > z.z) {
        if (z.x > z.y) span = z.x;
    } else if (z.z > z.y) {
        span = z.z;
    }
    m.maxSpan = span;
    diag.showStatus("SetMaxMinsM Done");
}

}  // namespace

void SetMaxMinsM(Diagnostics& diag, ModelStore& m, std::int32_t mesh) {
    const std::vector<Run> runs = vertexRuns(m, mesh);
    const Measured measured(m, runs);
    storeExtents(diag, m, sweep(m, runs, measured, [](Vec3&, Vec3&) {}));
}

double measuredSpan(const ModelStore& m, int axis) {
    // A float span is exact enough and is what the factor has always used;
    // only one that overflowed is measured again, in double.
    if (axis >= 0) {
        if (std::isfinite(m.spanPos[axis])) return m.spanPos[axis];
        return double(m.maxPos[axis]) - m.minPos[axis];
    }
    if (std::isfinite(m.maxSpan)) return m.maxSpan;
    double span = 0;
    for (int k = 0; k < 3; ++k)
        span = std::max({span, double(m.maxPos[k]) - m.minPos[k], double(m.maxZup[k]) - m.minZup[k]});
    return span;
}

void CentreModel(Diagnostics& diag, ModelStore& m, bool baseFlag, float base, bool measuredAlready) {
    if (!measuredAlready) SetMaxMinsM(diag, m);
    const Vec3 ctr = m.ctrPos, zctr = m.ctrZup;
    const float minY = m.minPos.y, minZ = m.minZup.z;
    // Moved and measured again in one pass, in the order SetMaxMinsM takes.
    const std::vector<Run> runs = vertexRuns(m, -1);
    const Measured measured(m, runs);
    storeExtents(diag, m, sweep(m, runs, measured, [&](Vec3& pos, Vec3& zup) {
                     pos.x = toFloat(double(pos.x) - ctr.x);
                     pos.z = toFloat(double(pos.z) - ctr.z);
                     pos.y = toFloat(baseFlag ? double(base) + pos.y - minY : double(pos.y) - ctr.y);
                     zup.x = toFloat(double(zup.x) - zctr.x);
                     zup.y = toFloat(double(zup.y) - zctr.y);
                     zup.z = toFloat(baseFlag ? double(base) + zup.z - minZ : double(zup.z) - zctr.z);
                 }));
    m.modelCentred = true;
}

std::optional<double> ScaleModel(Diagnostics& diag, ModelStore& m, double span, double current,
                                 const std::array<bool, 3>& flag, const std::string& spanText) {
    m.maxSpan = static_cast<float>(std::min(current, double(FLT_MAX)));
    const double factor = span / current;

    // pos y (up) is zup_pos z (height) and pos z (back) is zup_pos y (depth).
    static constexpr int kZupAxis[3] = {0, 2, 1};
    // Far from the origin a float cannot resolve the scaled model about its
    // old centre (0..1e9 scaled to 100 would come out 128 wide, 0..1e10 a
    // point): such a direction is centred on 0 as it is scaled.
    Vec3 ctr = m.ctrPos, zctr = m.ctrZup;
    Vec3 to = ctr, zto = zctr;
    bool recentred = false;
    for (int k = 0; k < 3; ++k) {
        const int zk = kZupAxis[k];
        if (!flag[k] || (std::fabs(double(ctr[k])) <= kFarCentre * span &&
                         std::fabs(double(zctr[zk])) <= kFarCentre * span))
            continue;
        to[k] = 0;
        zto[zk] = 0;
        recentred = true;
    }
    bool fits = std::isfinite(factor);
    for (int k = 0; k < 3 && fits; ++k) {
        if (!flag[k]) continue;
        const int zk = kZupAxis[k];
        fits = fitsFloat((double(m.minPos[k]) - ctr[k]) * factor + to[k]) &&
               fitsFloat((double(m.maxPos[k]) - ctr[k]) * factor + to[k]) &&
               fitsFloat((double(m.minZup[zk]) - zctr[zk]) * factor + zto[zk]) &&
               fitsFloat((double(m.maxZup[zk]) - zctr[zk]) * factor + zto[zk]);
    }
    if (!fits) {
        diag.msgBox("Span " + spanText + " is too large for this model: the coordinates would overflow");
        return std::nullopt;
    }
    if (recentred)
        diag.logMsg("Centred while scaling: the model lies too far from the origin for its new size", 0);

    // Scaled and measured again in one pass, as CentreModel does.
    const std::vector<Run> runs = vertexRuns(m, -1);
    const Measured measured(m, runs);
    storeExtents(diag, m, sweep(m, runs, measured, [&](Vec3& pos, Vec3& zup) {
                     for (int k = 0; k < 3; ++k) {
                         if (!flag[k]) continue;
                         const int zk = kZupAxis[k];
                         pos[k] = toFloat((double(pos[k]) - ctr[k]) * factor + to[k]);
                         zup[zk] = toFloat((double(zup[zk]) - zctr[zk]) * factor + zto[zk]);
                     }
                 }));
    return factor;
}

std::string ExtentsText(const ModelStore& m, bool crlf) {
    const char* br = crlf ? "\r\n" : "\r";
    return extentsLine("avg", m.ctrPos) + br + extentsLine("min", m.minPos) + br + extentsLine("max", m.maxPos) +
           br + extentsLine("Span", m.spanPos);
}

}  // namespace molv
