// How a converted model looks: small models written here in OBJ, 3DS,
// Collada and glTF, converted end to end and the written set read back with
// the real Cal3D library. Texture V comes out the same from every format; a
// hard-edged cube keeps its flat faces where the file says so (normals or
// smoothing groups) and is smooth where it does not; both copies of a
// texture-seam vertex get one normal. Concave faces keep their outline's area
// and winding, leftover vertices no face uses do not move or shrink the
// model, and materials no face uses are left out of the set when culling is on.
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
#include "support/dae_build.h"
#include "support/gltf_build.h"
#include "support/harness.h"
#include "support/tds_build.h"
#include "support/test_support.h"
#include "util/numfmt.h"

namespace molv {
namespace {

namespace fs = std::filesystem;
using P3 = std::array<float, 3>;

// A model of quads in y-up terms, each quad counter-clockwise seen from
// outside, with one normal, one smoothing group and a texture pair per corner
// (v running up the picture).
struct Quad {
    std::array<int, 4> pos;
    std::array<std::array<float, 2>, 4> uv;
    P3 normal;
    std::uint32_t group;
};
struct Model {
    std::vector<P3> pos;
    std::vector<Quad> quads;
};

std::string num(float f) { return numText(f); }

// OBJ: shared positions, one vt per corner, one vn per quad when asked;
// the faces in one run (one face group).
std::string objOf(const Model& m, bool normals, bool uvs) {
    std::string t;
    for (const P3& p : m.pos) t += "v " + num(p[0]) + " " + num(p[1]) + " " + num(p[2]) + "\n";
    for (const Quad& f : m.quads) {
        if (uvs)
            for (const auto& uv : f.uv) t += "vt " + num(uv[0]) + " " + num(uv[1]) + "\n";
        if (normals) t += "vn " + num(f.normal[0]) + " " + num(f.normal[1]) + " " + num(f.normal[2]) + "\n";
    }
    int q = 0;
    for (const Quad& f : m.quads) {
        t += "f";
        for (int k = 0; k < 4; ++k) {
            t += " " + std::to_string(f.pos[static_cast<std::size_t>(k)] + 1);
            if (uvs || normals) t += "/";
            if (uvs) t += std::to_string(q * 4 + k + 1);
            if (normals) t += "/" + std::to_string(q + 1);
        }
        t += "\n";
        ++q;
    }
    return t;
}

// Collada (Y_UP): triangles with VERTEX, NORMAL and TEXCOORD inputs.
std::string daeOf(const Model& m, bool normals, bool uvs) {
    std::string pos, nrm, uv, p;
    for (const P3& x : m.pos) pos += num(x[0]) + " " + num(x[1]) + " " + num(x[2]) + " ";
    int q = 0;
    for (const Quad& f : m.quads) {
        nrm += num(f.normal[0]) + " " + num(f.normal[1]) + " " + num(f.normal[2]) + " ";
        for (const auto& t : f.uv) uv += num(t[0]) + " " + num(t[1]) + " ";
        for (int k : {0, 1, 2, 0, 2, 3}) {
            p += std::to_string(f.pos[static_cast<std::size_t>(k)]) + " ";
            if (normals) p += std::to_string(q) + " ";
            if (uvs) p += std::to_string(q * 4 + k) + " ";
        }
        ++q;
    }
    auto source = [](const std::string& id, const std::string& values, int stride) {
        return "<source id=\"" + id + "\"><float_array id=\"" + id + "-a\">" + values +
               "</float_array><technique_common><accessor source=\"#" + id + "-a\" stride=\"" +
               std::to_string(stride) + "\"/></technique_common></source>\n";
    };
    std::string d =
        "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\">\n<asset><up_axis>Y_UP</up_axis></asset>\n"
        "<library_geometries><geometry id=\"g\"><mesh>\n" +
        source("g-position", pos, 3) + (normals ? source("g-normal", nrm, 3) : "") + (uvs ? source("g-uv", uv, 2) : "") +
        "<vertices id=\"g-v\"><input semantic=\"POSITION\" source=\"#g-position\"/></vertices>\n<triangles count=\"" +
        std::to_string(m.quads.size() * 2) + "\"><input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>";
    int off = 1;
    if (normals) d += "<input semantic=\"NORMAL\" source=\"#g-normal\" offset=\"" + std::to_string(off++) + "\"/>";
    if (uvs) d += "<input semantic=\"TEXCOORD\" source=\"#g-uv\" offset=\"" + std::to_string(off++) + "\" set=\"0\"/>";
    d += "<p>" + p + "</p></triangles>\n</mesh></geometry></library_geometries>\n</COLLADA>\n";
    return d;
}

// glTF: four vertices per quad (glTF's v runs down the picture).
std::string gltfOf(const Model& m, bool normals, bool uvs) {
    gltftest::Mesh g;
    g.pos.clear();
    g.idx.clear();
    for (const Quad& f : m.quads) {
        const auto first = static_cast<std::uint16_t>(g.pos.size() / 3);
        for (std::size_t k = 0; k < 4; ++k) {
            const P3& p = m.pos[static_cast<std::size_t>(f.pos[k])];
            g.pos.insert(g.pos.end(), p.begin(), p.end());
            if (normals) g.normal.insert(g.normal.end(), f.normal.begin(), f.normal.end());
            if (uvs) g.uv.insert(g.uv.end(), {f.uv[k][0], 1 - f.uv[k][1]});
        }
        for (int k : {0, 1, 2, 0, 2, 3}) g.idx.push_back(static_cast<std::uint16_t>(first + k));
    }
    return gltftest::doc(g);
}

// 3DS (z up): positions (x, -z, y) give the same store model as the y-up
// formats; four vertices per quad when textured, else the shared positions.
std::string tdsOf(const Model& m, bool groups, bool uvs) {
    using namespace test3ds;
    std::string verts, tex, faces, smooth;
    std::uint16_t nv = 0, nf = 0;
    auto vertex = [&](const P3& p) { verts += f32(p[0]) + f32(-p[2]) + f32(p[1]); };
    if (!uvs)
        for (const P3& p : m.pos) vertex(p), ++nv;
    for (const Quad& f : m.quads) {
        std::array<std::uint16_t, 4> c{};
        for (std::size_t k = 0; k < 4; ++k) {
            const auto p = static_cast<std::size_t>(f.pos[k]);
            if (uvs) {
                vertex(m.pos[p]);
                tex += f32(f.uv[k][0]) + f32(f.uv[k][1]);
                c[k] = nv++;
            } else {
                c[k] = static_cast<std::uint16_t>(p);
            }
        }
        for (std::size_t t = 1; t <= 2; ++t) {  // triangles 0 1 2 and 0 2 3
            faces += u16(c[0]) + u16(c[t]) + u16(c[t + 1]) + u16(7);
            smooth += u32(f.group);
            ++nf;
        }
    }
    std::string mesh = chunk(0x4110, u16(nv) + verts) +
                       chunk(0x4120, u16(nf) + faces + (groups ? chunk(0x4150, smooth) : std::string()));
    if (uvs) mesh += chunk(0x4140, u16(nv) + tex);
    return chunk(0x4D4D, chunk(0x3D3D, object("box", trimesh(mesh))));
}

// A unit cube, one smoothing group per face (or one for all).
Model cube(bool oneGroup) {
    Model m;
    m.pos = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const std::array<std::array<float, 2>, 4> uv{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    const std::pair<std::array<int, 4>, P3> faces[] = {
        {{0, 3, 2, 1}, {0, 0, -1}}, {{4, 5, 6, 7}, {0, 0, 1}}, {{0, 1, 5, 4}, {0, -1, 0}},
        {{3, 7, 6, 2}, {0, 1, 0}},  {{0, 4, 7, 3}, {-1, 0, 0}}, {{1, 2, 6, 5}, {1, 0, 0}},
    };
    std::uint32_t g = 1;
    for (const auto& [p, n] : faces) {
        m.quads.push_back(Quad{p, uv, n, oneGroup ? 1u : g});
        g <<= 1;
    }
    return m;
}

// One upright textured quad.
Model quad() {
    Model m;
    m.pos = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    m.quads.push_back(Quad{{0, 1, 2, 3}, {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}}, {0, 0, 1}, 1});
    return m;
}

struct Converted {
    std::unique_ptr<test::TestContext> t = test::makeContext();
    bool ok = false;
    std::string base;  // output without extension
};

// `text` saved as `name` in a folder of its own, with `library` beside it as
// lib.mtl when given, and converted.
Converted convertText(const std::string& name, const std::string& text, bool keepOwn = true, bool flipObj = true,
                      bool cull = false, const std::string& library = {}) {
    Converted c;
    const std::string dir = test::tempDir("appearance");
    test::writeFile(dir + name, text);
    if (!library.empty()) test::writeFile(dir + "lib.mtl", library);
    c.t->ctx.menu.marks.keepOwnNormals = keepOwn;
    c.t->ctx.menu.marks.flip_OBJ_UV_Vs = flipObj;
    c.t->ctx.menu.marks.autoCullUnUsedMaterials = cull;
    c.ok = test::convert(c.t->ctx, dir + name);
    c.base = dir + name.substr(0, name.rfind('.'));
    return c;
}

struct Written {
    bool ok = false;
    test::Cal3dMeshData mesh;
    std::string error;
};

Written convertFile(const std::string& name, const std::string& bytes, bool keepOwn = true, bool flipObj = true) {
    Written w;
    const Converted c = convertText(name, bytes, keepOwn, flipObj);
    if (c.ok) w.ok = test::loadCal3dMesh(c.base + ".cmf", c.base + ".csf", w.mesh, w.error);
    return w;
}

struct Src {
    const char* name;
    const char* file;
    std::string (*of)(const Model&, bool, bool);
};
const Src kFormats[] = {
    {"OBJ", "m.obj", objOf}, {"3DS", "m.3ds", tdsOf}, {"Collada", "m.dae", daeOf}, {"glTF", "m.gltf", gltfOf}};

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
    for (const Src& f : kFormats) {
        SCOPED_TRACE(f.name);
        const Written w = convertFile(f.file, f.of(quad(), false, true));
        ASSERT_TRUE(w.ok) << w.error;
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
    const Written w = convertFile("q.obj", objOf(quad(), false, true), true, false);
    ASSERT_TRUE(w.ok) << w.error;
    for (const test::Cal3dVertexData& v : w.mesh[0].vertices) EXPECT_FLOAT_EQ(v.uvs[0].second, v.pos[2] > 50 ? 1.0f : 0.0f);
}

struct CubeCase {
    const char* name;
    const char* file;
    std::string bytes;
    bool hard;
    std::size_t vertices;  // 0: not pinned
};

TEST(FaithfulAppearance, AHardCubeKeepsFlatFacesAndASmoothOneIsSmooth) {
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const CubeCase cases[] = {
        {"OBJ with vn", "c.obj", objOf(cube(false), true, false), true, 24},
        {"Collada with normals", "c.dae", daeOf(cube(false), true, false), true, 24},
        {"glTF with NORMAL", "c.gltf", gltfOf(cube(false), true, false), true, 24},
        {"3DS, a group per face", "c.3ds", tdsOf(cube(false), true, false), true, 24},
        {"3DS, one group", "c.3ds", tdsOf(cube(true), true, false), false, 8},
        {"3DS without groups", "c.3ds", tdsOf(cube(true), false, false), false, 8},
        {"OBJ without vn", "c.obj", objOf(cube(false), false, false), false, 8},
        {"Collada without normals", "c.dae", daeOf(cube(false), false, false), false, 8},
        // Four vertices a face in the file: smooth across them all the same.
        {"glTF without NORMAL", "c.gltf", gltfOf(cube(false), false, false), false, 24},
        // Textured: split at every face for the texture, yet smooth.
        {"OBJ textured without vn", "c.obj", objOf(cube(false), false, true), false, 0},
    };
    for (const CubeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Written w = convertFile(c.file, c.bytes);
        ASSERT_TRUE(w.ok) << w.error;
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
                if (c.hard) {
                    EXPECT_NEAR(dot(v.normal, fn), 1, 1e-5);
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

TEST(FaithfulAppearance, RecalculatingKeepsTheFilesHardEdges) {
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    // Own normals off: computed, but the corners' differing normals still
    // say which faces meet smoothly. Here they are tilted, so the computed
    // ones differ from what the file says and still are flat per face.
    Model m = cube(false);
    for (Quad& q : m.quads) q.normal = {q.normal[0] * 0.8f + 0.1f, q.normal[1] * 0.8f + 0.1f, q.normal[2] * 0.8f};
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "own normals kept" : "recalculated");
        const Written w = convertFile("t.obj", objOf(m, true, false), keep);
        ASSERT_TRUE(w.ok) << w.error;
        const test::Cal3dSubmeshData& s = w.mesh[0];
        EXPECT_EQ(s.vertices.size(), 24u);
        int flat = 0;
        for (const auto& f : s.faces) {
            const auto fn = faceNormalOf(s, f);
            for (int k : f) flat += std::fabs(dot(s.vertices[static_cast<std::size_t>(k)].normal, fn) - 1) < 1e-5;
        }
        EXPECT_EQ(flat, keep ? 0 : 36);
    }
}

// A cylinder of 8 sides, its texture wrapped once round: the seam's
// positions are used with u 0 and with u 1.
std::string seamedCylinder() {
    std::string t;
    const double pi = 3.14159265358979;
    for (int y = 0; y < 2; ++y)
        for (int k = 0; k < 8; ++k)
            t += "v " + num(static_cast<float>(std::cos(k * pi / 4))) + " " + std::to_string(y * 2) + " " +
                 num(static_cast<float>(-std::sin(k * pi / 4))) + "\n";
    for (int y = 0; y < 2; ++y)
        for (int k = 0; k <= 8; ++k) t += "vt " + num(k / 8.0f) + " " + std::to_string(y) + "\n";
    for (int k = 0; k < 8; ++k) {
        const int a = k + 1, b = (k + 1) % 8 + 1;
        t += "f " + std::to_string(a) + "/" + std::to_string(k + 1) + " " + std::to_string(b) + "/" +
             std::to_string(k + 2) + " " + std::to_string(b + 8) + "/" + std::to_string(k + 11) + " " +
             std::to_string(a + 8) + "/" + std::to_string(k + 10) + "\n";
    }
    return t;
}

TEST(FaithfulAppearance, BothCopiesOfASeamVertexGetOneNormal) {
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const Written w = convertFile("cyl.obj", seamedCylinder());
    ASSERT_TRUE(w.ok) << w.error;
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
        const Converted out = convertText("m.obj", kTwoMaterials, true, true, c.cull, kLibrary);
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
