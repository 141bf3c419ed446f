// The Collada reader on small documents written here: the store it fills,
// the messages it gives, and the same results whatever the layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/dae_build.h"
#include "model/store.h"

using namespace molv;
using namespace molv::daetest;

namespace {

std::vector<std::int32_t> corners(const Loaded& l) {
    std::vector<std::int32_t> out;
    for (std::int32_t f = 0; f < l.m().ttlnum_Faces; ++f)
        for (int c : l.face(f)) out.push_back(c);
    return out;
}

// --- The exporters' layout -------------------------------------------------------

TEST(DaeReader, QuadFillsOneMeshAndSplitsAVertexUsedWithTwoCoordinates) {
    auto l = load(quadDoc());
    ASSERT_TRUE(l->ok);
    for (auto& b : l->ui.boxes) ADD_FAILURE() << b.text;
    const ModelStore& m = l->m();
    ASSERT_EQ(m.meshCount, 1);
    EXPECT_EQ(m.Meshes[0].name, "quad-mesh");
    EXPECT_EQ(m.ttlnum_Vertices, 5);  // position 0 twice
    EXPECT_EQ(m.Meshes[0].num_Vertices, 5);
    EXPECT_EQ(m.Meshes[0].vtx_ndx_end, 4);
    EXPECT_EQ(m.ttlnum_Faces, 2);
    // Corners stored last first; the second triangle's first corner is the split copy.
    EXPECT_EQ(corners(*l), (std::vector<std::int32_t>{2, 1, 0, 3, 2, 4}));
    EXPECT_EQ(l->vtx(4).pos, l->vtx(0).pos);
    EXPECT_EQ(l->vtx(0).uv_id, 0);
    EXPECT_EQ(l->vtx(4).uv_id, 3);
    // v flipped (the flip setting is on by default).
    EXPECT_FLOAT_EQ(l->vtx(4).UVs[0].u, 0.25f);
    EXPECT_FLOAT_EQ(l->vtx(4).UVs[0].v, 0.5f);
    EXPECT_FLOAT_EQ(l->vtx(2).UVs[0].u, 1.0f);
    EXPECT_FLOAT_EQ(l->vtx(2).UVs[0].v, 0.0f);
    ASSERT_EQ(m.nFaceGrps, 1);
    const FaceGroup& g = m.FaceGrps[0];
    EXPECT_EQ(g.MatlSymbol, "Wood-material");
    EXPECT_EQ(g.MtlID, 0);
    EXPECT_EQ(g.nFcs, 2);
    EXPECT_EQ(g.num_maps, 1);
    EXPECT_EQ(l->ctx.app.readAbort, false);
}

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
    EXPECT_EQ(test::storeText(moved->m()), test::storeText(original->m()));
}

TEST(DaeReader, ColourMessages) {
    auto spec = load(edit(quadDoc(), "<color>0.5 0.25 1 1</color>", "<texture texture=\"tex-sampler\" texcoord=\"t\"/>"));
    ASSERT_TRUE(spec->ok);
    EXPECT_TRUE(spec->sawBox("Texture on specular"));
    EXPECT_EQ(spec->m().Materials[0].specular, (Colour{255, 255, 255, 0}));
    auto param = load(edit(quadDoc(), "<color>0.5 0.25 1 1</color>", "<param ref=\"spec\"/>"));
    ASSERT_TRUE(param->ok);
    EXPECT_TRUE(param->sawBox("expected COLOR or TEXTURE tag, got (param)\r\n(at line 38 in test.dae)"));
    EXPECT_EQ(param->m().Materials[0].specular, (Colour{0, 0, 0, 0}));
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

TEST(DaeReader, OffsetsAndStrideComeFromTheInputs) {
    // Only VERTEX and TEXCOORD, the coordinates at offset 1.
    std::string doc = edit(quadDoc(), "<input semantic=\"NORMAL\" source=\"#Quad-mesh-normals\" offset=\"1\"/>\n", "");
    doc = edit(doc, "offset=\"2\" set=\"0\"", "offset=\"1\" set=\"0\"");
    doc = edit(doc, "<p>0 0 0 1 0 1 2 0 2 0 0 3 2 0 2 3 0 4</p>", "<p>0 0 1 1 2 2 0 3 2 2 3 4</p>");
    auto l = load(doc);
    ASSERT_TRUE(l->ok);
    EXPECT_TRUE(l->ui.boxes.empty());
    EXPECT_EQ(test::storeText(l->m()), test::storeText(load(quadDoc())->m()));
    // All inputs at offset 0 (one index per corner), as assimp writes them.
    std::string shared = edit(quadDoc(), "offset=\"1\"/>", "offset=\"0\"/>");
    shared = edit(shared, "offset=\"2\" set=\"0\"", "offset=\"0\" set=\"0\"");
    shared = edit(shared, "<p>0 0 0 1 0 1 2 0 2 0 0 3 2 0 2 3 0 4</p>", "<p>0 1 2 0 2 3</p>");
    auto s = load(shared);
    ASSERT_TRUE(s->ok);
    EXPECT_EQ(s->m().ttlnum_Vertices, 4);
    EXPECT_EQ(s->vtx(3).uv_id, 3);
}

TEST(DaeReader, InputMessages) {
    std::string doc = edit(quadDoc(), "<input semantic=\"NORMAL\" source=\"#Quad-mesh-normals\" offset=\"1\"/>",
                           "<input semantic=\"COLOR\" source=\"#Quad-mesh-normals\" offset=\"1\"/>");
    doc = edit(doc, "</mesh>", "<triangles count=\"0\">\n<input semantic=\"COLOR\" source=\"#c\" offset=\"0\"/>\n"
                               "<input semantic=\"VERTEX\" source=\"#Quad-mesh-vertices\"/>\n<p></p>\n</triangles>\n</mesh>");
    auto l = load(doc);
    ASSERT_TRUE(l->ok);
    ASSERT_EQ(l->ui.boxes.size(), 2u);  // COLOR once per document
    EXPECT_NE(l->ui.boxes[0].text.find("Unexpected Triangles Input (COLOR)\r\n(at line 88 in test.dae)"),
              std::string::npos);
    EXPECT_NE(l->ui.boxes[1].text.find("Expected offset 0 for semantic VERTEX, found none"), std::string::npos);
    EXPECT_EQ(l->m().ttlnum_Faces, 2);
}

TEST(DaeReader, PolylistsArePolygonsFannedFromTheirFirstCorner) {
    auto l = load(wrapDoc(geometry("g", "0 0 0 1 0 0 1 1 0 0 1 0 2 0 0 2 1 0 3 0 0",
                                   "<polylist count=\"3\">\n<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>\n"
                                   "<vcount>4 5 2</vcount>\n<p>0 1 2 3 1 4 5 6 2 5 6</p>\n</polylist>\n")));
    ASSERT_TRUE(l->ok);
    // Quad 0 1 2 3 -> (0 1 2) (0 2 3); pentagon 1 4 5 6 2 -> three; the
    // two-corner polygon adds nothing.
    EXPECT_EQ(corners(*l), (std::vector<std::int32_t>{2, 1, 0, 3, 2, 0, 5, 4, 1, 6, 5, 1, 2, 6, 1}));
    EXPECT_TRUE(l->ui.boxes.empty());
}

TEST(DaeReader, PolygonsStripsAndFansAreReadAndLinesPassedOver) {
    const std::string in = "<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>\n";
    auto l = load(wrapDoc(geometry("g", "0 0 0 1 0 0 1 1 0 0 1 0 2 2 2",
                                   "<lines count=\"1\">\n" + in + "<p>0 1</p>\n</lines>\n<polygons count=\"2\">\n" + in +
                                       "<p>0 1 2 3</p>\n<p>1 2 4</p>\n<ph><p>0 1 2</p><h>3</h></ph>\n</polygons>\n"
                                       "<tristrips count=\"1\">\n" + in + "<p>0 1 2 3</p>\n</tristrips>\n"
                                       "<trifans count=\"1\">\n" + in + "<p>4 0 1 2</p>\n</trifans>\n"
                                       "<linestrips count=\"1\">\n" + in + "<p>0 1 2</p>\n</linestrips>\n")));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().nFaceGrps, 3);
    EXPECT_EQ(corners(*l), (std::vector<std::int32_t>{2, 1, 0, 3, 2, 0, 4, 2, 1,  // polygons
                                                      2, 1, 0,                    // <ph>: its outline, holes not cut
                                                      2, 1, 0, 3, 1, 2,           // strip, every second turned
                                                      1, 0, 4, 2, 1, 4}));        // fan
    EXPECT_NE(std::find_if(l->ui.everyLogLine.begin(), l->ui.everyLogLine.end(),
                           [](const std::string& s) { return s.find("1 polygon has holes") != std::string::npos; }),
              l->ui.everyLogLine.end());
}

// --- Placement by the visual scene ----------------------------------------------------

const char* kTri =
    "<triangles count=\"1\">\n<input semantic=\"VERTEX\" source=\"#T-v\" offset=\"0\"/>\n<p>0 1 2</p>\n</triangles>\n";
std::string triDoc(std::string_view scene, std::string_view extra = {}) {
    std::string d = wrapDoc(geometry("T", "1 0 0 0 1 0 0 0 1", kTri), scene);
    if (!extra.empty()) d.insert(d.find("</COLLADA>"), extra);
    return d;
}

TEST(DaeReader, NodesPlaceEachInstance) {
    auto l = load(triDoc(
        "<node id=\"a\">\n<translate>10 0 0</translate>\n<instance_geometry url=\"#T\"/>\n</node>\n"
        "<node id=\"b\">\n<translate>0 0 5</translate>\n<node id=\"c\">\n<rotate>0 0 1 90</rotate>\n<scale>2 2 2</scale>\n"
        "<instance_geometry url=\"#T\"/>\n</node>\n</node>\n"
        "<node id=\"d\">\n<matrix>1 0 0 1 0 1 0 2 0 0 1 3 0 0 0 1</matrix>\n<instance_node url=\"#lib\"/>\n</node>\n",
        "<library_nodes>\n<node id=\"lib\">\n<scale>1 1 -1</scale>\n<instance_geometry url=\"#T\"/>\n</node>\n</library_nodes>\n"));
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->m();
    ASSERT_EQ(m.meshCount, 3);
    EXPECT_EQ(m.ttlnum_Faces, 3);
    EXPECT_EQ(m.Meshes[0].name, "t");
    EXPECT_EQ(m.Meshes[1].name, "t_2");
    auto z = [&](int i) { return l->zup(i); };
    EXPECT_EQ(z(0), (Vec3{11, 0, 0}));
    EXPECT_EQ(z(2), (Vec3{10, 0, 1}));
    // (1 0 0) scaled to (2 0 0), turned to (0 2 0), lifted to (0 2 5).
    EXPECT_NEAR(z(3).x, 0, 1e-6);
    EXPECT_NEAR(z(3).y, 2, 1e-6);
    EXPECT_NEAR(z(3).z, 5, 1e-6);
    EXPECT_NEAR(z(4).x, -2, 1e-6);
    // Mirrored by the library node, moved by the matrix: (0 0 1) -> (1 2 2),
    // and the corners turn the other way so the face still faces out.
    EXPECT_EQ(z(8), (Vec3{1, 2, 2}));
    EXPECT_EQ(corners(*l), (std::vector<std::int32_t>{2, 1, 0, 5, 4, 3, 7, 8, 6}));
}

TEST(DaeReader, SymbolsBindPerInstanceThenAnywhereThenByName) {
    std::string mats =
        "<library_materials>\n<material id=\"Red\"/>\n<material id=\"Blue\"/>\n<material id=\"sym\"/>\n"
        "</library_materials>\n";
    auto bind = [](const char* target) {
        return std::string("<bind_material>\n<technique_common>\n<instance_material symbol=\"sym\" target=\"#") + target +
               "\"/>\n</technique_common>\n</bind_material>\n";
    };
    std::string tri = kTri;
    tri.replace(tri.find("<triangles"), 10, "<triangles material=\"sym\"");
    std::string doc = wrapDoc(geometry("T", "1 0 0 0 1 0 0 0 1", tri),
                              "<node id=\"a\">\n<instance_geometry url=\"#T\">\n" + bind("Red") +
                                  "</instance_geometry>\n<instance_geometry url=\"#T\">\n" + bind("blue") +
                                  "</instance_geometry>\n<instance_geometry url=\"#T\"/>\n</node>\n");
    doc.insert(doc.find("<library_geometries>"), mats);
    auto l = load(doc);
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->m();
    ASSERT_EQ(m.nFaceGrps, 3);
    EXPECT_EQ(m.FaceGrps[0].MtlID, 0);  // Red
    EXPECT_EQ(m.FaceGrps[1].MtlID, 1);  // "blue" matches Blue without regard to case
    EXPECT_EQ(m.FaceGrps[2].MtlID, 0);  // unbound: the symbol's first binding in the scene
    // No binding anywhere: the material named like the symbol.
    std::string byName = wrapDoc(geometry("T", "1 0 0 0 1 0 0 0 1", tri));
    byName.insert(byName.find("<library_geometries>"), mats);
    auto n = load(byName);
    EXPECT_EQ(n->m().FaceGrps[0].MtlID, 2);
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

// --- Layout --------------------------------------------------------------------------

}  // namespace
