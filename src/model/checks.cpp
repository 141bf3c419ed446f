#include "model/checks.h"

#include "shell/context.h"

namespace molv {

void ReportFaceError(Context& ctx, const std::string& message, std::int32_t mesh, std::int32_t face,
                     std::int32_t count, std::int32_t group) {
    ModelStore& m = ctx.model;
    std::string text = message + "\r\nVFace# " + std::to_string(face) + " (FG-Face# " + std::to_string(count) +
                       ", face_ndx_stt ";
    text += (mesh >= 0 && mesh < m.meshCount) ? std::to_string(m.Meshes[static_cast<std::size_t>(mesh)].face_ndx_stt) : "?";
    text += ", Facegrp# " + std::to_string(group);
    if (group >= 0 && group < m.nFaceGrps) {
        const FaceGroup& g = m.FaceGrps[static_cast<std::size_t>(group)];
        text += " (GlblFgID " + std::to_string(g.gFgID) + "), Mesh# " + std::to_string(mesh) + "\r\nFaces in FG = " +
                std::to_string(g.nFcs) + ", Matl-ID=" + std::to_string(g.MtlID) + ", Matl-symbol=" + g.MatlSymbol;
    } else {
        text += ", Mesh# " + std::to_string(mesh);
    }
    ctx.logFileIfDebug(text);
    ctx.msgBox(text);
}

}  // namespace molv
