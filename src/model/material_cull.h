// Leaving out the materials that no written submesh uses ("Auto-cull unused
// materials"): a library often defines more materials than the model's
// faces name, and a reader may synthesise a default that ends up unused.
#pragma once
#include <string>
#include <vector>

namespace molv {

class ModelStore;

// Removes from the store every material that no submesh of the mesh file
// uses (a submesh being a face group of a mesh with a usable face, as the
// mesh writer walks them), and numbers the rest 0 upwards in their order:
// material IDs and the face groups' material numbers follow, so the mesh's
// material threads, the material file names and the viewer configuration's
// material lines stay in step. Groups that give no submesh and named a
// removed material are left with material -1. Returns the removed names,
// in order.
std::vector<std::string> CullUnusedMaterials(ModelStore& model);

}  // namespace molv
