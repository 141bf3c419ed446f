#include "model/material_cull.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "model/group_numbering.h"
#include "model/store.h"

namespace molv {

std::vector<std::string> CullUnusedMaterials(ModelStore& m) {
    const std::int32_t nMat = std::min<std::int32_t>(m.nMaterials, static_cast<std::int32_t>(m.Materials.size()));
    std::vector<std::string> removed;
    if (nMat <= 0) return removed;

    std::vector<char> used(static_cast<std::size_t>(nMat), 0);
    const std::int32_t nMeshes = std::min<std::int32_t>(m.meshCount, static_cast<std::int32_t>(m.Meshes.size()));
    for (std::int32_t mi = 0; mi < nMeshes; ++mi) {
        const Mesh& mesh = m.meshAt(mi);
        const std::int32_t last = std::min(mesh.face_grp_ndx_end, m.nFaceGrps - 1);
        for (std::int32_t g = std::max(0, mesh.face_grp_ndx_stt); g <= last; ++g) {
            const FaceGroup& fg = m.groupAt(g);
            if (fg.MtlID < 0 || fg.MtlID >= nMat || used[static_cast<std::size_t>(fg.MtlID)]) continue;
            if (fg.nFcs > 0 && groupHasUsableFace(m, g)) used[static_cast<std::size_t>(fg.MtlID)] = 1;
        }
    }

    std::vector<std::int32_t> renumber(static_cast<std::size_t>(nMat), -1);
    std::int32_t kept = 0;
    for (std::int32_t i = 0; i < nMat; ++i) {
        Material& mt = m.materialAt(i);
        if (!used[static_cast<std::size_t>(i)]) {
            removed.push_back(mt.name);
            continue;
        }
        renumber[static_cast<std::size_t>(i)] = kept;
        if (kept != i) m.materialAt(kept) = std::move(mt);
        m.materialAt(kept).id = kept;
        ++kept;
    }
    if (removed.empty()) return removed;

    // The spare record past the last one stays zeroed, as the store keeps it.
    m.Materials.resize(static_cast<std::size_t>(kept) + 1);
    m.materialAt(kept) = Material{};
    m.nMaterials = kept;
    const std::int32_t nGroups = std::min<std::int32_t>(m.nFaceGrps, static_cast<std::int32_t>(m.FaceGrps.size()));
    for (std::int32_t g = 0; g < nGroups; ++g) {
        FaceGroup& fg = m.groupAt(g);
        if (fg.MtlID >= 0 && fg.MtlID < nMat) fg.MtlID = renumber[static_cast<std::size_t>(fg.MtlID)];
    }
    return removed;
}

}  // namespace molv
