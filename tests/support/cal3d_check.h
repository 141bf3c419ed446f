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
    std::uint8_t ambient[4] = {0, 0, 0, 0};
    std::uint8_t diffuse[4] = {0, 0, 0, 0};
    float shininess = 0;
    std::vector<std::string> maps;
};

struct Cal3dSetInfo {
    // The viewer configuration (outBase + ".cfg").
    bool cfgRead = false;
    std::vector<std::string> cfgMaterials;  // values of the material= lines
    // Skeleton (outBase + ".csf").
    bool skeletonLoaded = false;
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
        return cfgRead && skeletonLoaded && meshLoaded && materialsLoaded && facesInRange &&
               influencesInRange;
    }
};

bool cal3dAvailable();

// Loads outBase + ".csf", outBase + ".cmf" and the .crf files named by
// outBase + ".cfg" (bare names resolve beside outBase).
Cal3dSetInfo loadCal3dSet(const std::string& outBase);

// Loads a skeleton (.csf) or a mesh with Cal3D and saves it with CalSaver to
// savedPath; false (err set) when a step fails. Cal3D wants a skeleton
// before a mesh: skeletonPath, or by default the .csf beside the mesh.
// Defined only when built with Cal3D, as *_interop_test.cpp files are.
bool resaveWithCal3d(const std::string& path, const std::string& savedPath, std::string& err,
                     const std::string& skeletonPath = {});

// A mesh as Cal3D holds it, every value, for comparing two files.
struct Cal3dVertexData {
    float pos[3] = {0, 0, 0}, normal[3] = {0, 0, 0};
    int collapseId = 0, collapseCount = 0;
    std::vector<std::pair<float, float>> uvs;          // one pair per texture coordinate set
    std::vector<std::pair<int, float>> influences;     // bone id, weight
};
struct Cal3dSubmeshData {
    int thread = 0, lods = 0, springs = 0, maps = 0;
    std::vector<Cal3dVertexData> vertices;
    std::vector<std::array<int, 3>> faces;
};
using Cal3dMeshData = std::vector<Cal3dSubmeshData>;

// Loads a mesh (with the skeleton Cal3D wants first) and hands back every value.
bool loadCal3dMesh(const std::string& cmfPath, const std::string& skeletonPath, Cal3dMeshData& out, std::string& err);
// "" when equal; else where the first difference is. Spring counts are compared only when asked.
std::string meshDifference(const Cal3dMeshData& want, const Cal3dMeshData& got, bool springs);

// Compares Cal3D's submesh count and, per submesh, vertex count, face count,
// material thread id and map count with what the store says the mesh holds,
// computed independently of the writer: one submesh per face group with
// usable faces (groups in mesh order), counting the distinct vertices used.
::testing::AssertionResult cal3dMatchesStore(const ModelStore& model, const Cal3dSetInfo& info);

}  // namespace molv::test
