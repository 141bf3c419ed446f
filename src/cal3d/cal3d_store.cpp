#include "cal3d/cal3d_store.h"

#include <cstdint>
#include <utility>

#include "model/store.h"
#include "model/store_fill.h"

namespace molv {

std::int32_t addSubmeshGroup(StoreFill& fill, std::int32_t mt, std::int32_t nf, std::int32_t maps, std::int32_t lod,
                             std::int32_t springs) {
    ModelStore& m = fill.model();
    const std::int32_t g = fill.AddFaceGroup(false, -1, m.ttlnum_Faces);
    FaceGroup& fg = m.groupAt(g);
    fg.MtlID = mt;
    fg.num_maps = maps;
    fg.num_lod_steps = lod;
    fg.num_springs = springs;
    fg.FgFaces.assign(static_cast<std::size_t>(nf) + 1, 0);
    fg.FgGlblFaces.assign(static_cast<std::size_t>(nf) + 1, 0);
    if (mt >= 0 && mt < m.nMaterials) {
        Material& mat = m.materialAt(mt);
        if (mat.use_count < INT16_MAX) mat.use_count += 1;
    }
    return g;
}

void storeMaterial(ModelStore& m, std::int32_t n, Material&& mt) {
    if (m.nMaterials < n + 1) m.nMaterials = n + 1;
    if (m.Materials.size() < static_cast<std::size_t>(m.nMaterials) + 1)
        m.Materials.resize(static_cast<std::size_t>(m.nMaterials) + 1);
    mt.use_count = m.materialAt(n).use_count;
    m.materialAt(n) = std::move(mt);
}

}  // namespace molv
