#include "model/normals.h"

#include <algorithm>
#include <cmath>

#include "core/diagnostics.h"
#include "model/store.h"

namespace molv {

Vec3 faceNormal(const ModelStore& m, std::int32_t face) {
    if (face < 0 || face >= m.ttlnum_Faces || static_cast<std::size_t>(face) >= m.VFaces.size()) return {};
    const Face& f = m.VFaces[static_cast<std::size_t>(face)];
    const std::size_t nV = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.ttlnum_Vertices)), m.Vertices.size());
    for (std::int32_t v : f.vtx)
        if (v < 0 || static_cast<std::size_t>(v) >= nV) return {};
    const Vec3& a = m.Vertices[static_cast<std::size_t>(f.vtx[0])].pos;
    const Vec3& b = m.Vertices[static_cast<std::size_t>(f.vtx[1])].pos;
    const Vec3& c = m.Vertices[static_cast<std::size_t>(f.vtx[2])].pos;
    const float ax = b.x - a.x, ay = b.y - a.y, az = b.z - a.z;
    const float bx = c.x - a.x, by = c.y - a.y, bz = c.z - a.z;
    return Vec3{ay * bz - az * by, -(ax * bz - az * bx), ax * by - ay * bx};
}

void calcVertexNormals(ModelStore& m) {
    m.diag().logMsg("Calculating Vertex Normals", 1);
    const std::int32_t nV = std::max(0, m.ttlnum_Vertices);
    m.num_Normals = nV;
    m.growVertices(static_cast<std::size_t>(nV) + 1);
    std::fill(m.Normals.begin(), m.Normals.end(), Vec3{});
    for (std::int32_t f = 0; f < m.ttlnum_Faces; ++f) {
        const Vec3 n = faceNormal(m, f);
        if (n == Vec3{}) continue;  // also a face naming a missing vertex
        for (std::int32_t v : m.VFaces[static_cast<std::size_t>(f)].vtx) {
            Vec3& t = m.Normals[static_cast<std::size_t>(v)];
            t.x += n.x;
            t.y += n.y;
            t.z += n.z;
        }
    }
    for (std::int32_t v = 0; v < nV; ++v) {
        Vec3& t = m.Normals[static_cast<std::size_t>(v)];
        const double len = std::sqrt(static_cast<double>(t.x) * t.x + static_cast<double>(t.y) * t.y +
                                     static_cast<double>(t.z) * t.z);
        if (len != 0) {
            t.x = static_cast<float>(t.x / len);
            t.y = static_cast<float>(t.y / len);
            t.z = static_cast<float>(t.z / len);
        }
    }
    m.diag().logMsg("Vertex Normals Done", 1);
}

}  // namespace molv
