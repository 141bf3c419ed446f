// Host content listings: the reports' exact texts, the body-part
// configuration, and names from file content that must not lead out of the
// source's folder. Text materials are reader cases (cases/hostile/txm_*).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/harness.h"
#include "support/test_support.h"
#include "util/fileio.h"

namespace molv {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

struct ListingTest : ::testing::Test, test::TestContext {
    std::string root, dir;
    void SetUp() override {
        root = test::tempDir("host");
        dir = root + "content/props/";
        fs::create_directories(dir);
        ctx.app.workdir = root + "work/";
        fs::create_directories(ctx.app.workdir);
    }
    std::vector<std::string> files() const { return test::filesUnder(root); }
};

// A source kept under tests/data/formats.
std::string source(const std::string& name) { return readFile(test::dataPath("formats/" + name)); }

TEST_F(ListingTest, DescriptorsSortedAndGroupedByTheirFirstPart) {
    writeFile(dir + "descriptors.rtml",
              "<list>\r\n  <model>b/y.xml</model>\r\n<x>\r\n\t<model>a/z.xml</model>\r\n<model>a/x.xml</model>\r\n"
              "<model>c.xml</model>\r\n</list>");
    ASSERT_TRUE(listDescriptors(ctx, dir + "descriptors.rtml").ok());
    EXPECT_EQ(readFile(dir + "props_prop_info.txt"), " --- " + dir +
                                                         "descriptors.rtml ---\r\n"
                                                         "\r\na/x.xml\r\na/z.xml\r\n"
                                                         "\r\nb/y.xml\r\n"
                                                         "\r\nc.xml\r\n");
    EXPECT_TRUE(ui.sawLog("4 descriptors written to " + dir + "props_prop_info.txt"));
    EXPECT_TRUE(ctx.app.readWroteOutput);
}

TEST_F(ListingTest, DescriptorsWithoutModelsWriteNothing) {
    writeFile(dir + "descriptors.rtml", "<list>\n<name>x</name>\n</list>\n");
    const ReadResult r = listDescriptors(ctx, dir + "descriptors.rtml");
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(ui.sawBox("No models - try Bodyparts.rtml"));
    EXPECT_EQ(files(), std::vector<std::string>{"content/props/descriptors.rtml"});
    EXPECT_FALSE(listDescriptors(ctx, dir + "gone.rtml").ok());
    EXPECT_TRUE(ui.sawBox("Not found: " + dir + "gone.rtml"));
}

// hair.bodypart: one body part, its mesh named on line 5; bodyparts.rtml:
// it and one more in a list.
TEST_F(ListingTest, BodyPartListingAndConfiguration) {
    writeFile(dir + "bodyparts.rtml", source("bodyparts.rtml"));
    ASSERT_TRUE(listBodyParts(ctx, dir + "bodyparts.rtml", true).ok());
    EXPECT_EQ(readFile(dir + "props_bodypart_info.txt"),
              " --- content/props ---\r\n -- Male bodies --\r\nHair\r\nShort hair\r\nBoots\r\n");
    EXPECT_TRUE(ui.sawLog("4 items written to " + dir + "props_bodypart_info.txt"));
    ctx.app.readWroteOutput = false;
    writeFile(dir + "hair.bodypart", source("hair.bodypart"));
    ASSERT_TRUE(listBodyParts(ctx, dir + "hair.bodypart", false).ok());
    // Named after the mesh, beside the body part, so its entries read from there.
    EXPECT_EQ(ctx.app.outFile, dir + "hair.cfg");
    EXPECT_EQ(readFile(dir + "hair.cfg"),
              "# models/hair\r\nscale=1.0\r\nskeleton = models/hair.csf\r\nmesh=models/hair.cmf\r\nmaterial=hair_mat.crf\r\n");
    EXPECT_TRUE(ui.sawLog("Writing to : " + dir + "hair.cfg"));
    EXPECT_TRUE(ui.sawLog("material=hair_mat.crf"));
    EXPECT_TRUE(ui.sawLog("(copy those files into WORKdir, as well as referenced texture files)"));
    EXPECT_TRUE(ctx.app.readWroteOutput);
}

TEST_F(ListingTest, PuppetsAddonsAndSkeletonsFoundBeside) {
    // A male puppet folder takes the puppet skeleton.
    const std::string puppet = root + "Puppet/";
    fs::create_directories(puppet);
    writeFile(puppet + "p.bodypart", source("hair.bodypart"));
    ASSERT_TRUE(listBodyParts(ctx, puppet + "p.bodypart", false).ok());
    EXPECT_NE(readFile(puppet + "hair.cfg").find("skeleton = Male01_Skel.csf\r\n"), std::string::npos);
    // An add-on goes to the work folder, its entries with the folder; a
    // skeleton lying beside it stands in for the missing one.
    const std::string addon = root + "AddOn/hats/";
    fs::create_directories(addon);
    writeFile(addon + "hat.bodypart", source("hair.bodypart"));
    writeFile(addon + "zz.csf", "");
    writeFile(addon + "head.csf", "");
    ASSERT_TRUE(listBodyParts(ctx, addon + "hat.bodypart", false).ok());
    EXPECT_EQ(ctx.app.outFile, ctx.app.workdir + "hat.cfg");
    EXPECT_EQ(readFile(ctx.app.workdir + "hat.cfg"), "# models/hair\r\nscale=1.0\r\nskeleton = " + addon +
                                                         "head.csf\r\nmesh=" + addon + "models/hair.cmf\r\nmaterial=" +
                                                         addon + "hair_mat.crf\r\n");
    EXPECT_TRUE(ui.sawLog("(copy texture files into WORKdir)"));
}

TEST_F(ListingTest, MeshNamesThatLeadOutAreRefused) {
    for (const char* name : {"../../evil", "..\\evil", "/srv/evil", "c:\\evil", "models/.../x"}) {
        SCOPED_TRACE(name);
        ui.boxes.clear();
        std::string text = source("hair.bodypart");
        text.replace(text.find("models/hair"), 11, name);
        writeFile(dir + "x.bodypart", text);
        EXPECT_FALSE(listBodyParts(ctx, dir + "x.bodypart", false).ok());
        EXPECT_TRUE(ui.sawBox(dir + "x.bodypart line 5: the mesh name \"" + std::string(name) +
                              "\" leads out of the body part's folder"));
    }
    writeFile(dir + "y.bodypart", "<quodex.things.BodyPart>\n<name>x</name>\n</quodex.things.BodyPart>\n");
    EXPECT_FALSE(listBodyParts(ctx, dir + "y.bodypart", false).ok());
    EXPECT_TRUE(ui.sawBox("No mesh named in " + dir + "y.bodypart"));
    EXPECT_EQ(files(), (std::vector<std::string>{"content/props/x.bodypart", "content/props/y.bodypart"}));
}

}  // namespace
}  // namespace molv
