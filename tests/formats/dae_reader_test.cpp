// The Collada reader where a case's listing cannot show it (cases/dae_*
// pin the stores and messages; dae_effects_first and
// dae_accessor_without_stride give dae_quad's store from another layout):
// the texture-coordinate settings, and many bindings at once.
#include <gtest/gtest.h>

#include "support/dae_build.h"
#include "model/store.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::daetest;

namespace {

TEST(DaeReader, TextureCoordinatesWrapAndFlip) {
    // The quad's texture pairs -0.5,-0.25 1.5,0 1,1 0.25,0.5 0,1.75; its listing has them flipped only.
    const std::string doc = test::readFile(test::dataPath("cases/dae_uv_out_of_range.dae"));
    auto both = load(doc, [](Context& c) { c.settings.autoscale_UVs = true; });
    ASSERT_TRUE(both->ok);
    EXPECT_FLOAT_EQ(both->vtx(0).UVs[0].u, 0.5f);   // -0.5 wraps to 0.5
    EXPECT_FLOAT_EQ(both->vtx(0).UVs[0].v, 0.25f);  // -0.25 -> 0.75 -> flipped
    EXPECT_FLOAT_EQ(both->vtx(1).UVs[0].u, 0.5f);   // 1.5 -> 0.5
    EXPECT_FLOAT_EQ(both->vtx(3).UVs[0].v, 0.25f);  // 1.75 -> 0.75 -> flipped
    auto neither = load(doc, [](Context& c) { c.settings.flip_3DS_UV_Vs = false; });
    EXPECT_FLOAT_EQ(neither->vtx(0).UVs[0].v, -0.25f);
    // 0 and 1 are inside the range: nothing wraps.
    auto inRange = load(quadDoc(), [](Context& c) { c.settings.autoscale_UVs = true; });
    EXPECT_FLOAT_EQ(inRange->vtx(1).UVs[0].u, 1.0f);
    EXPECT_FLOAT_EQ(inRange->vtx(1).UVs[0].v, 1.0f);
    EXPECT_FLOAT_EQ(inRange->vtx(2).UVs[0].v, 0.0f);
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
    std::string doc = wrapDoc(geometry("T", "1 0 0 0 1 0 0 0 1", prims),
                              "<node id=\"a\">\n<instance_geometry url=\"#T\">\n<bind_material>\n<technique_common>\n" +
                                  binds + "</technique_common>\n</bind_material>\n</instance_geometry>\n</node>\n");
    doc.insert(doc.find("<library_geometries>"), mats + "</library_materials>\n");
    auto l = load(doc);
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->m();
    ASSERT_EQ(m.nFaceGrps, n);
    for (int g = 0; g < n; ++g) ASSERT_EQ(m.FaceGrps[static_cast<std::size_t>(g)].MtlID, g) << g;
}

}  // namespace
