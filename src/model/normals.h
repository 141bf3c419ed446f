// Vertex normals: computed from the faces, or taken from the source.
#pragma once
#include <cstdint>

#include "model/vec3.h"

namespace molv {

class Diagnostics;
class ModelStore;

// Recomputes Normals for all vertices: per vertex the normalised sum of the
// unnormalised normals of the faces that use it (larger faces weigh more).
void calcVertexNormals(Diagnostics& diag, ModelStore& model);
// (b - a) x (c - a) for the corners a, b, c of one face; zero for a face or
// corner that does not exist.
Vec3 faceNormal(const ModelStore& model, std::int32_t face);

struct NormalChoice {
    bool keepOwn = true;  // corner normals the source gave are written as they are
    bool recalc = true;   // per-vertex normals of a Cal3D source are recomputed (unless kept)
};

// Gives every face corner its normal and then every vertex the normal of
// its corners, copying a vertex whose corners differ (a hard edge). A
// corner takes the source's normal when it has one and keepOwn is set;
// otherwise the normalised sum of the unit normals, each times its angle
// there, of the faces at the same position of the same mesh (and, without
// smoothing groups, material) that belong to its smooth surface: faces
// sharing a 3DS smoothing group, faces whose corners there carry the same
// source normal, else all of them. Copies made at texture seams thus get
// equal normals.
// Copies go right after their vertex, and the mesh ranges follow.
// Returns the number of vertices added.
std::int32_t resolveNormals(Diagnostics& diag, ModelStore& model, const NormalChoice& choice);

}  // namespace molv
