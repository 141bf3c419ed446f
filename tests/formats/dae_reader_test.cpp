// The Collada reader where a case's listing cannot show it (cases/dae_*
// pin the stores and messages; dae_effects_first and
// dae_accessor_without_stride give dae_quad's store from another layout):
// the texture-coordinate settings, and many bindings at once.
#include <gtest/gtest.h>

#include <vector>

#include "model/store.h"
#include "support/dae_build.h"
#include "support/harness.h"
#include "support/test_support.h"

using namespace molv;

namespace {

// The first texture pair of each vertex, as read with the settings given.
std::vector<UV> uvs(const std::string& doc, bool wrap, bool flip) {
    test::TestContext t;
    t.ctx.settings.autoscale_UVs = wrap;
    t.ctx.settings.flip_3DS_UV_Vs = flip;
    EXPECT_TRUE(test::readDaeBytes(t.ctx, doc, "test.dae").ok());
    std::vector<UV> out;
    for (std::int32_t v = 0; v < t.m.ttlnum_Vertices; ++v) out.push_back(t.vtx(v).UVs[0]);
    return out;
}

TEST(DaeReader, TextureCoordinatesWrapAndFlip) {
    // The quad's texture pairs -0.5,-0.25 1.5,0 1,1 0.25,0.5 0,1.75; its listing has them flipped only.
    const std::string doc = test::readFile(test::dataPath("cases/dae_uv_out_of_range.dae"));
    const std::vector<UV> both = uvs(doc, true, true);
    ASSERT_EQ(both.size(), 5u);
    EXPECT_FLOAT_EQ(both[0].u, 0.5f);   // -0.5 wraps to 0.5
    EXPECT_FLOAT_EQ(both[0].v, 0.25f);  // -0.25 -> 0.75 -> flipped
    EXPECT_FLOAT_EQ(both[1].u, 0.5f);   // 1.5 -> 0.5
    EXPECT_FLOAT_EQ(both[3].v, 0.25f);  // 1.75 -> 0.75 -> flipped
    EXPECT_FLOAT_EQ(uvs(doc, false, false)[0].v, -0.25f);
    // 0 and 1 are inside the range: nothing wraps.
    const std::vector<UV> inRange = uvs(daetest::quadDoc(), true, true);
    EXPECT_FLOAT_EQ(inRange[1].u, 1.0f);
    EXPECT_FLOAT_EQ(inRange[1].v, 1.0f);
    EXPECT_FLOAT_EQ(inRange[2].v, 0.0f);
}

TEST(DaeReader, ThousandsOfBindingsEachFindTheirGroupAndMaterial) {
    // Once a search of every group per binding and of every material per
    // match: 20000 of them took minutes.
    const int n = 20000;
    std::string mats = "<library_materials>\n", prims, binds;
    for (int i = 0; i < n; ++i) {
        const std::string k = std::to_string(i);
        mats += "<material id=\"M" + k + "\"/>\n";
        prims += "<triangles count=\"1\" material=\"s" + k +
                 "\">\n<input semantic=\"VERTEX\" source=\"#T-v\" offset=\"0\"/>\n<p>0 1 2</p>\n</triangles>\n";
        // Bound in the opposite order, to lower-case names.
        binds += "<instance_material symbol=\"s" + std::to_string(n - 1 - i) + "\" target=\"#m" +
                 std::to_string(n - 1 - i) + "\"/>\n";
    }
    const std::string doc =
        "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\">\n" + mats + "</library_materials>\n"
        "<library_geometries>\n<geometry id=\"T\">\n<mesh>\n<source id=\"T-pos\">\n"
        "<float_array id=\"a\">1 0 0 0 1 0 0 0 1</float_array>\n<technique_common>\n<accessor stride=\"3\">\n"
        "</accessor>\n</technique_common>\n</source>\n<vertices id=\"T-v\">\n"
        "<input semantic=\"POSITION\" source=\"#T-pos\"/>\n</vertices>\n" + prims + "</mesh>\n</geometry>\n"
        "</library_geometries>\n<library_visual_scenes>\n<visual_scene id=\"S\">\n<node id=\"a\">\n"
        "<instance_geometry url=\"#T\">\n<bind_material>\n<technique_common>\n" + binds +
        "</technique_common>\n</bind_material>\n</instance_geometry>\n</node>\n</visual_scene>\n"
        "</library_visual_scenes>\n</COLLADA>\n";
    test::TestContext t;
    ASSERT_TRUE(test::readDaeBytes(t.ctx, doc, "test.dae").ok());
    const ModelStore& m = t.m;
    ASSERT_EQ(m.nFaceGrps, n);
    for (int g = 0; g < n; ++g) ASSERT_EQ(m.FaceGrps[static_cast<std::size_t>(g)].MtlID, g) << g;
}

}  // namespace
