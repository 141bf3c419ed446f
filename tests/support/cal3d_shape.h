// The shape of a written mesh as the real Cal3D library reads it: every
// triangle of every submesh with its corner positions (Cal3D's axes, z up),
// and the measures the shape tests compare with the source's outline.
#pragma once
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "support/cal3d_check.h"

namespace molv::test {

struct Cal3dShape {
    using P = std::array<double, 3>;
    bool loaded = false;
    std::string error;
    std::vector<std::array<P, 3>> triangles;

    // Twice the triangle's area, along its normal.
    static P normal(const std::array<P, 3>& t) {
        const P a{t[1][0] - t[0][0], t[1][1] - t[0][1], t[1][2] - t[0][2]};
        const P b{t[2][0] - t[0][0], t[2][1] - t[0][1], t[2][2] - t[0][2]};
        return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    }
    // Sum of the triangles' areas, each counted positive.
    double area() const {
        double sum = 0;
        for (const auto& t : triangles) {
            const P n = normal(t);
            sum += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2;
        }
        return sum;
    }
    // Smallest and largest coordinate per axis over the triangles' corners.
    P min() const { return bound(1e300, [](double a, double b) { return std::min(a, b); }); }
    P max() const { return bound(-1e300, [](double a, double b) { return std::max(a, b); }); }
    template <class Pick>
    P bound(double start, Pick pick) const {
        P m{start, start, start};
        for (const auto& t : triangles)
            for (const P& p : t)
                for (std::size_t k = 0; k < 3; ++k) m[k] = pick(m[k], p[k]);
        return m;
    }
    // Whether every triangle faces the way of `want` (or has no area).
    bool allFace(const P& want) const {
        return std::all_of(triangles.begin(), triangles.end(), [&](const auto& t) {
            const P n = normal(t);
            return n[0] * want[0] + n[1] * want[1] + n[2] * want[2] >= 0;
        });
    }
};

// Loads outBase + ".csf" and outBase + ".cmf" with Cal3D.
inline Cal3dShape loadCal3dShape(const std::string& outBase) {
    Cal3dShape s;
    Cal3dMeshData mesh;
    if (!loadCal3dMesh(outBase + ".cmf", outBase + ".csf", mesh, s.error)) return s;
    for (const Cal3dSubmeshData& sm : mesh)
        for (const auto& f : sm.faces) {
            std::array<Cal3dShape::P, 3> t;
            for (std::size_t k = 0; k < 3; ++k) {
                const auto v = static_cast<std::size_t>(f[k]);
                if (v >= sm.vertices.size()) {
                    s.error = "a face names a vertex outside its submesh";
                    return s;
                }
                const float* p = sm.vertices[v].pos;
                t[k] = {p[0], p[1], p[2]};
            }
            s.triangles.push_back(t);
        }
    s.loaded = true;
    return s;
}

}  // namespace molv::test
