#include "model/transform.h"

#include <algorithm>

#include "model/store.h"

namespace molv {

namespace {
bool validMesh(const ModelStore& s, std::int32_t m) { return m >= 0 && m < s.meshCount; }

bool isTranslation(const Mesh& m) {
    return m.scale.x == 1 && m.scale.y == 1 && m.scale.z == 1 && m.rotation.x == 0 && m.rotation.y == 0 &&
           m.rotation.z == 0;
}
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
        const Mesh& m = store.meshAt(mesh);
        if (isTranslation(m)) {
            // The same double sum TransformPoint forms, without building
            // the matrix: long parent chains stay cheap.
            p = Vec3{static_cast<float>(static_cast<double>(p.x) + m.position.x),
                     static_cast<float>(static_cast<double>(p.y) + m.position.y),
                     static_cast<float>(static_cast<double>(p.z) + m.position.z)};
        } else {
            p = TransformPoint(p, MeshTransform(m));
        }
        mesh = m.parent;
    }
    return p;
}

void TransformMeshVertices(ModelStore& store, std::int32_t mesh, const Mat4& m) {
    if (!validMesh(store, mesh)) return;
    const Mesh& ms = store.meshAt(mesh);
    const std::int32_t first = std::max(ms.vtx_ndx_stt, 0);
    const std::int32_t last = std::min(ms.vtx_ndx_end, store.ttlnum_Vertices - 1);
    // The z-up twins stay where the reader put them.
    if (first <= last) store.keepZupApart();
    for (std::int32_t i = first; i <= last; ++i) {
        Vertex& v = store.vertexAt(i);
        v.pos = TransformPoint(v.pos, m);
    }
}

void MoveMeshOrigin(ModelStore& store, std::int32_t mesh, const Vec3& origin) {
    if (!validMesh(store, mesh)) return;
    Mesh& ms = store.meshAt(mesh);
    const Vec3 d = VecSub(ms.position, origin);
    TransformMeshVertices(store, mesh, MatTranslate(d));
    ms.position = origin;
}

bool MeshHasAncestor(const ModelStore& store, std::int32_t from, std::int32_t target) {
    for (std::int32_t steps = 0; validMesh(store, from) && steps <= store.meshCount; ++steps) {
        if (from == target) return true;
        from = store.meshAt(from).parent;
    }
    return false;
}

bool SetMeshParent(ModelStore& store, std::int32_t mesh, std::int32_t parent) {
    if (!validMesh(store, mesh) || !validMesh(store, parent)) return false;
    if (MeshHasAncestor(store, parent, mesh)) return false;
    Mesh& ms = store.meshAt(mesh);
    ms.parent = static_cast<std::int16_t>(parent);
    ms.position = VecSub(ms.position, MeshWorldOrigin(store, parent));
    return true;
}

std::vector<bool> SetMeshParents(ModelStore& store, const std::vector<MeshLink>& links) {
    std::vector<bool> made(links.size(), false);
    const auto n = static_cast<std::size_t>(std::max(store.meshCount, 0));
    bool fast = true;
    for (std::size_t i = 0; i < n && fast; ++i)
        fast = store.Meshes[i].parent == -1 && isTranslation(store.Meshes[i]);
    std::vector<std::uint8_t> child(n, 0);
    for (std::size_t k = 0; k < links.size() && fast; ++k) {
        const MeshLink& l = links[k];
        if (!validMesh(store, l.mesh) || !validMesh(store, l.parent)) continue;
        auto& c = child[static_cast<std::size_t>(l.mesh)];
        fast = c == 0;
        c = 1;
    }
    if (!fast) {
        for (std::size_t k = 0; k < links.size(); ++k) made[k] = SetMeshParent(store, links[k].mesh, links[k].parent);
        return made;
    }
    // Every mesh starts as a root, so its world origin is its position and
    // stays so as links are made (links only re-express positions). A
    // union-find over the growing trees answers "is the parent inside the
    // child's own tree", which is exactly when a link would close a cycle.
    std::vector<std::int32_t> root(n);
    for (std::size_t i = 0; i < n; ++i) root[i] = static_cast<std::int32_t>(i);
    auto find = [&](std::int32_t x) {
        std::int32_t r = x;
        while (root[static_cast<std::size_t>(r)] != r) r = root[static_cast<std::size_t>(r)];
        while (root[static_cast<std::size_t>(x)] != r) {
            std::int32_t up = root[static_cast<std::size_t>(x)];
            root[static_cast<std::size_t>(x)] = r;
            x = up;
        }
        return r;
    };
    std::vector<Vec3> origin(n);
    for (std::size_t i = 0; i < n; ++i) origin[i] = store.Meshes[i].position;
    for (std::size_t k = 0; k < links.size(); ++k) {
        const MeshLink& l = links[k];
        if (!validMesh(store, l.mesh) || !validMesh(store, l.parent)) continue;
        if (find(l.parent) == l.mesh) continue;  // the parent hangs below the child
        root[static_cast<std::size_t>(l.mesh)] = find(l.parent);
        Mesh& ms = store.meshAt(l.mesh);
        ms.parent = static_cast<std::int16_t>(l.parent);
        ms.position = VecSub(ms.position, origin[static_cast<std::size_t>(l.parent)]);
        made[k] = true;
    }
    return made;
}

}  // namespace molv
