#include "model/store_fill.h"

#include <algorithm>

#include "core/diagnostics.h"
#include "core/settings.h"
#include "model/checks.h"
#include "model/io_env.h"
#include "util/numfmt.h"

namespace molv {

StoreFill::StoreFill(ModelStore& model, Diagnostics& diag, AxisSwitch axes) : m_(model), diag_(diag), axes_(axes) {
    at_.MeshNdx = m_.lastMesh();
    at_.currFgnum = std::max(m_.nFaceGrps - 1, std::int32_t{0});
}

StoreFill::StoreFill(ReadEnv& env)
    : StoreFill(env.model, env.diag, AxisSwitch{env.settings.switch_obj_yz, env.settings.switch_xz}) {}

void StoreFill::tooManyVertices(std::int32_t n) {
    diag_.msgBox("Too many vertices: " + std::to_string(std::max(n, std::int32_t{0})) + " more than the " + std::to_string(m_.ttlnum_Vertices) +
                 " held");
}

std::int16_t StoreFill::dssAddMesh(const std::string& name, std::int32_t n) {
    const bool room = m_.roomForVertices(n);
    const std::int32_t base = m_.ttlnum_Vertices;
    const std::int16_t i = m_.dssAddMesh(name, n);
    if (i < 0) {
        diag_.msgBox("Too many meshes: at most 32767 are supported");
        return i;
    }
    at_.MeshNdx = i;
    at_.currVtxBase = base;
    at_.meshFaceCount = at_.meshVtxCount = at_.meshFgCount = 0;
    if (!room) tooManyVertices(n);
    if (diag_.dbgLevel == 2) {
        const Mesh& mesh = m_.meshAt(i);
        diag_.logFileIfDebug("---------------\r\ndssAddMesh: MeshNdx " + std::to_string(at_.MeshNdx) +
                             ", face_ndx_stt=" + std::to_string(mesh.face_ndx_stt) + ", face_grp_ndx_stt " +
                             std::to_string(mesh.face_grp_ndx_stt) + ", vtx_ndx_stt " +
                             std::to_string(mesh.vtx_ndx_stt));
    }
    return i;
}

std::int32_t StoreFill::AddMeshVertices(std::int32_t mesh, std::int32_t n) {
    if (!m_.roomForVertices(n)) tooManyVertices(n);
    return m_.AddMeshVertices(mesh, n);
}

std::int32_t StoreFill::AddMaterial(const std::string& name) {
    const std::int32_t i = m_.AddMaterial(name);
    if (diag_.logWanted(1)) diag_.logMsg("Material: [" + std::to_string(i) + "]  ID: " + name, 1);
    return i;
}

std::int32_t StoreFill::AddFaceGroup(bool flag, std::int32_t material, std::int32_t faceBase) {
    const std::int32_t i = m_.AddFaceGroup(flag, material, faceBase);
    at_.currFgnum = i;
    at_.meshFgCount += 1;
    at_.fg_face_count = 0;
    diag_.showStatus("FaceGrp: " + std::to_string(i));
    return i;
}

void StoreFill::AddFaceToGroup(std::int32_t mesh, std::int32_t group, bool flag, std::int32_t face,
                               std::int32_t global) {
    // Only the read's first member naming no face raises a box (quoting its
    // group as it stands before the member); the rest are counted.
    if (group >= 0 && group < m_.nFaceGrps && m_.badGroupFaceReports == 0) {
        const std::int32_t g = m_.memberGlobal(mesh, face, global);
        if (!m_.memberNamesFace(face, g)) {
            ReportFaceError(diag_, m_,
                            "Face# " + std::to_string(face) + " in facegroup " + std::to_string(group) +
                                " exceeds ttlnum_Faces  " + std::to_string(m_.ttlnum_Faces),
                            mesh, g, m_.groupAt(group).nFcs, group);
        }
    }
    m_.AddFaceToGroup(mesh, group, flag, face, global);
}

std::int32_t StoreFill::AddFace(std::int32_t mesh, std::int32_t base, std::int32_t a, std::int32_t b,
                                std::int32_t c) {
    // Only the read's first face naming a missing vertex raises a box.
    std::int64_t bad = 0;
    const bool firstBad = m_.badFaceReports == 0 && m_.missingCorner(base, a, b, c, bad);
    const std::int32_t face = m_.AddFace(mesh, base, a, b, c);
    at_.meshFaceCount += 1;
    const std::int32_t r = at_.fg_face_count++;
    static const SourceLine kNoLine;
    const SourceLine& at = line ? *line : kNoLine;
    if (firstBad) {
        const std::string head = bad < 0 ? "Vertex " + std::to_string(bad) + " < 0"
                                         : "Vertex " + std::to_string(m_.maxVert) + " > ttlnum_Vertices " +
                                               std::to_string(m_.ttlnum_Vertices);
        diag_.msgBox(head + " @ line " + std::to_string(at.no) + "\r\nMesh=" + std::to_string(at_.MeshNdx) +
                     ", ttlnum_Faces=" + std::to_string(face) + ", currFgnum=" + std::to_string(at_.currFgnum) +
                     "\r\n" + at.text);
    }
    if (diag_.dbgLevel == 2 && diag_.detailWanted(at_.meshFaceCount - 1)) {
        diag_.logFileIfDebug("F:      " + hexOf(readPos, 6) + ":[" + padIntLeft(face, 6) + "]f          " +
                             padIntLeft(a, 6) + "   " + padIntLeft(b, 6) + "   " + padIntLeft(c, 6) + " " +
                             at.text);
    }
    return r;
}

std::int32_t StoreFill::AddVertex(std::int32_t& index, float x, float y, float z, float zx, float zy, float zz,
                                  std::int32_t srcNum, bool log) {
    if (index < 0) at_.meshVtxCount += 1;
    const std::int32_t r = m_.AddVertex(index, x, y, z, zx, zy, zz, axes_);
    if (log && diag_.detailWanted(m_.ttlnum_Vertices)) {
        diag_.logFileIfDebug("V:    " + hexOf(readPos, 4) + ":[" + std::to_string(srcNum) + "] " + fmt2(x) + " " +
                             fmt2(y) + " " + fmt2(z));
    }
    return r;
}

std::int32_t StoreFill::SetVertexUV(std::int32_t base, std::int32_t n, std::int32_t t, UV uv) {
    const std::int32_t before = m_.ttlnum_Vertices;
    const std::int32_t v = m_.SetVertexUV(base, n, t, uv);
    // A vertex that already had other UVs was copied to the end.
    if (m_.ttlnum_Vertices == before) return v;
    at_.meshVtxCount += 1;
    if (diag_.detailWanted(at_.meshVtxCount)) {
        const Vec3& p = m_.vertexAt(v).pos;
        diag_.logFileIfDebug("               +V:" + hexOf(readPos, 4) + "[" + std::to_string(v) + "]v " +
                             fmt2(p.x) + " " + fmt2(p.y) + " " + fmt2(p.z));
    }
    return v;
}

}  // namespace molv
