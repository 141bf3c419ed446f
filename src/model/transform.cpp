#include "model/transform.h"

#include <algorithm>

#include "model/store.h"

namespace molv {

namespace {
bool validMesh(const ModelStore& s, std::int32_t m) { return m >= 0 && m < s.meshCount; }
}  // namespace

Mat4 MeshTransform(const Mesh& mesh) {
    Mat4 t = MatScale(mesh.scale);
    t = MatMul(t, MatRotate(3, mesh.rotation[0]));
    t = MatMul(t, MatRotate(1, mesh.rotation[1]));
    t = MatMul(t, MatRotate(2, mesh.rotation[2]));
    return MatMul(t, MatTranslate(mesh.position));
}

Vec3 MeshWorldOrigin(const ModelStore& store, std::int32_t mesh) {
    Vec3 p = ZeroVec();
    for (std::int32_t steps = 0; validMesh(store, mesh) && steps < store.meshCount; ++steps) {
        const Mesh& m = store.Meshes[static_cast<std::size_t>(mesh)];
        p = TransformPoint(p, MeshTransform(m));
        mesh = m.parent;
    }
    return p;
}

void TransformMeshVertices(ModelStore& store, std::int32_t mesh, const Mat4& m) {
    if (!validMesh(store, mesh)) return;
    const Mesh& ms = store.Meshes[static_cast<std::size_t>(mesh)];
    const std::int32_t first = std::max(ms.vtx_ndx_stt, 0);
    const std::int32_t last = std::min(ms.vtx_ndx_end, store.ttlnum_Vertices - 1);
    for (std::int32_t i = first; i <= last; ++i) {
        Vertex& v = store.Vertices[static_cast<std::size_t>(i)];
        v.pos = TransformPoint(v.pos, m);
    }
}

void MoveMeshOrigin(ModelStore& store, std::int32_t mesh, const Vec3& origin) {
    if (!validMesh(store, mesh)) return;
    Mesh& ms = store.Meshes[static_cast<std::size_t>(mesh)];
    const Vec3 d = VecSub(ms.position, origin);
    TransformMeshVertices(store, mesh, MatTranslate(d));
    ms.position = origin;
}

bool MeshHasAncestor(const ModelStore& store, std::int32_t from, std::int32_t target) {
    for (std::int32_t steps = 0; validMesh(store, from) && steps <= store.meshCount; ++steps) {
        if (from == target) return true;
        from = store.Meshes[static_cast<std::size_t>(from)].parent;
    }
    return false;
}

bool SetMeshParent(ModelStore& store, std::int32_t mesh, std::int32_t parent) {
    if (!validMesh(store, mesh) || !validMesh(store, parent)) return false;
    if (MeshHasAncestor(store, parent, mesh)) return false;
    Mesh& ms = store.Meshes[static_cast<std::size_t>(mesh)];
    ms.parent = static_cast<std::int16_t>(parent);
    ms.position = VecSub(ms.position, MeshWorldOrigin(store, parent));
    return true;
}

}  // namespace molv
