#include "support/cal3d_check.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_set>

#include "model/skeleton.h"
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

namespace {

#ifdef MOLV_HAVE_CAL3D
std::string folderOf(const std::string& path) {
    auto p = path.find_last_of("/\\");
    return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string resolveBeside(const std::string& base, const std::string& name) {
    if (name.empty()) return name;
    if (std::filesystem::path(name).is_absolute()) return name;
    return folderOf(base) + name;
}

void addError(std::string& err, const std::string& text) {
    if (!err.empty()) err += "; ";
    err += text;
}

bool readCfg(const std::string& path, Cal3dSetInfo& info) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::string line;
    while (std::getline(f, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "material") info.cfgMaterials.push_back(value);
    }
    return true;
}

std::string calError(const std::string& what, const std::string& path) {
    std::string t = what + " " + path + ": " + CalError::getLastErrorDescription();
    if (!CalError::getLastErrorText().empty()) t += " (" + CalError::getLastErrorText() + ")";
    return t;
}

MOLV_NO_VPTR_CHECK void copyColour(const CalCoreMaterial::Color& c, std::uint8_t out[4]) {
    out[0] = c.red;
    out[1] = c.green;
    out[2] = c.blue;
    out[3] = c.alpha;
}
#endif

}  // namespace

bool cal3dAvailable() {
#ifdef MOLV_HAVE_CAL3D
    return true;
#else
    return false;
#endif
}

MOLV_NO_VPTR_CHECK Cal3dSetInfo loadCal3dSet(const std::string& outBase) {
    Cal3dSetInfo info;
#ifndef MOLV_HAVE_CAL3D
    info.error = "built without Cal3D";
    (void)outBase;
    return info;
#else
    info.available = true;
    const std::string cfg = outBase + ".cfg", csf = outBase + ".csf", cmf = outBase + ".cmf";
    info.cfgRead = readCfg(cfg, info);
    if (!info.cfgRead) addError(info.error, "cannot read " + cfg);

    CalCoreModel model("molv-check");
    info.skeletonLoaded = model.loadCoreSkeleton(csf);
    if (!info.skeletonLoaded) {
        addError(info.error, calError("loadCoreSkeleton", csf));
    } else if (auto* sk = model.getCoreSkeleton()) {
        auto& bones = sk->getVectorCoreBone();
        info.boneCount = static_cast<int>(bones.size());
        for (auto* b : bones) info.boneNames.push_back(b ? b->getName() : std::string());
    }

    int meshId = model.loadCoreMesh(cmf);
    info.meshLoaded = meshId >= 0;
    if (!info.meshLoaded) {
        addError(info.error, calError("loadCoreMesh", cmf));
    } else {
        CalCoreMesh* mesh = model.getCoreMesh(meshId);
        int nSub = mesh ? mesh->getCoreSubmeshCount() : 0;
        for (int s = 0; s < nSub; ++s) {
            CalCoreSubmesh* sm = mesh->getCoreSubmesh(s);
            if (!sm) continue;
            Cal3dSubmeshInfo si;
            si.materialThreadId = sm->getCoreMaterialThreadId();
            si.vertexCount = sm->getVertexCount();
            si.faceCount = sm->getFaceCount();
            si.springCount = sm->getSpringCount();
            si.mapCount = static_cast<int>(sm->getVectorVectorTextureCoordinate().size());
            info.totalTriangles += si.faceCount;
            for (auto& f : sm->getVectorFace()) {
                for (int k = 0; k < 3; ++k) {
                    long long id = static_cast<long long>(f.vertexId[k]);
                    if (id < 0 || id >= si.vertexCount) info.facesInRange = false;
                }
            }
            if (info.skeletonLoaded) {
                for (auto& v : sm->getVectorVertex())
                    for (auto& inf : v.vectorInfluence)
                        if (inf.boneId < 0 || inf.boneId >= info.boneCount) info.influencesInRange = false;
            }
            info.submeshes.push_back(si);
        }
        if (!info.facesInRange) addError(info.error, "a face of " + cmf + " names a vertex outside its submesh");
        if (!info.influencesInRange) addError(info.error, "an influence of " + cmf + " names a missing bone");
    }

    for (auto& name : info.cfgMaterials) {
        Cal3dMaterialInfo mi;
        mi.path = resolveBeside(outBase, name);
        int id = model.loadCoreMaterial(mi.path);
        mi.loaded = id >= 0;
        if (!mi.loaded) {
            info.materialsLoaded = false;
            addError(info.error, calError("loadCoreMaterial", mi.path));
        } else if (CalCoreMaterial* m = model.getCoreMaterial(id)) {
            copyColour(m->getAmbientColor(), mi.ambient);
            copyColour(m->getDiffuseColor(), mi.diffuse);
            copyColour(m->getSpecularColor(), mi.specular);
            mi.shininess = m->getShininess();
            for (int k = 0; k < m->getMapCount(); ++k) mi.maps.push_back(m->getMapFilename(k));
        }
        info.materials.push_back(std::move(mi));
    }
    return info;
#endif
}

MOLV_NO_VPTR_CHECK bool resaveCal3dMesh(const std::string& cmfPath, const std::string& savedPath, std::string& err,
                                        const std::string& skeletonPath) {
#ifndef MOLV_HAVE_CAL3D
    (void)cmfPath;
    (void)savedPath;
    (void)skeletonPath;
    err = "built without Cal3D";
    return false;
#else
    // Cal3D loads a mesh only into a model that holds a skeleton; the
    // model's own methods keep the reference counting out of this code.
    CalCoreModel model("molv-resave");
    const std::string csf = skeletonPath.empty() ? cmfPath.substr(0, cmfPath.rfind('.')) + ".csf" : skeletonPath;
    if (!model.loadCoreSkeleton(csf)) {
        err = calError("loadCoreSkeleton", csf);
        return false;
    }
    const int id = model.loadCoreMesh(cmfPath);
    if (id < 0) {
        err = calError("loadCoreMesh", cmfPath);
        return false;
    }
    if (!CalSaver::saveCoreMesh(savedPath, model.getCoreMesh(id))) {
        err = calError("saveCoreMesh", savedPath);
        return false;
    }
    return true;
#endif
}

MOLV_NO_VPTR_CHECK bool loadCal3dSkeleton(const std::string& csfPath, SkeletonStore& out, std::string& err) {
#ifndef MOLV_HAVE_CAL3D
    (void)csfPath;
    (void)out;
    err = "built without Cal3D";
    return false;
#else
    CalCoreModel model("molv-skeleton");
    if (!model.loadCoreSkeleton(csfPath) || !model.getCoreSkeleton()) {
        err = calError("loadCoreSkeleton", csfPath);
        return false;
    }
    auto& bones = model.getCoreSkeleton()->getVectorCoreBone();
    out.num_Bones = static_cast<std::int32_t>(bones.size());
    out.Bones.assign(bones.size() + 1, Bone{});
    for (std::size_t i = 0; i < bones.size(); ++i) {
        CalCoreBone* cb = bones[i];
        Bone& b = out.Bones[i];
        b.name = cb->getName();
        b.name_len = static_cast<std::int32_t>(b.name.size() + 1);
        const CalVector& t = cb->getTranslation();
        const CalQuaternion& r = cb->getRotation();
        const CalVector& lt = cb->getTranslationBoneSpace();
        const CalQuaternion& lr = cb->getRotationBoneSpace();
        b.TrXYZ[0] = t.x, b.TrXYZ[1] = t.y, b.TrXYZ[2] = t.z;
        b.RotXYZW[0] = r.x, b.RotXYZW[1] = r.y, b.RotXYZW[2] = r.z, b.RotXYZW[3] = r.w;
        b.LocTrXYZ[0] = lt.x, b.LocTrXYZ[1] = lt.y, b.LocTrXYZ[2] = lt.z;
        b.LocRotXYZ[0] = lr.x, b.LocRotXYZ[1] = lr.y, b.LocRotXYZ[2] = lr.z, b.LocRotXYZ[3] = lr.w;
        b.PBID = cb->getParentId();
        b.chldrn.assign(cb->getListChildId().begin(), cb->getListChildId().end());
        b.num_chldrn = static_cast<std::int32_t>(b.chldrn.size());
    }
    return true;
#endif
}

MOLV_NO_VPTR_CHECK bool loadCal3dMesh(const std::string& cmfPath, const std::string& skeletonPath, Cal3dMeshData& out,
                                      std::string& err) {
    out.clear();
#ifndef MOLV_HAVE_CAL3D
    (void)cmfPath;
    (void)skeletonPath;
    err = "built without Cal3D";
    return false;
#else
    CalCoreModel model("molv-mesh");
    if (!model.loadCoreSkeleton(skeletonPath)) {
        err = calError("loadCoreSkeleton", skeletonPath);
        return false;
    }
    const int id = model.loadCoreMesh(cmfPath);
    if (id < 0) {
        err = calError("loadCoreMesh", cmfPath);
        return false;
    }
    CalCoreMesh* mesh = model.getCoreMesh(id);
    for (int s = 0; s < mesh->getCoreSubmeshCount(); ++s) {
        CalCoreSubmesh* sm = mesh->getCoreSubmesh(s);
        Cal3dSubmeshData d;
        d.thread = sm->getCoreMaterialThreadId();
        d.lods = sm->getLodCount();
        d.springs = sm->getSpringCount();
        auto& uvs = sm->getVectorVectorTextureCoordinate();
        int i = 0;
        for (auto& v : sm->getVectorVertex()) {
            Cal3dVertexData vd;
            vd.pos[0] = v.position.x, vd.pos[1] = v.position.y, vd.pos[2] = v.position.z;
            vd.normal[0] = v.normal.x, vd.normal[1] = v.normal.y, vd.normal[2] = v.normal.z;
            vd.collapseId = v.collapseId;
            vd.collapseCount = v.faceCollapseCount;
            for (auto& set : uvs)
                if (static_cast<std::size_t>(i) < set.size()) vd.uvs.emplace_back(set[static_cast<std::size_t>(i)].u, set[static_cast<std::size_t>(i)].v);
            for (auto& inf : v.vectorInfluence) vd.influences.emplace_back(inf.boneId, inf.weight);
            d.vertices.push_back(std::move(vd));
            ++i;
        }
        for (auto& f : sm->getVectorFace())
            d.faces.push_back({static_cast<int>(f.vertexId[0]), static_cast<int>(f.vertexId[1]), static_cast<int>(f.vertexId[2])});
        out.push_back(std::move(d));
    }
    return true;
#endif
}

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

MOLV_NO_VPTR_CHECK bool saveCal3dSample(const std::string& base, bool xml, bool springs, std::string& err) {
#ifndef MOLV_HAVE_CAL3D
    (void)base;
    (void)xml;
    (void)springs;
    err = "built without Cal3D";
    return false;
#else
    // The model owns what is built here: its reference counting stays inside the library.
    CalCoreModel model("molv-sample");
    CalCoreSkeleton* sk = new CalCoreSkeleton();
    model.setCoreSkeleton(sk);
    const char* names[] = {"Pelvis", "Spine", "Head"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new CalCoreBone(names[i]);
        b->setParentId(i - 1);
        b->setTranslation(CalVector(0, 0, static_cast<float>(i) * 10.0f));
        b->setRotation(CalQuaternion(0, 0, 0.6f, 0.8f));
        b->setTranslationBoneSpace(CalVector(0, 0, static_cast<float>(-i) * 10.0f));
        b->setRotationBoneSpace(CalQuaternion(0, 0, -0.6f, 0.8f));
        if (i < 2) b->addChildId(i + 1);
        b->setCoreSkeleton(sk);
        sk->addCoreBone(b);
    }
    CalCoreMesh* mesh = new CalCoreMesh();
    model.addCoreMesh(mesh);
    for (int s = 0; s < 2; ++s) {
        auto* sm = new CalCoreSubmesh();
        const int nv = 4 + s, maps = s == 0 ? 2 : 1, nSprings = springs && s == 1 ? 2 : 0;
        sm->reserve(nv, maps, nv - 2, nSprings);
        sm->setCoreMaterialThreadId(s);
        for (int v = 0; v < nv; ++v) {
            CalCoreSubmesh::Vertex vx;
            vx.position = CalVector(static_cast<float>(v) * 1.5f, static_cast<float>(s) - 0.25f, static_cast<float>(v % 2) * 3.0f);
            vx.normal = CalVector(0, 0.6f, 0.8f);
            vx.collapseId = -1;
            vx.faceCollapseCount = 0;
            const int nInfl = s == 0 && v == 1 ? 6 : 1 + v % 2;
            for (int k = 0; k < nInfl; ++k) {
                CalCoreSubmesh::Influence inf;
                inf.boneId = k % 3;
                inf.weight = 1.0f / static_cast<float>(nInfl);
                vx.vectorInfluence.push_back(inf);
            }
            sm->setVertex(v, vx);
            for (int t = 0; t < maps; ++t) {
                CalCoreSubmesh::TextureCoordinate tc{static_cast<float>(v) * 0.25f, static_cast<float>(t) * 0.5f};
                sm->setTextureCoordinate(v, t, tc);
            }
            if (nSprings > 0) sm->setPhysicalProperty(v, CalCoreSubmesh::PhysicalProperty{0.5f});
        }
        for (int f = 0; f < nv - 2; ++f) {
            CalCoreSubmesh::Face face;
            face.vertexId[0] = static_cast<CalIndex>(f);
            face.vertexId[1] = static_cast<CalIndex>(f + 1);
            face.vertexId[2] = static_cast<CalIndex>(f + 2);
            sm->setFace(f, face);
        }
        for (int k = 0; k < nSprings; ++k) {
            CalCoreSubmesh::Spring sp;
            sp.vertexId[0] = k;
            sp.vertexId[1] = k + 1;
            sp.springCoefficient = 2.0f;
            sp.idleLength = 1.0f;
            sm->setSpring(k, sp);
        }
        mesh->addCoreSubmesh(sm);
    }
    CalCoreMaterial* mat = new CalCoreMaterial();
    model.addCoreMaterial(mat);
    mat->setAmbientColor(CalCoreMaterial::Color{51, 52, 53, 255});
    mat->setDiffuseColor(CalCoreMaterial::Color{204, 128, 0, 255});
    mat->setSpecularColor(CalCoreMaterial::Color{0, 10, 20, 30});
    mat->setShininess(25.5f);
    mat->reserve(2);
    mat->setMap(0, CalCoreMaterial::Map{"textures/wood.png", nullptr});
    mat->setMap(1, CalCoreMaterial::Map{"bump.png", nullptr});
    const std::string ext = xml ? "x" : "c";
    if (!CalSaver::saveCoreSkeleton(base + "." + ext + "sf", sk)) err = calError("saveCoreSkeleton", base);
    else if (!CalSaver::saveCoreMesh(base + "." + ext + "mf", mesh)) err = calError("saveCoreMesh", base);
    else if (!CalSaver::saveCoreMaterial(base + "." + ext + "rf", mat)) err = calError("saveCoreMaterial", base);
    else return true;
    return false;
#endif
}

std::vector<Cal3dSubmeshInfo> expectedSubmeshes(const ModelStore& m) {
    std::vector<Cal3dSubmeshInfo> out;
    const auto nMeshes = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.meshCount)), m.Meshes.size());
    std::unordered_set<std::int32_t> used;
    for (std::size_t mi = 0; mi < nMeshes; ++mi) {
        const Mesh& mesh = m.Meshes[mi];
        for (std::int32_t g = mesh.face_grp_ndx_stt; g <= mesh.face_grp_ndx_end; ++g) {
            if (g < 0 || g >= m.nFaceGrps || static_cast<std::size_t>(g) >= m.FaceGrps.size()) continue;
            const FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
            if (fg.nFcs <= 0) continue;
            used.clear();
            int faces = 0;
            const auto n = std::min<std::size_t>(static_cast<std::size_t>(fg.nFcs), fg.FgGlblFaces.size());
            for (std::size_t i = 0; i < n; ++i) {
                std::int32_t f = fg.FgGlblFaces[i];
                if (f < 0 || f >= m.ttlnum_Faces || static_cast<std::size_t>(f) >= m.VFaces.size()) continue;
                const Face& face = m.VFaces[static_cast<std::size_t>(f)];
                bool good = true;
                for (int k = 0; k < 3; ++k)
                    if (face.vtx[k] < 0 || face.vtx[k] >= m.ttlnum_Vertices) good = false;
                if (!good) continue;
                ++faces;
                for (int k = 0; k < 3; ++k) used.insert(face.vtx[k]);
            }
            if (faces == 0) continue;
            Cal3dSubmeshInfo si;
            si.materialThreadId = fg.MtlID;
            si.vertexCount = static_cast<int>(used.size());
            si.faceCount = faces;
            si.springCount = fg.num_springs;
            si.mapCount = std::max(0, fg.num_maps);
            out.push_back(si);
        }
    }
    return out;
}

::testing::AssertionResult cal3dMatchesStore(const ModelStore& model, const Cal3dSetInfo& info) {
    if (!info.meshLoaded) return ::testing::AssertionFailure() << "Cal3D did not load the mesh: " << info.error;
    auto want = expectedSubmeshes(model);
    if (want.size() != info.submeshes.size())
        return ::testing::AssertionFailure() << "submesh count: store " << want.size() << ", Cal3D read "
                                             << info.submeshes.size();
    for (std::size_t i = 0; i < want.size(); ++i) {
        const auto& w = want[i];
        const auto& g = info.submeshes[i];
        if (w.vertexCount != g.vertexCount || w.faceCount != g.faceCount ||
            w.materialThreadId != g.materialThreadId || w.mapCount != g.mapCount) {
            return ::testing::AssertionFailure()
                   << "submesh " << i << ": store (thread " << w.materialThreadId << ", " << w.vertexCount
                   << " vertices, " << w.faceCount << " faces, " << w.mapCount << " maps), Cal3D read (thread "
                   << g.materialThreadId << ", " << g.vertexCount << " vertices, " << g.faceCount << " faces, "
                   << g.mapCount << " maps)";
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace molv::test
