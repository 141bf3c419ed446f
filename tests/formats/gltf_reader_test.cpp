// The glTF reader on small documents written here and on a sample whose
// Collada export by assimp is among the test models: placement, axes,
// winding, materials, texture coordinates, and which files it may read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "model/store.h"
#include "support/gltf_build.h"
#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

using test::TestContext;

const Vertex& vtx(const ModelStore& m, std::int32_t i) { return m.Vertices[static_cast<std::size_t>(i)]; }

// Every triangle as its corners' up-axis positions and texture
// coordinates, rounded, each starting at its smallest corner (the
// winding kept), the list sorted: two reads of one model compare equal
// whatever their vertex and face order.
using Corner = std::array<long, 5>;
std::vector<std::array<Corner, 3>> triangles(const ModelStore& m) {
    auto r = [](float v) { return std::lround(v * 10000); };
    std::vector<std::array<Corner, 3>> out;
    for (std::int32_t f = 0; f < m.ttlnum_Faces; ++f) {
        std::array<Corner, 3> t;
        for (int k = 0; k < 3; ++k) {
            const std::int32_t i = m.VFaces[static_cast<std::size_t>(f)].vtx[k];
            const Vertex& v = vtx(m, i);
            const Vec3 z = m.zupOf(i);
            const UV uv = v.UVs.size() > 0 ? v.UVs[0] : UV{};
            t[static_cast<std::size_t>(k)] = {r(z.x), r(z.y), r(z.z), r(uv.u), r(uv.v)};
        }
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
        out.push_back(t);
    }
    std::sort(out.begin(), out.end());
    return out;
}

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

TEST(GltfReader, PlacesEachInstanceYUpAndKeepsTheWindingOfMirroredOnes) {
    // The triangle placed twice: moved by (10, 20, 30), and mirrored in x
    // under a parent turned a quarter about y.
    gltftest::Mesh g;
    g.pos = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    g.idx = {0, 1, 2};
    g.nodes = R"([{"mesh": 0, "translation": [10, 20, 30]},
                  {"rotation": [0, 0.70710678, 0, 0.70710678], "children": [2]},
                  {"mesh": 0, "matrix": [-1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1]}])";
    g.scenes = R"([{"nodes": [0, 1]}])";
    TestContext t;
    ASSERT_TRUE(test::readGltfBytes(t.ctx, gltftest::doc(g)).ok());
    const ModelStore& m = t.m;
    ASSERT_EQ(m.meshCount, 2);
    EXPECT_EQ(m.Meshes[0].name, "m");
    EXPECT_EQ(m.Meshes[1].name, "m_2");
    ASSERT_EQ(m.ttlnum_Vertices, 6);
    ASSERT_EQ(m.ttlnum_Faces, 2);
    // y up: the store's z runs back, its up-axis copy has z up.
    EXPECT_EQ(vtx(m, 1).pos, (Vec3{11, 20, -30}));
    EXPECT_EQ(m.zupOf(1), (Vec3{11, -30, 20}));
    // Mirrored, then turned: glTF (1, 0, 0) -> (-1, 0, 0) -> (0, 0, 1).
    EXPECT_NEAR(vtx(m, 4).pos.x, 0, 1e-6);
    EXPECT_NEAR(vtx(m, 4).pos.z, -1, 1e-6);
    // Each face winds the same way about its true normal: +z for the
    // first, +x for the mirrored and turned copy (a mirror keeps the front
    // side, so its flip of the corner order is undone).
    auto normal = [&](int f) {
        const Face& fc = m.VFaces[static_cast<std::size_t>(f)];
        auto gl = [&](int k) {
            const Vec3 p = vtx(m, fc.vtx[k]).pos;
            return Vec3{p.x, p.y, -p.z};
        };
        const Vec3 a = gl(0), b = gl(1), c = gl(2);
        const Vec3 u{b.x - a.x, b.y - a.y, b.z - a.z}, v{c.x - a.x, c.y - a.y, c.z - a.z};
        return Vec3{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    };
    EXPECT_NE(normal(0).z, 0);
    EXPECT_EQ(normal(0).z > 0, normal(1).x > 0);
    EXPECT_EQ(m.VFaces[0].vtx[0], 2);  // the store keeps corners reversed
    EXPECT_EQ(m.VFaces[1].vtx[0], 4);  // ... and the mirrored copy's b and c swapped back
}

TEST(GltfReader, MaterialsTextureFilesAndCoordinates) {
    gltftest::Mesh g;
    g.uv = {0.25f, 0.1f, 1, 0, 0, 1, 1, 1};
    g.materials = R"([{"name": "Wood", "pbrMetallicRoughness": {"baseColorFactor": [1, 0.5, 0, 0.75],
                                                                "baseColorTexture": {"index": 0}}}])";
    g.extra = R"("textures": [{"source": 0}], "images": [{"uri": "maps/my%20wood.png"}, {"uri": "../x.png"}],)";
    g.material = 0;
    TestContext t;
    ASSERT_TRUE(test::readGltfBytes(t.ctx, gltftest::doc(g)).ok());
    const ModelStore& m = t.m;
    ASSERT_EQ(m.nMaterials, 1);
    const Material& mt = m.Materials[0];
    EXPECT_EQ(mt.name, "Wood");
    EXPECT_EQ(mt.diffuse, (Colour{255, 128, 0, 0}));
    EXPECT_FLOAT_EQ(mt.transparency, 0.25f);
    ASSERT_EQ(mt.nMaps, 1);
    EXPECT_EQ(mt.maps[0], "maps/my wood.png");
    EXPECT_EQ(m.FaceGrps[0].MtlID, 0);
    EXPECT_EQ(m.FaceGrps[0].num_maps, 1);
    // With the default settings the store holds glTF's own (u, v).
    EXPECT_FLOAT_EQ(vtx(m, 0).UVs[0].u, 0.25f);
    EXPECT_FLOAT_EQ(vtx(m, 0).UVs[0].v, 0.1f);

    // A primitive without a material gets one of its own.
    TestContext t2;
    ASSERT_TRUE(test::readGltfBytes(t2.ctx, gltftest::doc({})).ok());
    ASSERT_EQ(t2.m.nMaterials, 1);
    EXPECT_EQ(t2.m.Materials[0].name, "Default");
    EXPECT_EQ(t2.m.FaceGrps[0].MtlID, 0);
}

TEST(GltfReader, SameTrianglesAsAssimpsColladaExportOfTheSameModel) {
    TestContext g, d;
    ASSERT_TRUE(test::readFile(g.ctx, test::dataPath("gltf/BoxTextured.gltf")).ok());
    ASSERT_TRUE(test::readFile(d.ctx, test::dataPath("dae/boxtextured_assimp.dae")).ok());
    ASSERT_EQ(g.m.ttlnum_Faces, 12);
    EXPECT_EQ(triangles(g.m), triangles(d.m));
    // The binary file holds the same model.
    TestContext b;
    ASSERT_TRUE(test::readFile(b.ctx, test::dataPath("gltf/BoxTextured.glb")).ok());
    EXPECT_EQ(triangles(b.m), triangles(g.m));
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
