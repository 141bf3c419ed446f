// Settings: the configuration file's exact text, lenient loading, the menu
// view model and its sync rules, the two input dialogs.
#include <gtest/gtest.h>

#include "util/numfmt.h"

#include <filesystem>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "convert/settings.h"
#include "support/test_support.h"
#include "support/harness.h"

using namespace molv;
using namespace molv::test;

namespace {

const char* kDefaultFile =
    "switch_obj_yz=False\r\n"
    "switch_xz=False\r\n"
    "autoZeroBsHt=True\r\n"
    "ignore_3ds_ofs=True\r\n"
    "full_paths_in_cfg=False\r\n"
    "flip_3DS_UV_Vs=True\r\n"
    "autoCullUnUsedMaterials=False\r\n"
    "autoCentre=True\r\n"
    "autoResize=True\r\n"
    "reCalcNormals=True\r\n"
    "dflt_autosize= 100 \r\n"
    "dflt_boneID= 0 \r\n"
    "autoscale_UVs=False\r\n"
    "forceAuto=False\r\n"
    "lastLoadPath=\r\n"
    "workdir=\r\n"
    "keepOwnNormals=True\r\n"
    "flip_OBJ_UV_Vs=True\r\n"
    "copyTextures=True\r\n";

struct Fixture {
    molv::test::TestContext tc_;
    ScriptedUI& ui = tc_.ui;
    Context& ctx = tc_.ctx;
    std::string dir;
    explicit Fixture(const char* tag) : dir(tempDir(tag)) { ctx.app.configDir = dir; }
    void writeCfg(const std::string& text) { writeFile(dir + "molvconv.cfg", text); }
};

}  // namespace

TEST(SettingsFile, DefaultsGiveTheExactTextAndWriteThenLoadGivesTheSameValues) {
    EXPECT_EQ(settingsFileText(Settings{}), kDefaultFile);
    Fixture f("roundtrip");
    Settings& s = f.ctx.settings;
    s.switch_obj_yz = true;
    s.autoCentre = false;
    s.dflt_autosize = 42.25f;
    s.dflt_boneID = 17;
    s.autoscale_UVs = true;
    s.forceAuto = true;
    s.lastLoadPath = "/m/";
    s.keepOwnNormals = false;
    s.flip_OBJ_UV_Vs = false;
    f.ctx.app.workdir = f.dir + "work/";
    f.ctx.settingsDirty = true;
    ASSERT_TRUE(writeSettingsFile(f.ctx));
    EXPECT_FALSE(f.ctx.settingsDirty);
    Settings written = s;

    Fixture g("roundtrip2");
    g.ctx.app.configDir = f.dir;
    loadSettings(g.ctx);
    EXPECT_EQ(settingsFileText(g.ctx.settings), settingsFileText(written));
    EXPECT_EQ(g.ctx.app.workdir, f.dir + "work/");
}

TEST(SettingsSync, RawDataLoadTurnsTheObjFlipOffAndDefaultsTurnBothOn) {
    Fixture f("objflip");
    f.ctx.menu.marks.rawDataLoad = true;
    syncSettingsFromMenus(f.ctx, false);
    EXPECT_FALSE(f.ctx.settings.flip_OBJ_UV_Vs);
    EXPECT_TRUE(f.ctx.settings.keepOwnNormals);
    f.ctx.menu.marks.rawDataLoad = false;
    f.ctx.menu.marks.keepOwnNormals = false;
    f.ctx.menu.marks.flip_OBJ_UV_Vs = false;
    syncSettingsFromMenus(f.ctx, false);
    EXPECT_FALSE(f.ctx.settings.keepOwnNormals);
    EXPECT_FALSE(f.ctx.settings.flip_OBJ_UV_Vs);
    applyDefaults(f.ctx);
    showSettingsInMenus(f.ctx);
    EXPECT_TRUE(f.ctx.menu.marks.keepOwnNormals && f.ctx.menu.marks.flip_OBJ_UV_Vs);
}

TEST(SettingsFile, AFileThatCannotBeWrittenIsReportedAndStaysDirty) {
    Fixture f("nowrite");
    f.ctx.app.configDir = f.dir + "missing/";
    f.ctx.settingsDirty = true;
    EXPECT_FALSE(writeSettingsFile(f.ctx));
    EXPECT_TRUE(f.ctx.settingsDirty);
    EXPECT_TRUE(f.ui.sawLog("Settings not saved: " + f.dir + "missing/molvconv.cfg")) << f.ui.log.size();
    EXPECT_FALSE(std::filesystem::exists(f.dir + "missing"));
}

// Each file loaded over the defaults: the lines of the setting it then
// writes, and the one box the user is shown ("" for none).
TEST(SettingsLoad, ValuesAreReadLenientlyAndBadNumbersFallBackToTheDefault) {
    const struct {
        const char* file;
        const char* lines;
        const char* box;
    } rows[] = {
        {"AUTOCENTRE = no\r\n", "autoCentre=True", ""},  // "no" is not recognised: unchanged
        {"autoResize=n\r\n", "autoResize=False", ""},
        {"reCalcNormals=0\n", "reCalcNormals=False", ""},  // LF only
        {"switch_obj_yz=  Y  \r\nswitch_xz=TrUe\r\n", "switch_obj_yz=True\r\nswitch_xz=True", ""},
        {"autoZeroBsHt=\r\n", "autoZeroBsHt=True", ""},  // empty: unchanged
        {";ignore_3ds_ofs=False\r\n", "ignore_3ds_ofs=True", ""},  // a comment
        {"=flip_3DS_UV_Vs=False\r\n", "flip_3DS_UV_Vs=True", ""},  // begins with "=": ignored
        {"full_paths_in_cfg=1\r\n", "full_paths_in_cfg=True", ""},
        // A file from before the normal and OBJ settings leaves them at their defaults.
        {"reCalcNormals=False\r\nworkdir=\r\n", "keepOwnNormals=True\r\nflip_OBJ_UV_Vs=True", ""},
        {"keepOwnNormals=False\r\n", "keepOwnNormals=False\r\nflip_OBJ_UV_Vs=True", ""},
        {"flip_OBJ_UV_Vs=0\r\nkeepownnormals=1\r\n", "keepOwnNormals=True\r\nflip_OBJ_UV_Vs=False", ""},
        // Numbers take the leading number; a bone halves to even.
        {"dflt_autosize=12.5cm\r\ndflt_BoneID=6.5\r\n", "dflt_autosize= 12.5 \r\ndflt_boneID= 6 ", ""},
        {"dflt_boneID=7.5\r\n", "dflt_boneID= 8 ", ""},
        {"dflt_boneID=99999999999\r\n", "dflt_boneID= 2147483647 ", ""},
        // Beyond a float, zero, below zero or no number: the default, not the value before.
        {"dflt_autosize=12.5\r\ndflt_autosize=1e60\r\n", "dflt_autosize= 100 ", "dflt_autosize takes a number above 0, not \"1e60\"; the default 100 is used"},
        {"dflt_autosize=12.5\r\ndflt_autosize=0\r\n", "dflt_autosize= 100 ", "not \"0\"; the default 100 is used"},
        {"dflt_autosize=12.5\r\ndflt_autosize=big\r\n", "dflt_autosize= 100 ", "not \"big\"; the default 100 is used"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        Fixture f("load");
        f.writeCfg(row.file);
        applyDefaults(f.ctx);
        loadSettings(f.ctx);
        const std::string text = settingsFileText(f.ctx.settings);
        EXPECT_NE(text.find(std::string(row.lines) + "\r\n"), std::string::npos) << text;
        if (*row.box) {
            ASSERT_EQ(f.ui.boxes.size(), 1u);
            EXPECT_NE(f.ui.boxes[0].text.find(row.box), std::string::npos) << f.ui.boxes[0].text;
        } else {
            EXPECT_TRUE(f.ui.boxes.empty());
        }
    }
}

// Each answer typed into a number dialog: what the setting holds after it,
// and the refusal shown (the value before it stays).
TEST(SettingsDialogs, NumbersAreCheckedWhereTheyAreTyped) {
    struct Row {
        bool size;  // the resize size, else the bone
        std::optional<std::string> answer;
        double after;
        std::string refusal;  // "" when taken (or nothing was asked)
    };
    const Row rows[] = {
        {true, "250", 250, ""},
        {true, " 46.5 ", 46.5, ""},
        {true, "abc", 100, "dflt_autosize takes a number above 0, not \"abc\""},
        {true, "0", 100, "dflt_autosize takes a number above 0, not \"0\""},
        {true, "1e60", 100, "dflt_autosize takes a number above 0, not \"1e60\""},
        {true, "", 100, ""},            // empty: unchanged
        {true, std::nullopt, 100, ""},  // cancelled
        {false, "2.5", 2, ""},          // rounds half to even
        {false, "-7", -7, ""},
        {false, "x", 0, "dflt_boneID takes a whole number, not \"x\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer.value_or("(cancelled)"));
        Fixture f("dialog");
        f.ui.inputs = {row.answer};
        if (row.size)
            askResizeSize(f.ctx);
        else
            askBoneID(f.ctx);
        EXPECT_EQ(row.size ? double(f.ctx.settings.dflt_autosize) : double(f.ctx.settings.dflt_boneID), row.after);
        const bool changed = row.refusal.empty() && row.answer && !row.answer->empty();
        EXPECT_EQ(f.ctx.settingsDirty, changed);
        if (row.refusal.empty())
            EXPECT_TRUE(f.ui.boxes.empty());
        else
            EXPECT_TRUE(f.ui.sawBox(row.refusal));
        if (row.size) {
            EXPECT_EQ(f.ctx.menu.m_s_setsize_caption, "Set size for resize (" + molv::numText(float(row.after)) + ")");
        }
    }
}
