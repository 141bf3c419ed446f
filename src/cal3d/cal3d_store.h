// What the Cal3D readers, binary and XML, put into the store alike: the
// face group of a submesh and a material read from its own file.
#pragma once
#include <cstdint>

namespace molv {

class ModelStore;
class StoreFill;
struct Material;

// Limits of a submesh's counts and of a material's number, as the Cal3D
// library keeps them.
inline constexpr std::int32_t kMaxLodSteps = 1000;
inline constexpr std::int32_t kMaxUvSets = 10;
inline constexpr std::int32_t kMaxInfluences = 100;
inline constexpr std::int32_t kMaxMaterialNumber = 4095;

// The face group of a submesh of nf faces, numbered on from the store's
// faces: material thread mt (its material counted as used when it names
// one read), maps texture coordinate sets, lod steps and springs. Returns
// the group's index.
std::int32_t addSubmeshGroup(StoreFill& fill, std::int32_t mt, std::int32_t nf, std::int32_t maps, std::int32_t lod,
                             std::int32_t springs);

// Material n in place of what the store holds there, keeping its use count.
void storeMaterial(ModelStore& m, std::int32_t n, Material&& mt);

}  // namespace molv
