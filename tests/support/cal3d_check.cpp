#include "support/cal3d_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unordered_set>

#include "model/store.h"

#ifdef MOLV_HAVE_CAL3D
#include <cal3d/cal3d.h>
#endif

// The Debian Cal3D library exports no type information, which the
// sanitizer's dynamic-type check needs for every call on a Cal3D object.
#if defined(__GNUC__)
#define MOLV_NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))
#else
#define MOLV_NO_VPTR_CHECK
#endif

namespace molv::test {

bool cal3dAvailable() {
#ifdef MOLV_HAVE_CAL3D
    return true;
#else
    return false;
#endif
}

#ifndef MOLV_HAVE_CAL3D
namespace {
const char* const kWithout = "built without Cal3D";
}

Cal3dSetInfo loadCal3dSet(const std::string&) {
    Cal3dSetInfo info;
    info.error = kWithout;
    return info;
}

bool loadCal3dMesh(const std::string&, const std::string&, Cal3dMeshData& out, std::string& err) {
    out.clear();
    err = kWithout;
    return false;
}
#else
namespace {

void addError(std::string& err, const std::string& text) {
    if (!err.empty()) err += "; ";
    err += text;
}

std::string calError(const std::string& what, const std::string& path) {
    std::string t = what + " " + path + ": " + CalError::getLastErrorDescription();
    if (!CalError::getLastErrorText().empty()) t += " (" + CalError::getLastErrorText() + ")";
    return t;
}

// Cal3D loads a mesh only into a model that holds a skeleton; the model's
// own methods keep the reference counting out of this code. The mesh's id,
// or -1 with err set.
MOLV_NO_VPTR_CHECK int loadMesh(CalCoreModel& model, const std::string& csf, const std::string& cmf,
                                std::string& err) {
    if (!model.loadCoreSkeleton(csf)) {
        addError(err, calError("loadCoreSkeleton", csf));
        return -1;
    }
    const int id = model.loadCoreMesh(cmf);
    if (id < 0) addError(err, calError("loadCoreMesh", cmf));
    return id;
}

MOLV_NO_VPTR_CHECK void copyMesh(CalCoreMesh* mesh, Cal3dMeshData& out) {
    for (int s = 0; s < mesh->getCoreSubmeshCount(); ++s) {
        CalCoreSubmesh* sm = mesh->getCoreSubmesh(s);
        Cal3dSubmeshData d;
        d.thread = sm->getCoreMaterialThreadId();
        d.lods = sm->getLodCount();
        d.springs = sm->getSpringCount();
        auto& uvs = sm->getVectorVectorTextureCoordinate();
        d.maps = static_cast<int>(uvs.size());
        std::size_t i = 0;
        for (auto& v : sm->getVectorVertex()) {
            Cal3dVertexData vd;
            vd.pos[0] = v.position.x, vd.pos[1] = v.position.y, vd.pos[2] = v.position.z;
            vd.normal[0] = v.normal.x, vd.normal[1] = v.normal.y, vd.normal[2] = v.normal.z;
            vd.collapseId = v.collapseId;
            vd.collapseCount = v.faceCollapseCount;
            for (auto& set : uvs)
                if (i < set.size()) vd.uvs.emplace_back(set[i].u, set[i].v);
            for (auto& inf : v.vectorInfluence) vd.influences.emplace_back(inf.boneId, inf.weight);
            d.vertices.push_back(std::move(vd));
            ++i;
        }
        for (auto& f : sm->getVectorFace())
            d.faces.push_back({static_cast<int>(f.vertexId[0]), static_cast<int>(f.vertexId[1]),
                               static_cast<int>(f.vertexId[2])});
        out.push_back(std::move(d));
    }
}

bool readCfg(const std::string& path, Cal3dSetInfo& info) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::string line;
    while (std::getline(f, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("material=", 0) == 0) info.cfgMaterials.push_back(line.substr(9));
    }
    return true;
}

MOLV_NO_VPTR_CHECK void copyColour(const CalCoreMaterial::Color& c, std::uint8_t out[4]) {
    out[0] = c.red;
    out[1] = c.green;
    out[2] = c.blue;
    out[3] = c.alpha;
}

}  // namespace

MOLV_NO_VPTR_CHECK Cal3dSetInfo loadCal3dSet(const std::string& outBase) {
    Cal3dSetInfo info;
    const std::string cfg = outBase + ".cfg", cmf = outBase + ".cmf";
    info.cfgRead = readCfg(cfg, info);
    if (!info.cfgRead) addError(info.error, "cannot read " + cfg);

    CalCoreModel model("molv-check");
    const int meshId = loadMesh(model, outBase + ".csf", cmf, info.error);
    if (CalCoreSkeleton* sk = model.getCoreSkeleton()) {
        info.skeletonLoaded = true;
        for (auto* b : sk->getVectorCoreBone()) info.boneNames.push_back(b ? b->getName() : std::string());
    }
    info.meshLoaded = meshId >= 0;
    Cal3dMeshData mesh;
    if (info.meshLoaded) copyMesh(model.getCoreMesh(meshId), mesh);
    for (const Cal3dSubmeshData& d : mesh) {
        const int nv = static_cast<int>(d.vertices.size()), nf = static_cast<int>(d.faces.size());
        info.submeshes.push_back(Cal3dSubmeshInfo{d.thread, nv, nf, d.springs, d.maps});
        info.totalTriangles += nf;
        for (const auto& f : d.faces)
            for (int id : f) info.facesInRange &= id >= 0 && id < nv;
        for (const auto& v : d.vertices)
            for (const auto& inf : v.influences)
                info.influencesInRange &= inf.first >= 0 && inf.first < static_cast<int>(info.boneNames.size());
    }
    if (!info.facesInRange) addError(info.error, "a face of " + cmf + " names a vertex outside its submesh");
    if (!info.influencesInRange) addError(info.error, "an influence of " + cmf + " names a missing bone");

    for (auto& name : info.cfgMaterials) {
        Cal3dMaterialInfo mi;
        // Bare names resolve beside the set.
        const std::string path = name.empty() || std::filesystem::path(name).is_absolute()
                                     ? name
                                     : outBase.substr(0, outBase.find_last_of("/\\") + 1) + name;
        const int id = model.loadCoreMaterial(path);
        if (id < 0) {
            info.materialsLoaded = false;
            addError(info.error, calError("loadCoreMaterial", path));
        } else if (CalCoreMaterial* m = model.getCoreMaterial(id)) {
            copyColour(m->getAmbientColor(), mi.ambient);
            copyColour(m->getDiffuseColor(), mi.diffuse);
            mi.shininess = m->getShininess();
            for (int k = 0; k < m->getMapCount(); ++k) mi.maps.push_back(m->getMapFilename(k));
        }
        info.materials.push_back(std::move(mi));
    }
    return info;
}

MOLV_NO_VPTR_CHECK bool resaveWithCal3d(const std::string& path, const std::string& savedPath, std::string& err,
                                        const std::string& skeletonPath) {
    CalCoreModel model("molv-resave");
    if (path.size() > 4 && path.substr(path.size() - 4) == ".csf") {
        if (!model.loadCoreSkeleton(path)) {
            err = calError("loadCoreSkeleton", path);
            return false;
        }
        if (CalSaver::saveCoreSkeleton(savedPath, model.getCoreSkeleton())) return true;
        err = calError("saveCoreSkeleton", savedPath);
        return false;
    }
    const std::string csf = skeletonPath.empty() ? path.substr(0, path.rfind('.')) + ".csf" : skeletonPath;
    const int id = loadMesh(model, csf, path, err);
    if (id < 0) return false;
    if (CalSaver::saveCoreMesh(savedPath, model.getCoreMesh(id))) return true;
    err = calError("saveCoreMesh", savedPath);
    return false;
}

MOLV_NO_VPTR_CHECK bool loadCal3dMesh(const std::string& cmfPath, const std::string& skeletonPath, Cal3dMeshData& out,
                                      std::string& err) {
    out.clear();
    CalCoreModel model("molv-mesh");
    const int id = loadMesh(model, skeletonPath, cmfPath, err);
    if (id >= 0) copyMesh(model.getCoreMesh(id), out);
    return id >= 0;
}
#endif

std::string meshDifference(const Cal3dMeshData& want, const Cal3dMeshData& got, bool springs) {
    if (want.size() != got.size())
        return "submeshes: " + std::to_string(want.size()) + " against " + std::to_string(got.size());
    for (std::size_t s = 0; s < want.size(); ++s) {
        const auto& a = want[s];
        const auto& b = got[s];
        const std::string at = "submesh " + std::to_string(s) + ": ";
        if (a.thread != b.thread || a.lods != b.lods || (springs && a.springs != b.springs)) return at + "header";
        if (a.faces != b.faces) return at + "faces";
        if (a.vertices.size() != b.vertices.size()) return at + "vertex count";
        for (std::size_t v = 0; v < a.vertices.size(); ++v) {
            const auto& x = a.vertices[v];
            const auto& y = b.vertices[v];
            const std::string vat = at + "vertex " + std::to_string(v) + " ";
            for (int k = 0; k < 3; ++k)
                if (x.pos[k] != y.pos[k] || x.normal[k] != y.normal[k]) return vat + "position or normal";
            if (x.collapseId != y.collapseId || x.collapseCount != y.collapseCount) return vat + "collapse";
            if (x.uvs != y.uvs) return vat + "texture coordinates";
            if (x.influences != y.influences) return vat + "influences";
        }
    }
    return {};
}

namespace {

// Faces naming a face or vertex that does not exist are not counted, and a
// group left with no faces is not a submesh.
std::vector<Cal3dSubmeshInfo> expectedSubmeshes(const ModelStore& m) {
    std::vector<Cal3dSubmeshInfo> out;
    const auto nMeshes = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.meshCount)), m.Meshes.size());
    for (std::size_t mi = 0; mi < nMeshes; ++mi) {
        const Mesh& mesh = m.Meshes[mi];
        for (std::int32_t g = mesh.face_grp_ndx_stt; g <= mesh.face_grp_ndx_end; ++g) {
            if (g < 0 || g >= m.nFaceGrps || static_cast<std::size_t>(g) >= m.FaceGrps.size()) continue;
            const FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
            std::unordered_set<std::int32_t> used;
            int faces = 0;
            const auto n = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, fg.nFcs)), fg.FgGlblFaces.size());
            for (std::size_t i = 0; i < n; ++i) {
                const std::int32_t f = fg.FgGlblFaces[i];
                if (f < 0 || f >= m.ttlnum_Faces || static_cast<std::size_t>(f) >= m.VFaces.size()) continue;
                const Face& face = m.VFaces[static_cast<std::size_t>(f)];
                if (std::any_of(face.vtx, face.vtx + 3, [&](std::int32_t v) { return v < 0 || v >= m.ttlnum_Vertices; }))
                    continue;
                ++faces;
                used.insert(face.vtx, face.vtx + 3);
            }
            if (faces > 0)
                out.push_back(Cal3dSubmeshInfo{fg.MtlID, static_cast<int>(used.size()), faces, fg.num_springs,
                                               std::max(0, fg.num_maps)});
        }
    }
    return out;
}

}  // namespace

::testing::AssertionResult cal3dMatchesStore(const ModelStore& model, const Cal3dSetInfo& info) {
    if (!info.meshLoaded) return ::testing::AssertionFailure() << "Cal3D did not load the mesh: " << info.error;
    auto text = [](const std::vector<Cal3dSubmeshInfo>& subs) {
        std::string t;
        for (const auto& s : subs)
            t += "thread " + std::to_string(s.materialThreadId) + ", " + std::to_string(s.vertexCount) + " vertices, " +
                 std::to_string(s.faceCount) + " faces, " + std::to_string(s.mapCount) + " maps\n";
        return t;
    };
    const std::string want = text(expectedSubmeshes(model)), got = text(info.submeshes);
    if (want == got) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "submeshes the store holds:\n" << want << "Cal3D read:\n" << got;
}

}  // namespace molv::test
