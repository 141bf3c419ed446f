#include "model/checks.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/extents.h"
#include "model/vecmath.h"
#include "core/diagnostics.h"
#include "model/store.h"
#include "util/numfmt.h"

namespace molv {

namespace {


std::string colourText(const Colour& c) {
    return ":" + hexOf(c.r, 2) + ":" + hexOf(c.g, 2) + ":" + hexOf(c.b, 2) + ":" + hexOf(c.a, 2);
}

// Index range [first, end) of a run clipped to what exists.
struct Span {
    std::int64_t first, end;
};
Span clip(std::int64_t first, std::int64_t last, std::int64_t limit) {
    return Span{std::max<std::int64_t>(first, 0), std::min<std::int64_t>(last + 1, limit)};
}

Span meshSpan(const ModelStore& m) {
    return clip(m.meshRange.first, m.meshRange.last, static_cast<std::int64_t>(m.Meshes.size()));
}

Span groupSpan(const ModelStore& m, const Mesh& mesh) {
    return clip(mesh.face_grp_ndx_stt, mesh.face_grp_ndx_end,
                std::min<std::int64_t>(m.nFaceGrps, static_cast<std::int64_t>(m.FaceGrps.size())));
}

}  // namespace

namespace {

std::string finiteText(float v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    return numText(v);
}

std::string tripleText(const Vec3& v) {
    return "(" + finiteText(v.x) + ", " + finiteText(v.y) + ", " + finiteText(v.z) + ")";
}

bool finite3(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

std::string nonFiniteText(const ModelStore& m) {
    const std::size_t nV =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(m.ttlnum_Vertices, 0)), m.Vertices.size());
    for (std::size_t mi = 0; mi < m.Meshes.size(); ++mi) {
        const Mesh& mesh = m.Meshes[mi];
        const std::int64_t b = std::max<std::int64_t>(mesh.vtx_ndx_stt, 0);
        const std::int64_t e = std::min<std::int64_t>(std::int64_t{mesh.vtx_ndx_end} + 1, static_cast<std::int64_t>(nV));
        for (std::int64_t i = b; i < e; ++i) {
            const Vertex& v = m.vertexAt(i);
            std::string what;
            if (!finite3(v.pos))
                what = "position " + tripleText(v.pos);
            else if (const Vec3 z = m.zupOf(i); !finite3(z))
                what = "position " + tripleText(z);
            for (std::size_t k = 0; what.empty() && k < v.UVs.size(); ++k)
                if (!std::isfinite(v.UVs[k].u) || !std::isfinite(v.UVs[k].v))
                    what = "UV (" + finiteText(v.UVs[k].u) + ", " + finiteText(v.UVs[k].v) + ")";
            for (const Influence& in : m.skinOf(static_cast<std::int32_t>(i)).Influences)
                if (what.empty() && !std::isfinite(in.weight)) what = "weight " + finiteText(in.weight);
            if (!what.empty())
                return "vertex " + std::to_string(i - b) + " of mesh \"" + mesh.name + "\": " + what;
        }
    }
    return {};
}

std::string storeFault(const ModelStore& m) {
    auto fits = [](std::int64_t n, std::size_t size) { return n >= 0 && static_cast<std::size_t>(n) <= size; };
    if (!fits(m.ttlnum_Vertices, m.Vertices.size()) || !fits(m.ttlnum_Faces, m.VFaces.size()) ||
        !fits(m.nFaceGrps, m.FaceGrps.size()) || !fits(m.nMaterials, m.Materials.size()) ||
        !fits(m.meshCount, m.Meshes.size()))
        return "a counter runs past its array";
    for (std::int32_t f = 0; f < m.ttlnum_Faces; ++f)
        for (std::int32_t v : m.faceAt(f).vtx)
            if (v < 0 || v >= m.ttlnum_Vertices)
                return "face " + std::to_string(f) + " names vertex " + std::to_string(v) + " of " +
                       std::to_string(m.ttlnum_Vertices);
    std::vector<std::uint8_t> uses(static_cast<std::size_t>(m.ttlnum_Faces), 0);
    for (std::int32_t g = 0; g < m.nFaceGrps; ++g) {
        const FaceGroup& fg = m.groupAt(g);
        const std::string group = "face group " + std::to_string(g);
        if (fg.nFcs > 0 && m.nMaterials > 0 && (fg.MtlID < 0 || fg.MtlID >= m.nMaterials))
            return group + " names material " + std::to_string(fg.MtlID) + " of " + std::to_string(m.nMaterials);
        if (!fits(fg.nFcs, fg.FgGlblFaces.size())) return group + " counts more faces than it lists";
        for (std::int32_t i = 0; i < fg.nFcs; ++i) {
            const std::int32_t f = fg.FgGlblFaces[static_cast<std::size_t>(i)];
            if (f < 0 || f >= m.ttlnum_Faces) return group + " lists face " + std::to_string(f);
            if (++uses[static_cast<std::size_t>(f)] > 1) return "face " + std::to_string(f) + " is in two groups";
            for (std::int32_t v : m.faceAt(f).vtx)
                if (static_cast<std::int32_t>(m.vertexAt(v).UVs.size()) < fg.num_maps)
                    return "vertex " + std::to_string(v) + " of textured " + group + " lacks UVs";
        }
    }
    for (std::size_t f = 0; f < uses.size(); ++f)
        if (uses[f] == 0) return "face " + std::to_string(f) + " is in no group";
    for (std::int32_t i = 0; i < m.meshCount; ++i) {
        const std::int32_t p = m.meshAt(i).parent;
        if (p < -1 || p >= m.meshCount) return "mesh " + std::to_string(i) + " has parent " + std::to_string(p);
    }
    return {};
}

void ReportFaceError(Diagnostics& diag, const ModelStore& m, const std::string& message, std::int32_t mesh, std::int32_t face,
                     std::int32_t count, std::int32_t group) {
    const bool meshOk = m.validMesh(mesh);
    const bool groupOk = group >= 0 && group < m.nFaceGrps && static_cast<std::size_t>(group) < m.FaceGrps.size();
    const FaceGroup* g = groupOk ? &m.groupAt(group) : nullptr;
    std::string text = message + "\r\nVFace# " + std::to_string(face) + " (FG-Face# " + std::to_string(count) +
                       ", face_ndx_stt " +
                       (meshOk ? std::to_string(m.meshAt(mesh).face_ndx_stt) : "?") +
                       ", Facegrp# " + std::to_string(group) + " (GlblFgID " +
                       (g ? std::to_string(g->gFgID) : "?") + "), Mesh# " + std::to_string(mesh) +
                       "\r\nFaces in FG = " + (g ? std::to_string(g->nFcs) : "?") +
                       ", Matl-ID=" + (g ? std::to_string(g->MtlID) : "?") +
                       ", Matl-symbol=" + (g ? g->MatlSymbol : "");
    diag.logFileIfDebug(text);
    diag.msgBox(text);
}

void ReportBadFaceSummary(Diagnostics& diag, const ModelStore& m) {
    if (m.badFaceReports > 0)
        diag.recordWarning(std::to_string(m.badFaceReports) + (m.badFaceReports == 1 ? " face names" : " faces name") +
                           " vertices that do not exist");
    if (m.badFaceReports > 1) {
        const std::string t = std::to_string(m.badFaceReports) +
                              " faces name vertices that do not exist; only the first was shown";
        diag.logMsg(t);
        diag.logFileIfDebug(t);
    }
    if (m.badGroupFaceReports > 1) {
        const std::string t = std::to_string(m.badGroupFaceReports) +
                              " face group members name faces that do not exist; only the first was shown";
        diag.logMsg(t);
        diag.logFileIfDebug(t);
    }
}

CheckResult CheckModel(Diagnostics& diag, const ModelStore& m) {
    CheckResult r;
    // The spare element after the last vertex is counted too.
    const std::int64_t markEnd =
        std::min<std::int64_t>(std::int64_t{std::max(m.ttlnum_Vertices, 0)} + 1, static_cast<std::int64_t>(m.Vertices.size()));
    std::vector<char> used(static_cast<std::size_t>(markEnd), 0);

    const std::int64_t nFaces = std::min<std::int64_t>(m.ttlnum_Faces, static_cast<std::int64_t>(m.VFaces.size()));
    const std::int64_t nVerts = std::min<std::int64_t>(m.ttlnum_Vertices, static_cast<std::int64_t>(m.Vertices.size()));
    const Span meshes = meshSpan(m);
    for (std::int64_t i = meshes.first; i < meshes.end; ++i) {
        const Mesh& mesh = m.meshAt(i);
        const std::int64_t b = mesh.face_ndx_stt;
        const Span groups = groupSpan(m, mesh);
        for (std::int64_t gi = groups.first; gi < groups.end; ++gi) {
            const FaceGroup& g = m.groupAt(gi);
            const std::int64_t members =
                std::min<std::int64_t>(g.nFcs, static_cast<std::int64_t>(g.FgFaces.size()));
            for (std::int64_t k = 0; k < members; ++k) {
                const std::int64_t f = g.FgFaces[static_cast<std::size_t>(k)] + b;
                if (f < 0 || f >= nFaces) {
                    if (r.badFaces++ == 0) {
                        ReportFaceError(diag, m,
                                        "Face# " + std::to_string(f) + " in facegroup exceeds ttlnum_Faces  " +
                                            std::to_string(m.ttlnum_Faces),
                                        static_cast<std::int32_t>(i), static_cast<std::int32_t>(f),
                                        static_cast<std::int32_t>(k), static_cast<std::int32_t>(gi));
                    }
                    continue;
                }
                const Face& face = m.faceAt(f);
                for (int c : {0, 2, 1}) {
                    const std::int32_t v = face.vtx[c];
                    if (v < 0 || v >= nVerts) {
                        if (r.badCorners++ == 0) {
                            ReportFaceError(diag, m,
                                            "Vertex# " + std::to_string(v) + " in VFaces exceeds ttlnum_Vertices  " +
                                                std::to_string(m.ttlnum_Vertices),
                                            static_cast<std::int32_t>(i), static_cast<std::int32_t>(f),
                                            static_cast<std::int32_t>(k), static_cast<std::int32_t>(gi));
                        }
                        continue;
                    }
                    used[static_cast<std::size_t>(v)] = 1;
                }
            }
        }
    }
    if (r.badFaces > 1 || r.badCorners > 1) {
        std::string t;
        if (r.badFaces > 1) t += std::to_string(r.badFaces) + " face group members name faces that do not exist";
        if (r.badCorners > 1) {
            if (!t.empty()) t += "\r\n";
            t += std::to_string(r.badCorners) + " face corners name vertices that do not exist";
        }
        t += "\r\n(only the first of each was shown)";
        diag.logMsg(t);
        diag.logFileIfDebug(t);
        diag.msgBox(t);
    }

    for (std::int64_t i = 0; i < markEnd; ++i) {
        if (!used[static_cast<std::size_t>(i)]) ++r.unused;
        if (m.vertexAt(i).num_UVs > 0) ++r.withUVs;
    }
    diag.logMsg("ttlnum_Vertices=" + std::to_string(m.ttlnum_Vertices) + ", " + std::to_string(r.withUVs) +
               " with UVs, " + std::to_string(r.unused) + " unused");
    return r;
}

void DumpModel(Diagnostics& diag, ModelStore& model, bool devMode) {
    if (!devMode) return;
    ModelStore& m = model;
    if (m.meshCount < 1) {
        diag.logMsg("Meshes.Length=0");
        return;
    }
    diag.logMsg("-----------------------");
    diag.logMsg("Meshes: " + std::to_string(m.meshCount) + ". maxVert# = " + std::to_string(m.maxVert) +
               " nFaceGrps=" + std::to_string(m.nFaceGrps));
    diag.logMsg("nMaterials=" + std::to_string(m.nMaterials) + "  ttlnum_Vertices=" + std::to_string(m.ttlnum_Vertices) +
               "  ttlnum_Faces=" + std::to_string(m.ttlnum_Faces));
    SetMaxMinsM(diag, model);
    diag.logMsg("");
    diag.logMsg("All Maxs/Mins");
    diag.logMsg(ExtentsText(model, true));
    CheckModel(diag, model);

    const std::int64_t nMat = std::min<std::int64_t>(m.nMaterials, static_cast<std::int64_t>(m.Materials.size()));
    for (std::int64_t k = 0; k < nMat; ++k) {
        const Material& mt = m.materialAt(k);
        std::string line = "Material [" + std::to_string(k) + "] FGrpID " + std::to_string(mt.id) + " :" +
                           (mt.use_count != 0 ? " OK" : " not referenced") + " : " + "   Am " +
                           colourText(mt.ambient) + "   Df " + colourText(mt.diffuse) + "   Sp " +
                           colourText(mt.specular) + "   Sh :" + fmt2(mt.shininess) + " : " + mt.name;
        const std::int64_t maps = std::min<std::int64_t>(mt.nMaps, static_cast<std::int64_t>(mt.maps.size()));
        for (std::int64_t j = 0; j < maps; ++j) line += " : " + mt.maps[static_cast<std::size_t>(j)];
        diag.logMsg(line);
    }

    const Span meshes = meshSpan(m);
    for (std::int64_t i = meshes.first; i < meshes.end; ++i) {
        const Span groups = groupSpan(m, m.meshAt(i));
        for (std::int64_t g = groups.first; g < groups.end; ++g) {
            const FaceGroup& fg = m.groupAt(g);
            diag.logMsg("Msh[" + std::to_string(i) + "] Fgrp[" + std::to_string(g) + "]  gFgID=" +
                       std::to_string(fg.gFgID) + "   MtlID=" + std::to_string(fg.MtlID) +
                       "  nFcs=" + std::to_string(fg.nFcs));
        }
    }
    diag.logMsg(" - ");
    diag.logMsg("BASE HEIGHT=" + fmt2(m.minPos.y) + "    MAX SPAN=" + numText(m.maxSpan));
}

std::string XYZText(float x, float y, float z) { return " x:y:z: " + fmt2(x) + "  " + fmt2(y) + "  " + fmt2(z); }

std::string RPYText(float r, float p, float y) {
    return " r:p:y: " + fmt2(RadToDeg(r), 6) + "  " + fmt2(RadToDeg(p), 6) + "  " + fmt2(RadToDeg(y), 6);
}

}  // namespace molv
