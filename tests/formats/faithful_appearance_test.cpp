// How a converted model looks: small models in OBJ, 3DS, Collada and glTF
// (cases/appearance, described in its README), converted end to end and the
// written set read back with the real Cal3D library. Texture V comes out the
// same from every format; a hard-edged cube keeps its flat faces where the
// file says so (normals or smoothing groups) and is smooth where it does
// not; both copies of a texture-seam vertex get one normal. Concave faces
// keep their outline's area and winding, leftover vertices no face uses do
// not move or shrink the model, and materials no face uses are left out of
// the set when culling is on.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/cal3d_check.h"
#include "support/cal3d_shape.h"
#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

namespace fs = std::filesystem;

struct Converted {
    std::unique_ptr<test::TestContext> t = test::makeContext();
    bool ok = false;
    std::string base;  // output without extension
    test::Cal3dMeshData mesh;
    std::string error;
    // The written mesh, as the Cal3D library reads it.
    bool load() { return ok && test::loadCal3dMesh(base + ".cmf", base + ".csf", mesh, error); }
};

// cases/appearance/<name> converted into a folder of its own, as m.cmf.
Converted convertCase(const std::string& name, bool keepOwn = true, bool flipObj = true, bool cull = false) {
    Converted c;
    c.base = test::tempDir("appearance") + "m";
    c.t->ctx.menu.marks.keepOwnNormals = keepOwn;
    c.t->ctx.menu.marks.flip_OBJ_UV_Vs = flipObj;
    c.t->ctx.menu.marks.autoCullUnUsedMaterials = cull;
    c.ok = test::convert(c.t->ctx, test::dataPath("cases/appearance/" + name), c.base + ".cmf");
    return c;
}

std::array<double, 3> unitOf(std::array<double, 3> v) {
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return l > 0 ? std::array<double, 3>{v[0] / l, v[1] / l, v[2] / l} : v;
}
std::array<double, 3> faceNormalOf(const test::Cal3dSubmeshData& s, const std::array<int, 3>& f) {
    auto p = [&](int k) { return s.vertices[static_cast<std::size_t>(f[static_cast<std::size_t>(k)])].pos; };
    const double a[3] = {p(1)[0] - p(0)[0], p(1)[1] - p(0)[1], p(1)[2] - p(0)[2]};
    const double b[3] = {p(2)[0] - p(0)[0], p(2)[1] - p(0)[1], p(2)[2] - p(0)[2]};
    return unitOf({a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]});
}
double dot(const float* n, const std::array<double, 3>& f) { return n[0] * f[0] + n[1] * f[1] + n[2] * f[2]; }

TEST(FaithfulAppearance, ATexturedQuadGivesTheSameVFromEveryFormatAndObjKeepsItsVWhenTheFlipIsOff) {
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    for (const char* name : {"quad.obj", "quad.3ds", "quad.dae", "quad.gltf"}) {
        SCOPED_TRACE(name);
        Converted w = convertCase(name);
        ASSERT_TRUE(w.load()) << w.error;
        ASSERT_EQ(w.mesh.size(), 1u);
        ASSERT_EQ(w.mesh[0].vertices.size(), 4u);
        // Cal3D's z is up: the top edge of the picture (source v 1) is
        // written as v 0, the bottom as 1, as 3DS has always been written.
        for (const test::Cal3dVertexData& v : w.mesh[0].vertices) {
            ASSERT_EQ(v.uvs.size(), 1u);
            const bool top = v.pos[2] > 50, right = v.pos[0] > 0;
            EXPECT_FLOAT_EQ(v.uvs[0].second, top ? 0.0f : 1.0f) << v.pos[0] << " " << v.pos[2];
            EXPECT_FLOAT_EQ(v.uvs[0].first, right ? 1.0f : 0.0f) << v.pos[0] << " " << v.pos[2];
        }
    }
    Converted w = convertCase("quad.obj", true, false);
    ASSERT_TRUE(w.load()) << w.error;
    for (const test::Cal3dVertexData& v : w.mesh[0].vertices) EXPECT_FLOAT_EQ(v.uvs[0].second, v.pos[2] > 50 ? 1.0f : 0.0f);
}

enum class Shading { Flat, Smooth, Tilted };

struct CubeCase {
    const char* file;
    Shading shading;
    std::size_t vertices;  // 0: not pinned
    bool keepOwn = true;
};

TEST(FaithfulAppearance, AHardCubeKeepsFlatFacesAndASmoothOneIsSmooth) {
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const CubeCase cases[] = {
        {"cube_normals.obj", Shading::Flat, 24},
        {"cube_normals.dae", Shading::Flat, 24},
        {"cube_normals.gltf", Shading::Flat, 24},
        {"cube_groups.3ds", Shading::Flat, 24},
        {"cube_one_group.3ds", Shading::Smooth, 8},
        {"cube.3ds", Shading::Smooth, 8},
        {"cube.obj", Shading::Smooth, 8},
        {"cube.dae", Shading::Smooth, 8},
        // Four vertices a face in the file: smooth across them all the same.
        {"cube.gltf", Shading::Smooth, 24},
        // Textured: split at every face for the texture, yet smooth.
        {"cube_textured.obj", Shading::Smooth, 0},
        // The file's normals are tilted off the faces. Recalculated, the
        // corners' differing normals still say which faces meet smoothly.
        {"cube_tilted.obj", Shading::Tilted, 24},
        {"cube_tilted.obj", Shading::Flat, 24, false},
    };
    for (const CubeCase& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.keepOwn ? "" : ", recalculated"));
        Converted w = convertCase(c.file, c.keepOwn);
        ASSERT_TRUE(w.load()) << w.error;
        ASSERT_EQ(w.mesh.size(), 1u);
        const test::Cal3dSubmeshData& s = w.mesh[0];
        if (c.vertices) {
            EXPECT_EQ(s.vertices.size(), c.vertices);
        }
        EXPECT_EQ(s.faces.size(), 12u);
        double centre[3] = {0, 0, 0};
        for (const auto& v : s.vertices)
            for (int k = 0; k < 3; ++k) centre[k] += v.pos[k] / static_cast<double>(s.vertices.size());
        for (const auto& f : s.faces) {
            const auto fn = faceNormalOf(s, f);
            for (int k : f) {
                const test::Cal3dVertexData& v = s.vertices[static_cast<std::size_t>(k)];
                if (c.shading == Shading::Flat) {
                    EXPECT_NEAR(dot(v.normal, fn), 1, 1e-5);
                } else if (c.shading == Shading::Tilted) {
                    EXPECT_GT(std::fabs(dot(v.normal, fn) - 1), 1e-5);
                } else {
                    // Smooth: leaning out along the corner's direction from
                    // the centre, away from the face (the larger faces at a
                    // corner weigh more, so not exactly along it).
                    const auto out = unitOf({v.pos[0] - centre[0], v.pos[1] - centre[1], v.pos[2] - centre[2]});
                    EXPECT_GT(dot(v.normal, out), 0.94);
                    EXPECT_LT(dot(v.normal, fn), 0.9);
                }
            }
        }
    }
}

TEST(FaithfulAppearance, BothCopiesOfASeamVertexGetOneNormal) {
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    Converted w = convertCase("cylinder.obj");
    ASSERT_TRUE(w.load()) << w.error;
    const test::Cal3dSubmeshData& s = w.mesh[0];
    EXPECT_EQ(s.vertices.size(), 18u);  // 16 positions, the two seam ones twice
    std::map<std::array<int, 3>, std::vector<const test::Cal3dVertexData*>> at;
    for (const auto& v : s.vertices)
        at[{static_cast<int>(std::lround(v.pos[0] * 100)), static_cast<int>(std::lround(v.pos[1] * 100)),
            static_cast<int>(std::lround(v.pos[2] * 100))}]
            .push_back(&v);
    int seams = 0;
    for (const auto& [p, vs] : at) {
        if (vs.size() < 2) continue;
        ++seams;
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(vs[0]->normal[k], vs[1]->normal[k]);
        EXPECT_NE(vs[0]->uvs[0].first, vs[1]->uvs[0].first);
        // Straight out from the axis: horizontal.
        EXPECT_NEAR(vs[0]->normal[2], 0, 1e-6);
    }
    EXPECT_EQ(seams, 2);
}

// Concave outlines standing upright: an L (area 3, largest extent 2) and
// a star (area 6, largest extent 4).
struct ShapeCase {
    const char* file;
    std::size_t corners;
    double area, span;  // of the outline in source units
};

TEST(FaithfulShape, ConcaveFacesKeepTheirOutlineCentredAndSized) {
    const ShapeCase cases[] = {
        {"l.obj", 6, 3, 2},  // a leftover far off, which must not decide the extents
        {"star.obj", 12, 6, 4},
        {"l.dae", 6, 3, 2},  // a polylist
        {"star.dae", 12, 6, 4},  // polygons
    };
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.file);
        const Converted out = convertCase(c.file);
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

// materials.obj: a library of three materials; the faces use C, then a
// name the library lacks (which falls back to material 0, A). B and the
// synthesised "Default" are used by nothing.
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
        const Converted out = convertCase("materials.obj", true, true, c.cull);
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
