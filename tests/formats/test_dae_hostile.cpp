// Broken and hostile Collada input: indices and counts beyond the data,
// broken nesting, truncation, runaway scenes. The reader must never index
// out of range, hang or report success for a document it could not read,
// and it names the line of the trouble.
#include <gtest/gtest.h>

#include <chrono>

#include "formats/dae_build.h"
#include "formats/test_dae_build.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::daetest;

namespace {

const char* kIn = "<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>\n";

std::string triangles(std::string_view p, std::string_view count = "1") {
    return std::string("<triangles count=\"") + std::string(count) + "\">\n" + kIn + "<p>" + std::string(p) +
           "</p>\n</triangles>\n";
}

std::string triDocFor(std::string_view scene) {
    return wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", triangles("0 1 2")), scene);
}

}  // namespace

TEST(DaeHostile, IndexBeyondThePositionsLeavesTheTriangleOut) {
    auto l = load(wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", triangles("0 1 2 0 1 7 2 1 0 -1 0 1", "4"))));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Faces, 2);
    ASSERT_EQ(l->ui.boxes.size(), 1u);
    EXPECT_NE(l->ui.boxes[0].text.find("Index 7 in p is beyond the 3 positions of geometry g; 2 triangles left out\r\n"
                                       "(at line 19 in test.dae)\r\n<triangles count=\"4\">"),
              std::string::npos)
        << l->ui.boxes[0].text;
    EXPECT_EQ(l->m().badFaceReports, 0);
}

TEST(DaeHostile, TextureIndexBeyondItsSource) {
    std::string doc = edit(quadDoc(), "<p>0 0 0 1 0 1 2 0 2 0 0 3 2 0 2 3 0 4</p>", "<p>0 0 0 1 0 1 2 0 2 0 0 3 2 0 2 3 0 5</p>");
    auto l = load(doc);
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Faces, 1);
    EXPECT_EQ(l->m().ttlnum_Vertices, 4);  // nothing split for the refused triangle
    EXPECT_TRUE(l->sawBox("Texture index 5 in p is beyond the 5 texture coordinates of source Quad-mesh-uvs"));
}

TEST(DaeHostile, CountsBeyondTheData) {
    // The accessor promises 1000 positions, the array holds two; the
    // triangles' count promises 5.
    std::string g = geometry("g", "0 0 0 1 0 0", triangles("0 1 1", "5"));
    g = edit(g, "<accessor stride=\"3\">", "<accessor count=\"1000\" stride=\"3\">");
    auto l = load(wrapDoc(g));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Vertices, 2);
    EXPECT_EQ(l->m().ttlnum_Faces, 1);
    EXPECT_TRUE(l->sawBox("Source g-pos counts 1000 positions, its float_array holds 2"));
    EXPECT_TRUE(l->sawBox("p holds 1 triangles, count says 5"));
    // A count too large for any memory is not believed.
    auto huge = load(wrapDoc(edit(geometry("g", "0 0 0 1 0 0 0 1 0", triangles("0 1 2")), "<float_array id=\"a\">",
                                  "<float_array id=\"a\" count=\"99999999999999999999\">")));
    ASSERT_TRUE(huge->ok);
    EXPECT_EQ(huge->m().ttlnum_Faces, 1);
}

TEST(DaeHostile, VcountBeyondTheIndices) {
    std::string poly = std::string("<polylist count=\"3\">\n") + kIn + "<vcount>3 4 9</vcount>\n<p>0 1 2 0 1 2 1</p>\n</polylist>\n";
    auto l = load(wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", poly)));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Faces, 3);
    EXPECT_TRUE(l->sawBox("vcount asks for more corners than p holds; 1 polygons left out"));
    std::string negative = std::string("<polylist count=\"2\">\n") + kIn + "<vcount>-3 3</vcount>\n<p>0 1 2</p>\n</polylist>\n";
    auto n = load(wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", negative)));
    ASSERT_TRUE(n->ok);
    EXPECT_EQ(n->m().ttlnum_Faces, 0);
}

TEST(DaeHostile, IndicesThatAreNoWholeNumbers) {
    auto l = load(wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", triangles("0 1 x 0 1.5 2 0 1 99999999999"))));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Faces, 0);
    EXPECT_TRUE(l->sawBox("3 entries of p or vcount are not whole numbers"));
    // A partial corner at the end of p.
    std::string two = std::string("<triangles count=\"1\">\n") + kIn +
                      "<input semantic=\"NORMAL\" source=\"#n\" offset=\"1\"/>\n<p>0 0 1 0 2 0 1</p>\n</triangles>\n";
    auto p = load(wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", two)));
    EXPECT_EQ(p->m().ttlnum_Faces, 1);
    EXPECT_TRUE(p->sawBox("p holds 7 indices, not a multiple of its 2 inputs"));
}

TEST(DaeHostile, PositionsThatAreNoNumbersReadAsZero) {
    auto l = load(wrapDoc(geometry("g", "0 0 0 nan 0 0 0 1e999 0", triangles("0 1 2"))));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Vertices, 3);
    EXPECT_EQ(l->m().Vertices[1].zup_pos, (Vec3{0, 0, 0}));
    EXPECT_TRUE(l->ui.sawLog("float_array of source g-pos: 2 values are not numbers and read as 0 (at line 10)"));
}

TEST(DaeHostile, MismatchedClosingTagFailsWithItsLine) {
    std::string doc = edit(quadDoc(), "</source>\n<source id=\"Quad-mesh-normals\">", "</mesh>\n<source id=\"Quad-mesh-normals\">");
    auto l = load(doc);
    EXPECT_FALSE(l->ok);
    EXPECT_TRUE(l->ctx.app.readAbort);
    EXPECT_EQ(l->m().ttlnum_Faces, 0);
    ASSERT_EQ(l->ui.boxes.size(), 1u);
    EXPECT_EQ(l->ui.boxes[0].text, "***** ERROR: Mismatched tags: source : /mesh\r\n(at line 63 in test.dae)\r\n</mesh>");
    EXPECT_EQ(l->result.line, 63);
    EXPECT_EQ(l->result.where(), "test.dae line 63");
}

TEST(DaeHostile, MissingClosingTagFails) {
    std::string doc = quadDoc();
    doc.erase(doc.find("</COLLADA>"));
    auto l = load(doc);
    EXPECT_FALSE(l->ok);
    EXPECT_TRUE(l->sawBox("the document ends before <COLLADA> (opened at line 2) is closed"));
    auto stray = load(quadDoc() + "</extra>\n");
    EXPECT_FALSE(stray->ok);
    EXPECT_TRUE(stray->sawBox("Mismatched tags:  : /extra"));
}

TEST(DaeHostile, EveryTruncationEndsCleanly) {
    const std::string doc = quadDoc();
    const std::size_t complete = doc.find("</COLLADA>") + 10;
    for (std::size_t n = 0; n < complete; ++n) {
        auto l = load(std::string_view(doc).substr(0, n));
        ASSERT_FALSE(l->ok) << n;
        ASSERT_TRUE(l->ctx.app.readAbort) << n;
        ASSERT_FALSE(l->ui.boxes.empty()) << n;
    }
}

TEST(DaeHostile, EveryTruncationOfARealDocumentEndsCleanly) {
    const std::string doc = test::readFile(test::dataPath("dae/pycollada_scene.dae"));
    const std::size_t complete = doc.find("</COLLADA>") + 10;
    ASSERT_GT(complete, 10u);
    for (std::size_t n = 0; n < complete; n += 7) {
        auto l = load(std::string_view(doc).substr(0, n));
        ASSERT_FALSE(l->ok) << n;
    }
}

TEST(DaeHostile, NotACollladaDocument) {
    for (std::string_view doc : {std::string_view(""), std::string_view("   \n"), std::string_view("<html><body/></html>"),
                                 std::string_view("\x89PNG\r\n\x1a\n\0\0\0", 11), std::string_view("plain text"),
                                 std::string_view("<?xml version=\"1.0\"?>")}) {
        auto l = load(doc);
        EXPECT_FALSE(l->ok);
        EXPECT_TRUE(l->ctx.app.readAbort);
        EXPECT_TRUE(l->sawBox("not a Collada document") || l->sawBox("broken XML")) << l->ui.boxes.back().text;
    }
}

TEST(DaeHostile, NestingTooDeepIsRefused) {
    std::string doc = "<COLLADA>";
    for (int i = 0; i < 5000; ++i) doc += "<node>";
    auto l = load(doc);
    EXPECT_FALSE(l->ok);
    EXPECT_TRUE(l->sawBox("elements nested deeper than 1000"));
}

TEST(DaeHostile, NodesThatInstanceThemselvesEnd) {
    std::string tri = triangles("0 1 2");
    auto l = load(wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", tri),
                          "<node id=\"a\">\n<instance_geometry url=\"#g\"/>\n<node id=\"b\">\n<instance_node url=\"#a\"/>\n"
                          "</node>\n</node>\n"));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Faces, 1);
    EXPECT_TRUE(l->sawBox("Node a instances itself"));
}

TEST(DaeHostile, ExplodingInstancesAreCapped) {
    // Each level instances the next twice: 2^20 placements if followed.
    std::string lib = "<library_nodes>\n";
    for (int i = 0; i < 20; ++i)
        lib += "<node id=\"n" + std::to_string(i) + "\">\n<instance_node url=\"#n" + std::to_string(i + 1) +
               "\"/>\n<instance_node url=\"#n" + std::to_string(i + 1) + "\"/>\n</node>\n";
    lib += "<node id=\"n20\">\n<instance_geometry url=\"#g\"/>\n</node>\n</library_nodes>\n";
    std::string doc = wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", triangles("0 1 2")), "<node id=\"root\">\n<instance_node url=\"#n0\"/>\n</node>\n");
    doc.insert(doc.find("</COLLADA>"), lib);
    const auto t0 = std::chrono::steady_clock::now();
    auto l = load(doc);
    const auto secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Faces, 30000);
    EXPECT_TRUE(l->sawBox("The scene places geometries more than 30000 times"));
    EXPECT_LT(secs, 30.0);
}

// Node n0 places geometry g; each n<i> instances n<i-1> twice; the scene's
// node instances n<levels>.
std::string doublingChain(int levels, std::string_view n0, std::string_view geometryXml) {
    std::string d = "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\">\n<library_geometries>\n";
    d += geometryXml;
    d += "</library_geometries>\n<library_nodes>\n<node id=\"n0\">";
    d += n0;
    d += "</node>\n";
    for (int i = 1; i <= levels; ++i) {
        const std::string below = "<instance_node url=\"#n" + std::to_string(i - 1) + "\"/>";
        d += "<node id=\"n" + std::to_string(i) + "\">" + below + below + "</node>\n";
    }
    d += "</library_nodes>\n<library_visual_scenes>\n<visual_scene id=\"s\">\n<node id=\"top\"><instance_node url=\"#n" +
         std::to_string(levels) + "\"/></node>\n</visual_scene>\n</library_visual_scenes>\n"
         "<scene><instance_visual_scene url=\"#s\"/></scene>\n</COLLADA>\n";
    return d;
}

struct Refused {
    ScriptedUI ui;
    Context ctx{ui};
    ReadResult result;
    double secs = 0;
};

std::unique_ptr<Refused> readTimed(const std::string& doc) {
    auto r = std::make_unique<Refused>();
    r->ctx.app.srcFile = "hostile.dae";
    const auto t0 = std::chrono::steady_clock::now();
    r->result = LoadDaeBytes(r->ctx, doc);
    r->secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}

TEST(DaeHostile, PlacementsWhoseSizeAddsUpPastTheLimitAreRefused) {
    // 2^15 placements, under the placement cap once capped, of 700 positions
    // each: 21 million vertices if followed.
    std::string zeros;
    for (int i = 0; i < 2100; ++i) zeros += "0 ";
    const std::string g = geometry("g", zeros, triangles("0 1 2"));
    auto r = readTimed(doublingChain(15, "<instance_geometry url=\"#g\"/>", g));
    EXPECT_FALSE(r->result.ok());
    EXPECT_TRUE(r->ctx.app.readAbort);
    const std::string limit = "more than " + std::to_string(dae::kMaxPlacedVertices) + " vertices";
    EXPECT_NE(r->result.message.find(limit), std::string::npos) << r->result.message;
    EXPECT_TRUE(r->ui.sawBox(limit));
    EXPECT_EQ(r->result.file, "hostile.dae");
    EXPECT_GT(r->result.line, 0);
    EXPECT_EQ(r->ctx.model.ttlnum_Vertices, 0);
    EXPECT_LT(r->ctx.model.Vertices.capacity(), 100000u);  // nothing reserved for the placements
    EXPECT_LT(r->secs, 30.0);
}

TEST(DaeHostile, TrianglesOfAllPlacementsAreBoundedToo) {
    // Few positions, many triangles: 1200 triangles placed 2^15 times.
    std::string p;
    for (int i = 0; i < 1200; ++i) p += "0 1 2 ";
    const std::string g = geometry("g", "0 0 0 1 0 0 0 1 0", triangles(p, "1200"));
    auto r = readTimed(doublingChain(15, "<instance_geometry url=\"#g\"/>", g));
    EXPECT_FALSE(r->result.ok());
    const std::string limit = "more than " + std::to_string(dae::kMaxPlacedTriangles) + " triangles";
    EXPECT_NE(r->result.message.find(limit), std::string::npos) << r->result.message;
    EXPECT_EQ(r->ctx.model.ttlnum_Faces, 0);
    EXPECT_LT(r->secs, 30.0);
}

TEST(DaeHostile, DoublingChainThatPlacesNothingIsRefusedQuickly) {
    // 2^40 paths through the nodes, none of which places a geometry.
    auto r = readTimed(doublingChain(40, "", geometry("g", "0 0 0 1 0 0 0 1 0", triangles("0 1 2"))));
    EXPECT_FALSE(r->result.ok());
    EXPECT_TRUE(r->ctx.app.readAbort);
    const std::string limit = "more than " + std::to_string(dae::kMaxSceneSteps) + " times";
    EXPECT_NE(r->result.message.find(limit), std::string::npos) << r->result.message;
    EXPECT_TRUE(r->ui.sawBox(limit));
    EXPECT_GT(r->result.line, 0);
    EXPECT_LT(r->secs, 30.0);
}

TEST(DaeHostile, ManyMissingInstancesInADoublingChainCountAsSteps) {
    // Each visit of n0 looks at 2000 instances of nothing: the walk stops by
    // what it looks at, not only by the nodes it enters.
    std::string n0;
    for (int i = 0; i < 2000; ++i) n0 += "<instance_geometry url=\"#none\"/>";
    auto r = readTimed(doublingChain(20, n0, geometry("g", "0 0 0 1 0 0 0 1 0", triangles("0 1 2"))));
    EXPECT_FALSE(r->result.ok());
    EXPECT_NE(r->result.message.find(std::to_string(dae::kMaxSceneSteps)), std::string::npos);
    EXPECT_LT(r->secs, 30.0);
}

TEST(DaeHostile, ReferencesToNothing) {
    auto l = load(triDocFor("<node id=\"a\">\n<instance_geometry url=\"#nothing\"/>\n<instance_controller url=\"#none\"/>\n"
                            "<instance_node url=\"#nobody\"/>\n<instance_geometry url=\"#g\">\n<bind_material>\n"
                            "<technique_common>\n<instance_material symbol=\"s\" target=\"#missing\"/>\n"
                            "</technique_common>\n</bind_material>\n</instance_geometry>\n</node>\n"));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Faces, 1);
    EXPECT_TRUE(l->ui.sawLog("no geometry of that id"));
    EXPECT_TRUE(l->ui.sawLog("instance_controller none: no skin controller of that id"));
    EXPECT_TRUE(l->ui.sawLog("instance_node nobody: no node of that id"));
    EXPECT_TRUE(l->ui.sawLog("Failed to Bind instance_material symbol s to target missing"));
    // A geometry without positions, a triangles without a VERTEX input.
    std::string noPos = "<geometry id=\"e\">\n<mesh>\n<triangles count=\"1\">\n<p>0 1 2</p>\n</triangles>\n</mesh>\n</geometry>\n";
    auto e = load(wrapDoc(noPos));
    ASSERT_TRUE(e->ok);
    EXPECT_EQ(e->m().meshCount, 0);
    EXPECT_TRUE(e->sawBox("Geometry e has no positions; it is left out"));
    std::string noVertex = "<triangles count=\"1\">\n<input semantic=\"TEXCOORD\" source=\"#t\" offset=\"0\"/>\n<p>0 1 2</p>\n</triangles>\n";
    auto v = load(wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", noVertex)));
    ASSERT_TRUE(v->ok);
    EXPECT_EQ(v->m().ttlnum_Faces, 0);
    EXPECT_TRUE(v->sawBox("Triangles without a VERTEX input are left out"));
}

TEST(DaeHostile, StrangeStridesAndOffsets) {
    std::string g = geometry("g", "0 0 0 1 0 0 0 1 0", triangles("0 1 2"));
    for (std::string acc : {"<accessor stride=\"0\">", "<accessor stride=\"99999999\">", "<accessor stride=\"-3\" offset=\"-9\">",
                            "<accessor count=\"3\" stride=\"3\" offset=\"99999999999\">", "<accessor stride=\"1\">"}) {
        auto l = load(wrapDoc(edit(g, "<accessor stride=\"3\">", acc)));
        ASSERT_TRUE(l->ok) << acc;
        EXPECT_LE(l->m().ttlnum_Faces, 1) << acc;
    }
    std::string bigOffset = std::string("<triangles count=\"1\">\n<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"999\"/>\n"
                                        "<p>0 1 2</p>\n</triangles>\n");
    auto l = load(wrapDoc(geometry("g", "0 0 0 1 0 0 0 1 0", bigOffset)));
    ASSERT_TRUE(l->ok);
    EXPECT_EQ(l->m().ttlnum_Faces, 0);
}

TEST(DaeHostile, ElementsOpenedInsideNumberArraysAndTriangles) {
    std::string g = geometry("g", "0 0 0 1 0 0 <source id=\"in\"><float_array>9 9</float_array></source> 0 1 0",
                             std::string("<triangles count=\"1\">\n") + kIn +
                                 "<p>0 1 <geometry id=\"inner\"><mesh><triangles><p>5 5 5</p></triangles></mesh>"
                                 "</geometry> 2</p>\n</triangles>\n");
    auto l = load(wrapDoc(g));
    ASSERT_TRUE(l->ok);
    // The positions keep their own numbers; the outer p lost its text to
    // the inner one and says so.
    EXPECT_EQ(l->m().ttlnum_Vertices, 3);
    EXPECT_EQ(l->m().ttlnum_Faces, 0);
    EXPECT_TRUE(l->sawBox("p holds 0 triangles, count says 1"));
    EXPECT_TRUE(l->sawBox("Geometry inner has no positions"));
}
