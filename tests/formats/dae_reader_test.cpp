// The Collada reader where a case's listing cannot show it (cases/dae_*
// pin the stores and messages): the same store whatever the layout, the
// texture-coordinate settings, and many bindings at once.
#include <gtest/gtest.h>

#include "support/dae_build.h"
#include "model/store.h"

using namespace molv;
using namespace molv::daetest;

namespace {

TEST(DaeReader, EffectsMayComeBeforeTheirMaterials) {
    std::string doc = quadDoc();
    std::size_t m0 = doc.find("<library_materials>"), m1 = doc.find("</library_materials>\n") + 21;
    std::string mats = doc.substr(m0, m1 - m0);
    doc.erase(m0, m1 - m0);
    doc.insert(doc.find("<library_geometries>"), mats);
    auto moved = load(doc);
    ASSERT_TRUE(moved->ok);
    EXPECT_TRUE(moved->ui.boxes.empty());
    auto original = load(quadDoc());
    EXPECT_EQ(test::storeListing(moved->m()), test::storeListing(original->m()));
    EXPECT_EQ(original->m().Meshes[0].num_Vertices, 5);  // position 0 twice
}

TEST(DaeReader, TextureCoordinatesWrapAndFlip) {
    const std::string doc = edit(quadDoc(), "0 0 1 0 1 1 0.25 0.5 0 1", "-0.5 -0.25 1.5 0 1 1 0.25 0.5 0 1.75");
    auto both = load(doc, [](Context& c) { c.settings.autoscale_UVs = true; });
    ASSERT_TRUE(both->ok);
    EXPECT_FLOAT_EQ(both->vtx(0).UVs[0].u, 0.5f);   // -0.5 wraps to 0.5
    EXPECT_FLOAT_EQ(both->vtx(0).UVs[0].v, 0.25f);  // -0.25 -> 0.75 -> flipped
    EXPECT_FLOAT_EQ(both->vtx(1).UVs[0].u, 0.5f);   // 1.5 -> 0.5
    EXPECT_FLOAT_EQ(both->vtx(3).UVs[0].v, 0.25f);  // 1.75 -> 0.75 -> flipped
    auto flipOnly = load(doc);
    EXPECT_FLOAT_EQ(flipOnly->vtx(0).UVs[0].u, -0.5f);
    EXPECT_FLOAT_EQ(flipOnly->vtx(0).UVs[0].v, 1.25f);
    auto neither = load(doc, [](Context& c) { c.settings.flip_3DS_UV_Vs = false; });
    EXPECT_FLOAT_EQ(neither->vtx(0).UVs[0].v, -0.25f);
    // 0 and 1 are inside the range: nothing wraps.
    auto inRange = load(quadDoc(), [](Context& c) { c.settings.autoscale_UVs = true; });
    EXPECT_FLOAT_EQ(inRange->vtx(1).UVs[0].u, 1.0f);
    EXPECT_FLOAT_EQ(inRange->vtx(1).UVs[0].v, 1.0f);
    EXPECT_FLOAT_EQ(inRange->vtx(2).UVs[0].v, 0.0f);
}

// An accessor without a stride steps by its params: here S, T and a third
// coordinate the store does not keep.
TEST(DaeReader, AccessorWithoutStrideStepsByItsParams) {
    std::string doc = edit(quadDoc(), "count=\"10\">0 0 1 0 1 1 0.25 0.5 0 1<",
                           "count=\"15\">0 0 9 1 0 9 1 1 9 0.25 0.5 9 0 1 9<");
    doc = edit(doc, "count=\"5\" stride=\"2\">\n<param name=\"S\" type=\"float\"/>\n<param name=\"T\" type=\"float\"/>",
               "count=\"5\">\n<param name=\"S\" type=\"float\"/>\n<param name=\"T\" type=\"float\"/>\n"
               "<param name=\"P\" type=\"float\"/>");
    auto triples = load(doc);
    auto pairs = load(quadDoc());
    ASSERT_TRUE(triples->ok);
    ASSERT_EQ(triples->m().ttlnum_Vertices, pairs->m().ttlnum_Vertices);
    for (std::int32_t i = 0; i < pairs->m().ttlnum_Vertices; ++i) {
        EXPECT_EQ(triples->vtx(i).UVs[0].u, pairs->vtx(i).UVs[0].u) << i;
        EXPECT_EQ(triples->vtx(i).UVs[0].v, pairs->vtx(i).UVs[0].v) << i;
    }
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
