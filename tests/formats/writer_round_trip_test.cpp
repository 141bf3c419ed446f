// Every model under tests/data (and the bundled example) written by our
// Anim8or and Wavefront writers and read back by our readers of those
// formats: the same groups, materials, points and triangles. The Wavefront
// file is also read by assimp, when the tests are built with it. For the
// small cases the written text itself is pinned too, beside the case as
// <case>.written-an8 and <case>.written-obj (the library after the object,
// then what the write logged), with LF line ends; MOLV_UPDATE_GOLDEN=1
// writes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "model/group_numbering.h"
#include "support/harness.h"
#include "support/test_support.h"

#ifdef MOLV_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace molv {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> models() {
    std::vector<std::string> out;
    // Models refused for their non-finite numbers cannot be written.
    for (const std::string& rel : test::filesUnder(test::dataPath(""), {".obj", ".3ds", ".dae"}))
        if (rel.rfind("convert/refused/", 0) != 0) out.push_back(rel);
    out.push_back("../../examples/stool.obj");
    return out;
}

struct RoundTrip : ::testing::TestWithParam<std::string> {
    std::unique_ptr<test::TestContext> src = test::makeContext(true);
    std::unique_ptr<test::TestContext> back = test::makeContext(true);
    std::string dir = test::tempDir("roundtrip");

    // Reads the model; false (the test skipped) when it holds no faces.
    bool readSource() {
        const std::string path = test::dataPath(GetParam());
        src->ctx.app.srcFile = path;
        src->ctx.app.srcExt = std::string(path.substr(path.rfind('.') + 1));
        for (char& c : src->ctx.app.srcExt) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const ReadResult r = test::readFile(src->ctx, path);
        return r.ok() && src->m.ttlnum_Faces > 0;
    }
    void expectGolden(const std::string& ext, std::string got) const {
        if (!GetParam().starts_with("cases/") || GetParam().starts_with("cases/hostile/")) return;
        for (std::size_t k; (k = got.find("\r\n")) != std::string::npos;) got.erase(k, 1);
        test::expectGolden(test::dataPath(GetParam() + ".written-" + ext), got);
    }
    Vec3 pos(const ModelStore& m, std::int32_t v) const { return m.Vertices[static_cast<std::size_t>(v)].pos; }
    UV uv(const ModelStore& m, std::int32_t v) const {
        const Vertex& vx = m.Vertices[static_cast<std::size_t>(v)];
        return vx.UVs.empty() ? UV{} : vx.UVs[0];
    }
};

TEST_P(RoundTrip, Anim8orKeepsGroupsMaterialsPointsAndTriangles) {
    if (!readSource()) GTEST_SKIP() << "no faces";
    const ModelStore& a = src->m;
    ASSERT_TRUE(test::writeAndReadBack(src->ctx, dir + "model.an8", back->ctx)) << (back->ui.boxes.empty() ? "" : back->ui.boxes[0].text);
    const ModelStore& b = back->m;
    EXPECT_TRUE(back->ui.boxes.empty()) << back->ui.boxes[0].text;
    expectGolden("an8", test::readFile(dir + "model.an8"));
    EXPECT_EQ(b.nMaterials, std::max(a.nMaterials, 1));

    GroupVertexNumbering num;
    std::int32_t bg = 0, points = 0;
    for (std::int32_t g = 0; g < a.nFaceGrps; ++g) {
        num.collect(a, g);
        if (num.faces().empty()) continue;
        SCOPED_TRACE("group " + std::to_string(g));
        ASSERT_LT(bg, b.nFaceGrps);
        const FaceGroup& ga = a.FaceGrps[static_cast<std::size_t>(g)];
        const FaceGroup& gb = b.FaceGrps[static_cast<std::size_t>(bg++)];
        points += static_cast<std::int32_t>(num.vertices().size());
        const bool textured = ga.num_maps > 0;
        EXPECT_EQ(gb.num_maps > 0, textured);
        // Materials keep their numbers, colours, shininess and maps.
        const std::int32_t mtl = ga.MtlID >= 0 && ga.MtlID < a.nMaterials ? ga.MtlID : 0;
        ASSERT_EQ(gb.MtlID, mtl);
        if (a.nMaterials > 0) {
            const Material& ma = a.Materials[static_cast<std::size_t>(mtl)];
            const Material& mb = b.Materials[static_cast<std::size_t>(mtl)];
            auto rgb = [](Colour c) { return std::array<int, 3>{c.r, c.g, c.b}; };
            EXPECT_EQ(rgb(ma.ambient), rgb(mb.ambient));
            EXPECT_EQ(rgb(ma.diffuse), rgb(mb.diffuse));
            EXPECT_EQ(rgb(ma.specular), rgb(mb.specular));
            EXPECT_EQ(ma.shininess, mb.shininess);
            const auto maps = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, ma.nMaps)), ma.maps.size());
            EXPECT_EQ(std::vector<std::string>(ma.maps.begin(), ma.maps.begin() + static_cast<std::ptrdiff_t>(maps)), mb.maps);
        }
        ASSERT_EQ(gb.nFcs, static_cast<std::int32_t>(num.faces().size()));
        for (std::size_t i = 0; i < num.faces().size(); ++i) {
            const Face& fa = a.VFaces[static_cast<std::size_t>(num.faces()[i])];
            const Face& fb = b.VFaces[static_cast<std::size_t>(gb.FgGlblFaces[i])];
            for (int k = 0; k < 3; ++k) {
                ASSERT_EQ(pos(a, fa.vtx[k]), pos(b, fb.vtx[k])) << "face " << i << " corner " << k;
                if (textured) {
                    EXPECT_NEAR(uv(a, fa.vtx[k]).u, uv(b, fb.vtx[k]).u, 1e-6);
                    EXPECT_NEAR(uv(a, fa.vtx[k]).v, uv(b, fb.vtx[k]).v, 1e-6);
                }
            }
        }
    }
    EXPECT_EQ(bg, b.nFaceGrps);
    EXPECT_EQ(b.ttlnum_Vertices, points);  // each group's own points, no copies
}

TEST_P(RoundTrip, WavefrontKeepsTrianglesOnTheirPositions) {
    if (!readSource()) GTEST_SKIP() << "no faces";
    const ModelStore& a = src->m;
    const std::size_t logged = src->ui.everyLogLine.size();
    ASSERT_TRUE(test::writeAndReadBack(src->ctx, dir + "model.obj", back->ctx));
    std::string log;
    for (std::size_t i = logged; i < src->ui.everyLogLine.size(); ++i)  // a wrapped line is one line here
        log += src->ui.everyLogLine[i] + (src->ui.everyLogLine[i].size() == LogList::kWrap ? "" : "\n");
    for (std::size_t k; (k = log.find(dir)) != std::string::npos;) log.erase(k, dir.size());
    expectGolden("obj", test::readFile(dir + "model.obj") + "--- model.mtl\n" + test::readFile(dir + "model.mtl") +
                            "--- log\n" + log);
    const ModelStore& b = back->m;
    ASSERT_EQ(b.ttlnum_Faces, a.ttlnum_Faces);
    for (std::int32_t f = 0; f < a.ttlnum_Faces; ++f) {
        const Face& fa = a.VFaces[static_cast<std::size_t>(f)];
        const Face& fb = b.VFaces[static_cast<std::size_t>(f)];
        for (int k = 0; k < 3; ++k) ASSERT_EQ(pos(a, fa.vtx[k]), pos(b, fb.vtx[k])) << "face " << f << " corner " << k;
    }
    // Each distinct position once.
    std::vector<std::array<float, 3>> distinct;
    for (std::int32_t v = 0; v < a.ttlnum_Vertices; ++v) distinct.push_back({pos(a, v).x, pos(a, v).y, pos(a, v).z});
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    EXPECT_EQ(b.ttlnum_Vertices, static_cast<std::int32_t>(distinct.size()));

#ifdef MOLV_HAVE_ASSIMP
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(dir + "model.obj", 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    unsigned faces = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) faces += scene->mMeshes[i]->mNumFaces;
    EXPECT_EQ(faces, static_cast<unsigned>(a.ttlnum_Faces));
#endif
}

INSTANTIATE_TEST_SUITE_P(Data, RoundTrip, ::testing::ValuesIn(models()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return test::testName(p.param); });

}  // namespace
}  // namespace molv
