// Interop check of a written prop set with the real Cal3D library: the
// skeleton, mesh and every material the viewer configuration names are
// loaded through CalCoreModel, and what Cal3D read is handed back.
//
// Typical use in a test:
//   if (!molv::test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
//   auto info = molv::test::loadCal3dSet(dir + "model");   // model.csf/.cmf/.cfg
//   ASSERT_TRUE(info.ok()) << info.error;
//   EXPECT_TRUE(molv::test::cal3dMatchesStore(ctx.model, info));
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <utility>
#include <string>
#include <vector>

namespace molv {
class ModelStore;
struct SkeletonStore;
}

namespace molv::test {

struct Cal3dSubmeshInfo {
    int materialThreadId = 0;
    int vertexCount = 0;
    int faceCount = 0;
    int springCount = 0;
    int mapCount = 0;  // texture coordinate sets per vertex
};

struct Cal3dMaterialInfo {
    std::string path;  // as resolved from the configuration's material= line
    bool loaded = false;
    std::uint8_t ambient[4] = {0, 0, 0, 0};
    std::uint8_t diffuse[4] = {0, 0, 0, 0};
    std::uint8_t specular[4] = {0, 0, 0, 0};
    float shininess = 0;
    std::vector<std::string> maps;
};

struct Cal3dSetInfo {
    bool available = false;  // false when the tests were built without Cal3D
    // The viewer configuration (outBase + ".cfg").
    bool cfgRead = false;
    std::vector<std::string> cfgMaterials;  // values of the material= lines
    // Skeleton (outBase + ".csf").
    bool skeletonLoaded = false;
    int boneCount = 0;
    std::vector<std::string> boneNames;
    // Mesh (outBase + ".cmf").
    bool meshLoaded = false;
    std::vector<Cal3dSubmeshInfo> submeshes;
    long long totalTriangles = 0;
    // Every face corner names a vertex of its submesh and every influence a
    // bone of the loaded skeleton (checked here; Cal3D itself does not).
    bool facesInRange = true;
    bool influencesInRange = true;
    // Materials, in the configuration's order.
    std::vector<Cal3dMaterialInfo> materials;
    bool materialsLoaded = true;
    // Every failure, each naming its file and Cal3D's error text.
    std::string error;

    bool ok() const {
        return available && cfgRead && skeletonLoaded && meshLoaded && materialsLoaded && facesInRange &&
               influencesInRange;
    }
};

bool cal3dAvailable();

// Loads outBase + ".csf", outBase + ".cmf" and the .crf files named by
// outBase + ".cfg" (bare names resolve beside outBase).
Cal3dSetInfo loadCal3dSet(const std::string& outBase);

// Loads one mesh with Cal3D and saves it with CalSaver::saveCoreMesh to
// savedPath; false (err set) when a step fails. Cal3D wants a skeleton
// first: skeletonPath, or by default the .csf beside the mesh.
bool resaveCal3dMesh(const std::string& cmfPath, const std::string& savedPath, std::string& err,
                     const std::string& skeletonPath = {});

// Cal3D's reading of a skeleton file as a skeleton store: names, the four
// transforms, parents and children; skl_version is left as it was (Cal3D
// does not keep it) and name_len is the name's length plus its NUL.
bool loadCal3dSkeleton(const std::string& csfPath, SkeletonStore& out, std::string& err);

// A mesh as Cal3D holds it, every value, for comparing two files.
struct Cal3dVertexData {
    float pos[3] = {0, 0, 0}, normal[3] = {0, 0, 0};
    int collapseId = 0, collapseCount = 0;
    std::vector<std::pair<float, float>> uvs;          // one pair per texture coordinate set
    std::vector<std::pair<int, float>> influences;     // bone id, weight
};
struct Cal3dSubmeshData {
    int thread = 0, lods = 0, springs = 0;
    std::vector<Cal3dVertexData> vertices;
    std::vector<std::array<int, 3>> faces;
};
using Cal3dMeshData = std::vector<Cal3dSubmeshData>;

// Loads a mesh (with the skeleton Cal3D wants first) and hands back every value.
bool loadCal3dMesh(const std::string& cmfPath, const std::string& skeletonPath, Cal3dMeshData& out, std::string& err);
// "" when equal; else where the first difference is. Spring counts are compared only when asked.
std::string meshDifference(const Cal3dMeshData& want, const Cal3dMeshData& got, bool springs);

// Saves with Cal3D's CalSaver a three-bone skeleton, a mesh of two submeshes
// (two texture coordinate sets in the first, a vertex with six influences,
// springs in the second when asked) and a material with two maps, as
// base + ".csf", ".cmf", ".crf" or, with xml, ".xsf", ".xmf", ".xrf".
bool saveCal3dSample(const std::string& base, bool xml, bool springs, std::string& err);

// What the store says the mesh file must hold, computed independently of the
// writer: one submesh per face group with faces (groups in mesh order),
// counting the distinct vertices its faces use. Faces naming a face or
// vertex that does not exist are not counted, and a group left with no
// faces is not a submesh.
std::vector<Cal3dSubmeshInfo> expectedSubmeshes(const ModelStore& model);

// Compares Cal3D's submesh count and, per submesh, vertex count, face count
// and material thread id with expectedSubmeshes.
::testing::AssertionResult cal3dMatchesStore(const ModelStore& model, const Cal3dSetInfo& info);

}  // namespace molv::test
