// Vertex normals recomputed from the faces.
#pragma once
#include <cstdint>

#include "model/vec3.h"

namespace molv {

class ModelStore;

// Recomputes Normals for all vertices: per vertex the normalised sum of the
// unnormalised normals of the faces that use it (larger faces weigh more).
void calcVertexNormals(ModelStore& model);
// (b - a) x (c - a) for the corners a, b, c of one face; zero for a face or
// corner that does not exist.
Vec3 faceNormal(const ModelStore& model, std::int32_t face);

}  // namespace molv
