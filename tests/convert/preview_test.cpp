// The preview of a converted set: golden pictures of small models, the
// textures it shows or does without (the program's runs write and refuse
// pictures in molvconv_test.cpp).
// MOLV_UPDATE_GOLDEN=1 rewrites the golden pictures instead of comparing;
// look at them before committing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "convert/preview.h"
#include "support/harness.h"
#include "support/test_support.h"
#include "util/fileio.h"
#include "util/image.h"

namespace molv {
namespace {

using test::dataPath;
using test::tempDir;
using test::writeFile;

constexpr int kSize = 128;

struct PreviewTest : ::testing::Test, test::TestContext {
    std::string dir;

    void SetUp() override {
        dir = tempDir("preview");
        ctx.app.configDir = dir;
        ctx.app.workdir = dir;
    }

    // Converts src into this test's folder and draws what was written.
    PreviewPicture convertAndDraw(const std::string& src, const std::string& name) {
        EXPECT_TRUE(test::convert(ctx, src, dir + name + ".cmf")) << src;
        return renderLastSet(ctx, kSize);
    }

    std::vector<std::string> previewLogLines() const {
        std::vector<std::string> lines;
        for (const std::string& l : ui.everyLogLine)
            if (l.rfind("Preview: texture", 0) == 0) lines.push_back(l);
        return lines;
    }
};

// Pixels whose channels differ by more than 16 from the golden picture's;
// a few hundredths of the picture may, for rounding across compilers.
TEST_F(PreviewTest, SmallModelsMatchTheirGoldenPictures) {
    const struct {
        const char* model;   // under tests/data
        const char* golden;  // under tests/data/preview
    } rows[] = {
        {"../../examples/stool.obj", "stool.png"},  // BMP textures
        {"gltf/BoxTextured.gltf", "BoxTextured.png"},  // a PNG texture
        {"3ds/spider_assimp.3ds", "spider.png"},  // six materials, the textures missing
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.model);
        PreviewPicture pic = convertAndDraw(dataPath(row.model), "m");
        ASSERT_TRUE(pic.ok) << pic.message;
        ASSERT_EQ(pic.image.width, kSize);
        const std::string goldenPath = dataPath(std::string("preview/") + row.golden);
        if (std::getenv("MOLV_UPDATE_GOLDEN")) {
            writeFile(goldenPath, encodePng(pic.image));
            continue;
        }
        Image want;
        std::string err;
        ASSERT_TRUE(decodeImage(test::readFile(goldenPath), goldenPath, want, err)) << goldenPath << ": " << err;
        ASSERT_EQ(want.width, kSize);
        ASSERT_EQ(want.height, kSize);
        int differing = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const std::uint8_t *w = want.at(x, y), *p = pic.image.at(x, y);
                differing += std::abs(w[0] - p[0]) > 16 || std::abs(w[1] - p[1]) > 16 || std::abs(w[2] - p[2]) > 16;
            }
        EXPECT_LE(differing, kSize * kSize / 50);
    }
}

// The square of tests/data/preview/square faces the viewer, green, its
// texture map tex.tga red: the middle of the picture shows the red when the
// map reads, else the green, with one log line saying why.
TEST_F(PreviewTest, TextureShownWhenReadableElseTheColourAndOneLogLine) {
    const std::string square = dataPath("preview/square/");
    const struct {
        const char* what;
        std::string texture;  // the bytes of tex.tga; "-" for no file
        bool red;
    } rows[] = {
        {"readable", test::readFile(square + "tex.tga"), true},
        {"missing", "-", false},
        {"damaged", "\x01\x02garbage", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string src = tempDir("square");
        for (const char* name : {"sq.obj", "sq.mtl"}) writeFile(src + name, test::readFile(square + name));
        if (row.texture != "-") writeFile(src + "tex.tga", row.texture);
        dir = tempDir("preview");  // no map copied beside an earlier row's set
        ui.everyLogLine.clear();
        PreviewPicture pic = convertAndDraw(src + "sq.obj", "sq");
        ASSERT_TRUE(pic.ok) << pic.message;
        // The square's middle is the middle of the picture's upper part.
        const std::uint8_t* p = pic.image.at(kSize / 2, kSize * 83 / 200);
        if (row.red) {
            EXPECT_GT(p[0], 2 * p[1]);
            EXPECT_GT(p[0], 2 * p[2]);
            EXPECT_TRUE(previewLogLines().empty());
        } else {
            EXPECT_GT(p[1], 2 * p[0]);
            EXPECT_GT(p[1], 2 * p[2]);
            ASSERT_EQ(previewLogLines().size(), 1u);
            EXPECT_NE(previewLogLines()[0].find("tex.tga"), std::string::npos) << previewLogLines()[0];
        }
    }
}

// A picture held inside the source exists only beside the set once it is
// written: the preview finds it there, wherever the source is. (The
// program's runs write previews as PNG files.)
TEST_F(PreviewTest, AnEmbeddedTextureIsShownFromBesideTheSet) {
    PreviewPicture pic = convertAndDraw(dataPath("gltf/BoxTextured.glb"), "box");
    ASSERT_TRUE(pic.ok) << pic.message;
    EXPECT_TRUE(previewLogLines().empty()) << previewLogLines()[0];
}

}  // namespace
}  // namespace molv
