// Every glTF 2.0 sample of Debian's assimp-testmodels, converted as a user
// would convert it: where assimp imports it, the written prop set loads in
// the Cal3D library with as many triangles as assimp places in its scene;
// where assimp refuses it, the conversion ends with a message, not a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cal3d_check.h"
#include "support/harness.h"
#include "support/test_support.h"

#ifdef MOLV_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace molv {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> samples() {
    std::vector<std::string> out;
#ifdef MOLV_ASSIMP_MODELS
    out = test::filesUnder(MOLV_ASSIMP_MODELS "/glTF2", {".gltf", ".glb"});
#endif
    if (out.empty()) out.push_back("");  // one case, which skips
    return out;
}

#ifdef MOLV_HAVE_ASSIMP
// Triangles of every mesh each node places, from the root down.
long long placedTriangles(const aiScene& s, const aiNode& n) {
    long long t = 0;
    for (unsigned i = 0; i < n.mNumMeshes; ++i) {
        const aiMesh& m = *s.mMeshes[n.mMeshes[i]];
        for (unsigned f = 0; f < m.mNumFaces; ++f) t += m.mFaces[f].mNumIndices == 3;
    }
    for (unsigned c = 0; c < n.mNumChildren; ++c) t += placedTriangles(s, *n.mChildren[c]);
    return t;
}
#endif

// Samples assimp imports that the reader refuses on purpose, and what it
// tells the user.
const struct {
    const char* sample;
    const char* said;
} kRefused[] = {
    {"BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", "is not a finite number"},
    {"IndexOutOfRange/IndexOutOfRange.gltf", "is beyond its 24 vertices"},
    {"draco/2CylinderEngine.gltf", "compressed (KHR_draco_mesh_compression), which is not supported"},
};

struct GltfSample : ::testing::TestWithParam<std::string> {};

TEST_P(GltfSample, ConvertsWithAssimpsTriangleCountAndLoadsInCal3d) {
#if !defined(MOLV_HAVE_ASSIMP) || !defined(MOLV_ASSIMP_MODELS)
    GTEST_SKIP() << "built without assimp or its test models";
#else
    if (GetParam().empty()) GTEST_SKIP() << "assimp-testmodels is not installed";
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const fs::path src = fs::path(MOLV_ASSIMP_MODELS) / "glTF2" / GetParam();
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(src.string(), 0);
    const long long want = scene && scene->mRootNode ? placedTriangles(*scene, *scene->mRootNode) : -1;

    // A copy with its companions, so nothing is written beside the package's files.
    const std::string dir = test::tempDir("gltfsample");
    for (const auto& e : fs::directory_iterator(src.parent_path()))
        if (e.is_regular_file()) fs::copy_file(e.path(), dir + e.path().filename().string());
    const std::string copy = dir + src.filename().string();
    test::TestContext t;
    const bool ok = test::convert(t.ctx, copy);
    for (const auto& r : kRefused)
        if (GetParam() == r.sample) {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(t.ui.sawBox(r.said)) << r.said;
            return;
        }
    if (want <= 0) {
        // assimp refuses it or finds no triangles: ours must say why it fails.
        if (!ok) {
            EXPECT_FALSE(t.ui.boxes.empty()) << "failed silently";
        }
        return;
    }
    ASSERT_TRUE(ok) << (t.ui.boxes.empty() ? std::string() : t.ui.boxes.back().text);
    const auto info = test::loadCal3dSet(copy.substr(0, copy.rfind('.')));
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_EQ(info.totalTriangles, want);
    EXPECT_TRUE(test::cal3dMatchesStore(t.m, info));
#endif
}

INSTANTIATE_TEST_SUITE_P(AssimpTestModels, GltfSample, ::testing::ValuesIn(samples()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                             return test::testName(p.param.empty() ? "none" : p.param);
                         });

}  // namespace
}  // namespace molv
