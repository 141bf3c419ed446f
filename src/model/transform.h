// Per-mesh transform: scale, rotation, position and a parent mesh. The 3DS
// reader uses it to make an object's vertices relative to the object's own
// origin and to record the keyframer's object hierarchy. Only vertex `pos`
// ever moves; writers use `pos` as it stands.
#pragma once
#include <cstdint>
#include <vector>

#include "model/vecmath.h"

namespace molv {

class ModelStore;
struct Mesh;

// T(m) = scale x rotate z x rotate x x rotate y x translate (row vectors).
Mat4 MeshTransform(const Mesh& mesh);

// Where the mesh's local origin lies after its own transform and those of
// all its ancestors. A parent index outside the store ends the walk, and the
// walk never takes more steps than there are meshes, so a broken or cyclic
// chain cannot hang it.
Vec3 MeshWorldOrigin(const ModelStore& store, std::int32_t mesh);

// pos = pos x M for every vertex of the mesh's vertex run.
void TransformMeshVertices(ModelStore& store, std::int32_t mesh, const Mat4& m);

// Moves the mesh's vertices by (position - origin) and records origin as the
// mesh's position.
void MoveMeshOrigin(ModelStore& store, std::int32_t mesh, const Vec3& origin);

// True when following parent links up from `from` reaches `target`
// (`from` itself included).
bool MeshHasAncestor(const ModelStore& store, std::int32_t from, std::int32_t target);

// Links mesh under parent and re-expresses its position relative to the
// parent's world origin; vertices do not move. Refused (false, nothing
// changed) when an index is outside the store or the link would close a
// cycle.
bool SetMeshParent(ModelStore& store, std::int32_t mesh, std::int32_t parent);

struct MeshLink {
    std::int32_t mesh = -1;
    std::int32_t parent = -1;
};

// SetMeshParent for each link in turn; the result tells which were made.
// When every mesh is still unlinked, its transform a pure translation and
// each mesh a child at most once (a reader's hierarchy), the links take
// linear time in all instead of a walk up the chain per link: a file with a
// chain of thousands of objects cannot stall the read. The positions then
// agree with the one-by-one result up to float rounding.
std::vector<bool> SetMeshParents(ModelStore& store, const std::vector<MeshLink>& links);

}  // namespace molv
