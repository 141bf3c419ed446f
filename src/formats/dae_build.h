// Collada reader, build half: resolves the parsed document's references
// (effects to materials, instances to geometries and nodes, material
// symbols to materials), walks the visual scene and fills the model store.
#pragma once
#include <cstdint>

#include "core/read_result.h"
#include "formats/dae_parse.h"

namespace molv {
class StoreFill;

namespace dae {

// What the scene walk will follow. Instancing lets a small document ask for
// any amount of work or geometry; past these the document is refused.
constexpr int kMaxNodeDepth = 256;                     // nested and instanced nodes
constexpr std::int64_t kMaxPlacements = 30000;         // geometry instances in the scene
constexpr std::int64_t kMaxSceneSteps = 2000000;       // nodes and instances visited by the walk
constexpr std::int64_t kMaxPlacedVertices = 10000000;  // positions of all placed geometries
constexpr std::int64_t kMaxPlacedTriangles = 20000000;  // triangles of all placed geometries, at most
constexpr std::int64_t kMaxPlacedGroups = 200000;       // primitives of all placed geometries (face groups)
constexpr std::int64_t kMaxFaces = 200000000;          // triangles in the store

ReadResult buildModel(Io& io, Doc& doc, StoreFill& fill);

}  // namespace dae
}  // namespace molv
