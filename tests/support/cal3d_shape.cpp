#include "support/cal3d_shape.h"

#include <algorithm>
#include <cmath>

#ifdef MOLV_HAVE_CAL3D
#include <cal3d/cal3d.h>
#endif

#if defined(__GNUC__)
#define MOLV_NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))
#else
#define MOLV_NO_VPTR_CHECK
#endif

namespace molv::test {

namespace {
using P = std::array<double, 3>;
P sub(const P& a, const P& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
P cross(const P& a, const P& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
}  // namespace

double Cal3dShape::area() const {
    double sum = 0;
    for (const auto& t : triangles) {
        const P n = cross(sub(t[1], t[0]), sub(t[2], t[0]));
        sum += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2;
    }
    return sum;
}

std::array<double, 3> Cal3dShape::min() const {
    P m{1e300, 1e300, 1e300};
    for (const auto& t : triangles)
        for (const P& p : t)
            for (int k = 0; k < 3; ++k) m[k] = std::min(m[k], p[k]);
    return m;
}

std::array<double, 3> Cal3dShape::max() const {
    P m{-1e300, -1e300, -1e300};
    for (const auto& t : triangles)
        for (const P& p : t)
            for (int k = 0; k < 3; ++k) m[k] = std::max(m[k], p[k]);
    return m;
}

bool Cal3dShape::allFace(const std::array<double, 3>& normal) const {
    for (const auto& t : triangles) {
        const P n = cross(sub(t[1], t[0]), sub(t[2], t[0]));
        if (n[0] * normal[0] + n[1] * normal[1] + n[2] * normal[2] < 0) return false;
    }
    return true;
}

MOLV_NO_VPTR_CHECK Cal3dShape loadCal3dShape(const std::string& outBase) {
    Cal3dShape s;
#ifndef MOLV_HAVE_CAL3D
    (void)outBase;
    s.error = "built without Cal3D";
#else
    CalCoreModel model("molv-shape");
    if (!model.loadCoreSkeleton(outBase + ".csf")) {
        s.error = "loadCoreSkeleton: " + CalError::getLastErrorDescription();
        return s;
    }
    const int id = model.loadCoreMesh(outBase + ".cmf");
    CalCoreMesh* mesh = id >= 0 ? model.getCoreMesh(id) : nullptr;
    if (!mesh) {
        s.error = "loadCoreMesh: " + CalError::getLastErrorDescription();
        return s;
    }
    for (int i = 0; i < mesh->getCoreSubmeshCount(); ++i) {
        CalCoreSubmesh* sm = mesh->getCoreSubmesh(i);
        if (!sm) continue;
        s.threadIds.push_back(sm->getCoreMaterialThreadId());
        const auto& vs = sm->getVectorVertex();
        for (const auto& f : sm->getVectorFace()) {
            std::array<P, 3> t;
            for (int k = 0; k < 3; ++k) {
                const auto v = static_cast<std::size_t>(f.vertexId[k]);
                if (v >= vs.size()) {
                    s.error = "a face names a vertex outside its submesh";
                    return s;
                }
                t[static_cast<std::size_t>(k)] = {vs[v].position.x, vs[v].position.y, vs[v].position.z};
            }
            s.triangles.push_back(t);
        }
    }
    s.loaded = true;
#endif
    return s;
}

}  // namespace molv::test
