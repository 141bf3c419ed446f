// The glTF reader where a case's listing cannot show it (cases/gltf_* pin
// placement, winding and materials): normals given per vertex, and which
// buffer files it may read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "model/store.h"
#include "support/gltf_build.h"
#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

using test::TestContext;

// A given normal follows its node's transform as a surface does (the
// inverse transpose, unit length, turned with a mirror); a transform that
// flattens space leaves no normal to keep.
TEST(GltfReader, GivenNormalsFollowTheirPlacement) {
    gltftest::Mesh g;
    g.pos = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    g.idx = {0, 1, 2};
    g.normal = {0.6f, 0, 0.8f, 0.6f, 0, 0.8f, 0.6f, 0, 0.8f};
    const struct {
        const char* matrix;
        Vec3 want;  // in the store's axes: glTF's z negated
    } rows[] = {
        {"[1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1]", {0.6f, 0, -0.8f}},
        // x mirrored and doubled: (0.6, 0, 0.8) -> (-0.6 / 2, 0, 0.8), made unit
        {"[-2,0,0,0, 0,1,0,0, 0,0,1,0, 5,0,0,1]", {-0.3511234f, 0, -0.9363292f}},
        {"[0,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1]", {0, 0, 0}},
    };
    for (const auto& r : rows) {
        g.nodes = std::string(R"([{"mesh": 0, "matrix": )") + r.matrix + "}]";
        TestContext t;
        ASSERT_TRUE(test::readGltfBytes(t.ctx, gltftest::doc(g)).ok()) << r.matrix;
        ASSERT_EQ(t.m.vertexNormals.size() >= 3, true) << r.matrix;
        for (int i = 0; i < 3; ++i) {
            const Vec3 n = t.m.vertexNormals[static_cast<std::size_t>(i)];
            EXPECT_NEAR(n.x, r.want.x, 1e-6) << r.matrix;
            EXPECT_NEAR(n.y, r.want.y, 1e-6) << r.matrix;
            EXPECT_NEAR(n.z, r.want.z, 1e-6) << r.matrix;
        }
    }
}

// The listing shows a material's map slots, not how many of them it uses.
TEST(GltfReader, TexturedMaterialUsesOneMap) {
    TestContext t;
    ASSERT_TRUE(test::readFile(t.ctx, test::dataPath("cases/gltf_material_texture.gltf")).ok());
    EXPECT_EQ(t.m.Materials[0].nMaps, 1);
}

TEST(GltfReader, ReadsBufferFilesInsideItsFolderOnly) {
    const std::string dir = test::tempDir("gltf");
    std::filesystem::create_directories(dir + "model/data");
    gltftest::Mesh g;
    const std::string bytes = gltftest::bufferOf(g);
    test::writeFile(dir + "model/data/m.bin", bytes);
    test::writeFile(dir + "outside.bin", bytes);  // a real file, so only the rule refuses it
    const std::string src = dir + "model/m.gltf";
    {
        TestContext t;
        g.bufferUri = "data/m.bin";
        ASSERT_TRUE(test::readGltfBytes(t.ctx, gltftest::doc(g), src).ok());
        EXPECT_EQ(t.m.ttlnum_Faces, 2);
    }
    for (const char* uri : {"../outside.bin", "data/../../outside.bin", "data%2F..%2F..%2Foutside.bin"}) {
        TestContext t;
        g.bufferUri = uri;
        ASSERT_FALSE(test::readGltfBytes(t.ctx, gltftest::doc(g), src).ok()) << uri;
        EXPECT_TRUE(t.ui.sawBox("which is outside its folder")) << uri;
        EXPECT_EQ(t.m.ttlnum_Faces, 0);
    }
}

}  // namespace
}  // namespace molv
