// Small hand-made sources converted end to end, the written set read back
// with the real Cal3D library: concave faces keep their outline's area and
// winding, leftover vertices no face uses do not move or shrink the model,
// and materials no face uses are left out of the set when culling is on.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cal3d_check.h"
#include "support/cal3d_shape.h"
#include "support/dae_build.h"
#include "support/harness.h"
#include "support/test_support.h"
#include "util/numfmt.h"

namespace molv {
namespace {

namespace fs = std::filesystem;

struct Pt {
    double u, v;
};

// Outlines in counter-clockwise order, each starting at a corner whose fan
// leaves the outline. L: area 3, largest extent 2. Star: 6 points of radius
// 2 between corners of radius 1, area 6, largest extent 4.
std::vector<Pt> lShape() { return {{2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}, {0, 0}}; }
std::vector<Pt> star() {
    std::vector<Pt> o;
    for (int k = 0; k < 12; ++k) {
        const double a = k * 3.14159265358979 / 6, r = k % 2 ? 1 : 2;
        o.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return o;
}

// The outline standing upright, away from the origin: (u, height v) as OBJ
// gives it (y up), and as a Z_UP Collada document gives it.
std::string objOf(const std::vector<Pt>& o, const std::string& extra = {}) {
    std::string t, f = "f";
    for (std::size_t i = 0; i < o.size(); ++i) {
        t += "v " + numText(static_cast<float>(o[i].u + 5)) + " " + numText(static_cast<float>(o[i].v + 3)) + " -2\n";
        f += " " + std::to_string(i + 1);
    }
    return t + extra + f + "\n";
}

std::string daeOf(const std::vector<Pt>& o, bool polylist) {
    std::string pos, p;
    for (std::size_t i = 0; i < o.size(); ++i) {
        pos += numText(static_cast<float>(o[i].u + 5)) + " 2 " + numText(static_cast<float>(o[i].v + 3)) + " ";
        p += std::to_string(i) + " ";
    }
    const std::string n = std::to_string(o.size());
    const std::string prim =
        polylist ? "<polylist count=\"1\">\n<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>\n<vcount>" + n +
                       "</vcount>\n<p>" + p + "</p>\n</polylist>\n"
                 : "<polygons count=\"1\">\n<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>\n<p>" + p +
                       "</p>\n</polygons>\n";
    return daetest::wrapDoc(daetest::geometry("g", pos, prim));
}

struct Converted {
    std::unique_ptr<test::TestContext> t;
    bool ok = false;
    std::string base;  // output without extension
};

Converted convertText(const std::string& name, const std::string& text, bool cull = false,
                      const std::string& library = {}) {
    Converted c;
    const std::string dir = test::tempDir("shape");
    test::writeFile(dir + name, text);
    if (!library.empty()) test::writeFile(dir + "lib.mtl", library);
    c.t = test::makeContext();
    c.t->ctx.menu.marks.autoCullUnUsedMaterials = cull;
    c.ok = test::convert(c.t->ctx, dir + name);
    c.base = dir + name.substr(0, name.rfind('.'));
    return c;
}

struct ShapeCase {
    const char* name;
    const char* file;
    std::string text;
    std::size_t corners;
    double area, span;  // of the outline in source units
};

TEST(FaithfulShape, ConcaveFacesKeepTheirOutlineCentredAndSized) {
    const ShapeCase cases[] = {
        // A leftover far off that no face uses must not decide the extents.
        {"OBJ L", "l.obj", objOf(lShape(), "v 40 -25 60\n"), 6, 3, 2},
        {"OBJ star", "star.obj", objOf(star()), 12, 6, 4},
        {"Collada polylist L", "l.dae", daeOf(lShape(), true), 6, 3, 2},
        {"Collada polygons star", "star.dae", daeOf(star(), false), 12, 6, 4},
    };
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Converted out = convertText(c.file, c.text);
        ASSERT_TRUE(out.ok);
        const test::Cal3dShape s = test::loadCal3dShape(out.base);
        ASSERT_TRUE(s.loaded) << s.error;
        const double k = 100 / c.span;  // the default set size is 100
        EXPECT_EQ(s.triangles.size(), c.corners - 2);
        EXPECT_NEAR(s.area(), c.area * k * k, 1e-3 * c.area * k * k);
        // Upright in the source, it faces -y in Cal3D's z-up axes with the
        // outline's own winding; each triangle the same way.
        EXPECT_TRUE(s.allFace({0, -1, 0}));
        const auto lo = s.min(), hi = s.max();
        EXPECT_NEAR(lo[2], 0, 1e-3);                        // lowest point at height 0
        EXPECT_NEAR(std::max(hi[0] - lo[0], hi[2] - lo[2]), 100, 1e-3);  // largest extent the set size
        EXPECT_NEAR(hi[0] + lo[0], 0, 1e-3);                // centred across
        EXPECT_NEAR(hi[1] + lo[1], 0, 1e-3);                // and in depth
        EXPECT_TRUE(test::cal3dMatchesStore(out.t->m, test::loadCal3dSet(out.base)));
    }
}

// A library of three materials; the faces use C, then a name the library
// lacks (which falls back to material 0, A). B and the synthesised
// "Default" are used by nothing.
const char* const kLibrary =
    "newmtl A\nKd 1 0 0\nnewmtl B\nKd 0 1 0\nnewmtl C\nKd 0 0 1\n";
const char* const kTwoMaterials =
    "mtllib lib.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "usemtl C\nf 1 2 3\nusemtl Missing\nf 1 3 4\n";

TEST(FaithfulShape, CullingLeavesOutUnusedMaterialsAndKeepsThreadsInStep) {
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    struct Case {
        bool cull;
        std::vector<std::string> listed;  // material lines of the .cfg
        std::vector<int> threads;         // per submesh, in face order
    };
    const Case cases[] = {
        {false, {"m_A[0].crf", "m_B[1].crf", "m_C[2].crf", "m_Default[3].crf"}, {2, 0}},
        {true, {"m_A[0].crf", "m_C[1].crf"}, {1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cull ? "culling on" : "culling off");
        const Converted out = convertText("m.obj", kTwoMaterials, c.cull, kLibrary);
        ASSERT_TRUE(out.ok);
        EXPECT_TRUE(out.t->ui.sawBox("Material not found (Missing)"));
        bool culled = false;
        for (const std::string& line : out.t->ui.everyLogLine)
            culled = culled || line == "Unused materials not written: B, Default";
        EXPECT_EQ(culled, c.cull);
        const test::Cal3dSetInfo info = test::loadCal3dSet(out.base);
        ASSERT_TRUE(info.ok()) << info.error;
        EXPECT_TRUE(test::cal3dMatchesStore(out.t->m, info));
        EXPECT_EQ(info.cfgMaterials, c.listed);
        ASSERT_EQ(info.submeshes.size(), c.threads.size());
        for (std::size_t i = 0; i < c.threads.size(); ++i) {
            const int thread = info.submeshes[i].materialThreadId;
            EXPECT_EQ(thread, c.threads[i]);
            // The thread names the material line of the same number: the
            // first face's is blue C, the second's red A.
            ASSERT_LT(static_cast<std::size_t>(thread), info.materials.size());
            const std::uint8_t* d = info.materials[static_cast<std::size_t>(thread)].diffuse;
            EXPECT_EQ(d[0], i == 0 ? 0 : 255);
            EXPECT_EQ(d[2], i == 0 ? 255 : 0);
        }
        // Nothing written beyond what the configuration lists.
        int crfs = 0;
        for (const auto& e : fs::directory_iterator(fs::path(out.base).parent_path()))
            crfs += e.path().extension() == ".crf";
        EXPECT_EQ(crfs, static_cast<int>(c.listed.size()));
    }
}

}  // namespace
}  // namespace molv
