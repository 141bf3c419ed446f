#include "support/store_listing.h"

#include <cstdio>

#include "model/store.h"

namespace molv::test {

namespace {

// Nine digits give a float back exactly.
std::string num(float f) {
    char b[32];
    std::snprintf(b, sizeof b, "%.9g", static_cast<double>(f));
    return b;
}

std::string vec(const Vec3& v) { return num(v.x) + " " + num(v.y) + " " + num(v.z); }

std::string colour(const Colour& c) {
    char b[16];
    std::snprintf(b, sizeof b, "%02X%02X%02X%02X", c.r, c.g, c.b, c.a);
    return b;
}

std::string ints(const std::vector<std::int32_t>& v, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n && i < v.size(); ++i) s += " " + std::to_string(v[i]);
    return s;
}

}  // namespace

std::string storeListing(const ModelStore& m) {
    std::string out = "vertices " + std::to_string(m.ttlnum_Vertices) + ", faces " + std::to_string(m.ttlnum_Faces) +
                      ", groups " + std::to_string(m.nFaceGrps) + ", materials " + std::to_string(m.nMaterials) +
                      ", meshes " + std::to_string(m.meshCount) + "\n";
    for (int i = 0; i < m.meshCount && i < static_cast<int>(m.Meshes.size()); ++i) {
        const Mesh& me = m.meshAt(i);
        out += "mesh " + std::to_string(i) + " \"" + me.name + "\": vertices " + std::to_string(me.vtx_ndx_stt) + ".." +
               std::to_string(me.vtx_ndx_end) + " faces " + std::to_string(me.face_ndx_stt) + ".." +
               std::to_string(me.face_ndx_end) + " groups " + std::to_string(me.face_grp_ndx_stt) + ".." +
               std::to_string(me.face_grp_ndx_end) + " uv sets " + std::to_string(me.num_UVsets) + " parent " +
               std::to_string(me.parent) + "\n";
    }
    const bool normals = m.num_Normals > 0 && m.Normals.size() >= static_cast<std::size_t>(m.ttlnum_Vertices);
    for (int i = 0; i < m.ttlnum_Vertices && i < static_cast<int>(m.Vertices.size()); ++i) {
        const Vertex& v = m.vertexAt(i);
        out += "v " + std::to_string(i) + ": " + vec(v.pos);
        if (v.num_UVs > 0) {
            out += " uv " + std::to_string(v.uv_id) + ":";
            for (int k = 0; k < v.num_UVs && k < static_cast<int>(v.UVs.size()); ++k)
                out += " " + num(v.UVs[static_cast<std::size_t>(k)].u) + "," + num(v.UVs[static_cast<std::size_t>(k)].v);
        }
        if (!m.zup_pos.empty()) out += " zup " + vec(m.zupOf(i));
        if (normals) out += " n " + vec(m.Normals[static_cast<std::size_t>(i)]);
        out += "\n";
    }
    const bool corners = m.cornerNormals.size() >= 3 * static_cast<std::size_t>(m.ttlnum_Faces);
    const bool smoothing = m.faceSmoothing.size() >= static_cast<std::size_t>(m.ttlnum_Faces);
    for (int i = 0; i < m.ttlnum_Faces && i < static_cast<int>(m.VFaces.size()); ++i) {
        const Face& f = m.faceAt(i);
        out += "f " + std::to_string(i) + ": " + std::to_string(f.vtx[0]) + " " + std::to_string(f.vtx[1]) + " " +
               std::to_string(f.vtx[2]);
        if (smoothing) out += " smoothing " + std::to_string(m.faceSmoothing[static_cast<std::size_t>(i)]);
        if (corners)
            for (std::size_t k = 0; k < 3; ++k) out += " | " + vec(m.cornerNormals[3 * static_cast<std::size_t>(i) + k]);
        out += "\n";
    }
    for (int i = 0; i < m.nFaceGrps && i < static_cast<int>(m.FaceGrps.size()); ++i) {
        const FaceGroup& g = m.groupAt(i);
        out += "group " + std::to_string(i) + ": material " + std::to_string(g.MtlID) + " maps " +
               std::to_string(g.num_maps) + " base " + std::to_string(g.face_base);
        if (!g.MatlSymbol.empty()) out += " symbol \"" + g.MatlSymbol + "\"";
        out += " faces" + ints(g.FgGlblFaces, static_cast<std::size_t>(g.nFcs)) + "\n";
    }
    for (int i = 0; i < m.nMaterials && i < static_cast<int>(m.Materials.size()); ++i) {
        const Material& mt = m.materialAt(i);
        out += "material " + std::to_string(i) + (mt.id != i ? " id " + std::to_string(mt.id) : "") + " \"" + mt.name + "\": " + colour(mt.ambient) + " " +
               colour(mt.diffuse) + " " + colour(mt.specular) + " shininess " + num(mt.shininess) +
               " transparency " + num(mt.transparency) + " used " + std::to_string(mt.use_count);
        for (const auto& map : mt.maps) out += " map \"" + map + "\"";
        out += "\n";
    }
    for (const auto& [name, bytes] : m.embeddedMaps)
        out += "embedded \"" + name + "\": " + std::to_string(bytes.size()) + " bytes\n";
    return out;
}

}  // namespace molv::test
