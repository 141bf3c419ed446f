// Small models built through the store's add operations, as a reader would.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "model/store.h"
#include "support/harness.h"
#include "support/test_support.h"

namespace molv::test {

struct ModelFixture : ::testing::Test, TestContext {
    std::int32_t vertex(float x, float y, float z) {
        std::int32_t i = -1;
        return m.AddVertex(i, x, y, z, x, z, y);
    }
    void uv(std::int32_t v, float u, float w) {
        Vertex& vx = m.Vertices[static_cast<std::size_t>(v)];
        vx.UVs.clear();
        vx.UVs.push_back(UV{u, w});
        vx.num_UVs = 1;
    }
    // A triangle stored with corners (c, b, a), as AddFace does, added to
    // the last group.
    void face(std::int32_t a, std::int32_t b, std::int32_t c, bool maps = false) {
        std::int32_t mesh = m.lastMesh();
        std::int32_t rel = m.Meshes[static_cast<std::size_t>(mesh)].num_Faces;
        m.AddFace(mesh, 0, a, b, c);
        m.AddFaceToGroup(mesh, m.nFaceGrps - 1, maps, rel, -1);
    }
    std::int32_t material(const std::string& name, Colour amb = {}, std::vector<std::string> maps = {}) {
        std::int32_t i = m.AddMaterial(name);
        Material& mt = m.Materials[static_cast<std::size_t>(i)];
        mt.ambient = amb;
        mt.maps = maps;
        mt.nMaps = static_cast<std::int32_t>(maps.size());
        return i;
    }
    // Root and its child Arm, whose name length is beyond the name: blank padded.
    void twoBoneSkeleton() {
        SkeletonStore& s = ctx.skel;
        s.skl_version = 1000;
        s.num_Bones = 2;
        s.Bones.assign(3, Bone{});
        s.Bones[0] = Bone{5, "Root", {0, 0, 0}, {0, 0, 0, 1}, {0, 0, 0}, {0, 0, 0, 1}, -1, 1, {1}};
        s.Bones[1] = Bone{6, "Arm", {2.5f, 0, 0}, {0, 0, 0, 1}, {0, 0, 0}, {0, 0, 0, 1}, 0, 0, {}};
    }
    // A grid of (n+1)^2 vertices and 2n^2 faces in one face group.
    void grid(int n, std::int32_t mtl, float z = 0) {
        std::int32_t base = m.ttlnum_Vertices;
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                std::int32_t v = vertex(static_cast<float>(i), static_cast<float>(j), z);
                uv(v, static_cast<float>(i) / n, static_cast<float>(j) / n);
            }
        m.AddFaceGroup(true, mtl, m.Meshes[static_cast<std::size_t>(m.lastMesh())].face_ndx_stt);
        auto at = [&](int i, int j) { return base + j * (n + 1) + i; };
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                face(at(i, j), at(i + 1, j), at(i + 1, j + 1), true);
                face(at(i, j), at(i + 1, j + 1), at(i, j + 1), true);
            }
    }
};

// Compares with tests/data/cal3d/golden/NAME; a NAME ending in ".hex" holds
// bytes as hex pairs ("#" starts a comment). MOLV_UPDATE_GOLDEN=1 writes the
// file from what was made, to be reviewed before it is committed.
inline ::testing::AssertionResult matchesGolden(const std::string& got, const std::string& name) {
    const std::string path = dataPath("cal3d/golden/" + name);
    const bool hex = name.size() > 4 && name.substr(name.size() - 4) == ".hex";
    if (std::getenv("MOLV_UPDATE_GOLDEN")) {
        std::string text;
        for (std::size_t i = 0; hex && i < got.size(); ++i) {
            text += "0123456789ABCDEF"[static_cast<unsigned char>(got[i]) >> 4];
            text += "0123456789ABCDEF"[got[i] & 15];
            text += i % 12 == 11 || i + 1 == got.size() ? "\n" : i % 4 == 3 ? "  " : " ";
        }
        writeFile(path, hex ? text : got);
        return ::testing::AssertionSuccess();
    }
    std::istringstream in(readFile(path));
    std::string want, line;
    while (hex && std::getline(in, line)) {
        std::istringstream bytes(line.substr(0, line.find('#')));
        for (unsigned b = 0; bytes >> std::hex >> b;) want.push_back(static_cast<char>(b));
    }
    if (!hex) want = in.str();
    if (want.empty()) return ::testing::AssertionFailure() << "no golden file " << name;
    const std::string diff = firstDifference(want, got);
    if (diff.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ": " << diff;
}

}  // namespace molv::test
