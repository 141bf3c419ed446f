#include "model/group_numbering.h"

#include <algorithm>

#include "model/store.h"

namespace molv {

void GroupVertexNumbering::collect(const ModelStore& m, std::int32_t g) {
    const std::size_t nV = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.ttlnum_Vertices)),
                                                 m.Vertices.size());
    if (local_.size() != nV) {
        local_.assign(nV, -1);
    } else {
        for (std::int32_t v : verts_) local_[static_cast<std::size_t>(v)] = -1;
    }
    verts_.clear();
    faces_.clear();
    skipped_ = 0;
    if (g < 0 || g >= m.nFaceGrps || static_cast<std::size_t>(g) >= m.FaceGrps.size()) return;

    const FaceGroup& fg = m.groupAt(g);
    const std::size_t listed = static_cast<std::size_t>(std::max(0, fg.nFcs));
    const std::size_t n = std::min(listed, fg.FgGlblFaces.size());
    skipped_ = static_cast<std::int32_t>(listed - n);
    const std::size_t nF = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.ttlnum_Faces)), m.VFaces.size());
    std::int32_t lo = 0, hi = -1;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t f = fg.FgGlblFaces[i];
        if (f < 0 || static_cast<std::size_t>(f) >= nF) {
            ++skipped_;
            continue;
        }
        const Face& face = m.faceAt(f);
        bool good = true;
        for (std::int32_t v : face.vtx)
            if (v < 0 || static_cast<std::size_t>(v) >= nV) good = false;
        if (!good) {
            ++skipped_;
            continue;
        }
        faces_.push_back(f);
        for (std::int32_t v : face.vtx) {
            std::int32_t& l = local_[static_cast<std::size_t>(v)];
            if (l != -1) continue;
            l = 0;  // seen; numbered below
            if (verts_.empty()) lo = hi = v;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            verts_.push_back(v);
        }
    }
    // Ascending store order: a dense range is cheapest to scan, a sparse one
    // (a group spread over a large store) to sort.
    const std::size_t range = static_cast<std::size_t>(hi - lo + 1);
    if (!verts_.empty() && range <= 4 * verts_.size() + 1024) {
        verts_.clear();
        for (std::int32_t v = lo; v <= hi; ++v)
            if (local_[static_cast<std::size_t>(v)] != -1) verts_.push_back(v);
    } else {
        std::sort(verts_.begin(), verts_.end());
    }
    for (std::size_t k = 0; k < verts_.size(); ++k) local_[static_cast<std::size_t>(verts_[k])] = static_cast<std::int32_t>(k);
}

bool groupHasUsableFace(const ModelStore& m, std::int32_t g) {
    if (g < 0 || g >= m.nFaceGrps || static_cast<std::size_t>(g) >= m.FaceGrps.size()) return false;
    const std::size_t nV = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.ttlnum_Vertices)),
                                                 m.Vertices.size());
    const std::size_t nF = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.ttlnum_Faces)), m.VFaces.size());
    const FaceGroup& fg = m.groupAt(g);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(0, fg.nFcs)), fg.FgGlblFaces.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t f = fg.FgGlblFaces[i];
        if (f < 0 || static_cast<std::size_t>(f) >= nF) continue;
        bool good = true;
        for (std::int32_t v : m.faceAt(f).vtx)
            good = good && v >= 0 && static_cast<std::size_t>(v) < nV;
        if (good) return true;
    }
    return false;
}

}  // namespace molv
