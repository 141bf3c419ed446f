// Settings: the configuration file's exact text, lenient loading, the menu
// view model and its sync rules, the two input dialogs.
#include <gtest/gtest.h>

#include <filesystem>
#include <locale>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "convert/settings.h"
#include "support/test_support.h"

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
    "workdir=\r\n";

struct Fixture {
    ScriptedUI ui;
    Context ctx{ui};
    std::string dir;
    explicit Fixture(const char* tag) : dir(tempDir(tag)) { ctx.app.configDir = dir; }
    void writeCfg(const std::string& text) { writeFile(dir + "molvconv.cfg", text); }
};

// Decimal comma, as a German user's locale would have it.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

}  // namespace

TEST(SettingsFile, DefaultsGiveTheExactText) {
    Settings s;
    EXPECT_EQ(settingsFileText(s), kDefaultFile);
}

TEST(SettingsFile, NumbersHaveTheirBlanks) {
    Settings s;
    s.dflt_autosize = 12.5f;
    s.dflt_boneID = -5;
    s.lastLoadPath = "/models/my chair/";
    s.workdir = "/home/u/.config/molvconv/work/";
    s.switch_xz = true;
    std::string t = settingsFileText(s);
    EXPECT_NE(t.find("\r\ndflt_autosize= 12.5 \r\n"), std::string::npos) << t;
    EXPECT_NE(t.find("\r\ndflt_boneID=-5 \r\n"), std::string::npos) << t;
    EXPECT_NE(t.find("\r\nswitch_xz=True\r\n"), std::string::npos);
    EXPECT_NE(t.find("\r\nlastLoadPath=/models/my chair/\r\n"), std::string::npos);
    // A float size is written in its own shortest form, not as a double.
    s.dflt_autosize = 0.1f;
    EXPECT_NE(settingsFileText(s).find("dflt_autosize= 0.1 \r\n"), std::string::npos);
}

TEST(SettingsFile, NumberTextIgnoresTheUsersLocale) {
    std::locale old = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    const char* cOld = std::setlocale(LC_ALL, nullptr);
    std::string savedC = cOld ? cOld : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name)) break;

    Fixture f("locale");
    f.ctx.settings.dflt_autosize = 1234.5f;
    std::string t = settingsFileText(f.ctx.settings);
    f.writeCfg("dflt_autosize=2.75\r\ndflt_boneID=1234\r\n");
    loadSettings(f.ctx);
    f.ui.inputs.push_back(std::string("3.5"));
    askResizeSize(f.ctx);

    std::setlocale(LC_ALL, savedC.c_str());
    std::locale::global(old);
    EXPECT_NE(t.find("dflt_autosize= 1234.5 "), std::string::npos) << t;
    EXPECT_EQ(f.ctx.settings.dflt_boneID, 1234);
    EXPECT_FLOAT_EQ(f.ctx.settings.dflt_autosize, 3.5f);
    EXPECT_EQ(f.ctx.menu.m_s_setsize_caption, "Set size for resize (3.5)");
}

TEST(SettingsFile, WriteThenLoadGivesTheSameValues) {
    Fixture f("roundtrip");
    Settings& s = f.ctx.settings;
    s.switch_obj_yz = true;
    s.autoCentre = false;
    s.dflt_autosize = 42.25f;
    s.dflt_boneID = 17;
    s.autoscale_UVs = true;
    s.forceAuto = true;
    s.lastLoadPath = "/m/";
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

TEST(SettingsFile, AFileThatCannotBeWrittenIsReportedAndStaysDirty) {
    Fixture f("nowrite");
    f.ctx.app.configDir = f.dir + "missing/";
    f.ctx.settingsDirty = true;
    EXPECT_FALSE(writeSettingsFile(f.ctx));
    EXPECT_TRUE(f.ctx.settingsDirty);
    EXPECT_TRUE(f.ui.sawLog("Settings not saved: " + f.dir + "missing/molvconv.cfg")) << f.ui.log.size();
    EXPECT_FALSE(std::filesystem::exists(f.dir + "missing"));
}

TEST(SettingsFile, ReplacedWholeWithNoTemporaryLeft) {
    Fixture f("whole");
    f.writeCfg(std::string(5000, 'x'));
    ASSERT_TRUE(writeSettingsFile(f.ctx));
    EXPECT_EQ(readFile(f.dir + "molvconv.cfg"), kDefaultFile);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(f.dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(SettingsLoad, FlagsAreReadLeniently) {
    Fixture f("flags");
    f.writeCfg(
        "AUTOCENTRE = no\r\n"       // "no" is not recognised: unchanged
        "autoResize=n\r\n"          // off
        "reCalcNormals=0\n"         // off, LF only
        "switch_obj_yz=  Y  \r\n"   // on
        "switch_xz=TrUe\r\n"        // on
        "autoZeroBsHt=\r\n"         // empty: unchanged
        ";ignore_3ds_ofs=False\r\n" // comment
        "=flip_3DS_UV_Vs=False\r\n" // begins with "=": ignored
        "full_paths_in_cfg=1\r\n");
    applyDefaults(f.ctx);
    loadSettings(f.ctx);
    const Settings& s = f.ctx.settings;
    EXPECT_TRUE(s.autoCentre);
    EXPECT_FALSE(s.autoResize);
    EXPECT_FALSE(s.reCalcNormals);
    EXPECT_TRUE(s.switch_obj_yz);
    EXPECT_TRUE(s.switch_xz);
    EXPECT_TRUE(s.autoZeroBsHt);
    EXPECT_TRUE(s.ignore_3ds_ofs);
    EXPECT_TRUE(s.flip_3DS_UV_Vs);
    EXPECT_TRUE(s.full_paths_in_cfg);
}

TEST(SettingsLoad, NumbersTakeTheLeadingNumber) {
    Fixture f("numbers");
    f.writeCfg("dflt_autosize=12.5cm\r\ndflt_BoneID=6.5\r\n");
    loadSettings(f.ctx);
    EXPECT_FLOAT_EQ(f.ctx.settings.dflt_autosize, 12.5f);
    EXPECT_EQ(f.ctx.settings.dflt_boneID, 6);  // halves to even
    f.writeCfg("dflt_boneID=7.5\r\ndflt_autosize=1e60\r\n");
    loadSettings(f.ctx);
    EXPECT_EQ(f.ctx.settings.dflt_boneID, 8);
    EXPECT_EQ(f.ctx.settings.dflt_autosize, 0.0f);  // beyond a float: refused as 0, never infinity
    f.writeCfg("dflt_boneID=99999999999\r\n");
    loadSettings(f.ctx);
    EXPECT_EQ(f.ctx.settings.dflt_boneID, 2147483647);
}

TEST(SettingsLoad, MissingFileChangesNothing) {
    Fixture f("missing");
    f.ctx.settings.autoCentre = false;
    loadSettings(f.ctx);
    EXPECT_FALSE(f.ctx.settings.autoCentre);
    EXPECT_TRUE(f.ui.boxes.empty());
    EXPECT_TRUE(f.ui.log.empty());
}

TEST(SettingsLoad, WorkFolderGetsItsSeparatorAndIsSkippedInDeveloperMode) {
    Fixture f("workdir");
    f.writeCfg("workdir=/data/work\r\n");
    loadSettings(f.ctx);
    EXPECT_EQ(f.ctx.app.workdir, "/data/work/");
    EXPECT_EQ(f.ctx.settings.workdir, "/data/work/");

    Fixture d("workdirdev");
    d.ctx.app.devMode = true;
    d.ctx.app.workdir = "/dev/folder/";
    d.writeCfg("workdir=/data/work/\r\n");
    loadSettings(d.ctx);
    EXPECT_EQ(d.ctx.app.workdir, "/dev/folder/");
}

TEST(SettingsDefaults, LeaveTheUndefaultedValues) {
    Fixture f("defaults");
    Settings& s = f.ctx.settings;
    s.switch_xz = true;
    s.autoscale_UVs = true;
    s.forceAuto = true;
    s.rawDataLoad = true;
    s.switch_obj_yz = true;
    s.dflt_autosize = 5;
    s.dflt_boneID = 3;
    s.autoCentre = false;
    applyDefaults(f.ctx);
    EXPECT_TRUE(s.switch_xz);
    EXPECT_TRUE(s.autoscale_UVs);
    EXPECT_TRUE(s.forceAuto);
    EXPECT_TRUE(s.rawDataLoad);
    EXPECT_FALSE(s.switch_obj_yz);
    EXPECT_EQ(s.dflt_autosize, 100.0f);
    EXPECT_EQ(s.dflt_boneID, 0);
    EXPECT_TRUE(s.autoCentre);
}

TEST(SettingsMenuModel, DefaultSettingsCommandShowsAndSaves) {
    Fixture f("defaultcmd");
    f.ctx.settings.switch_xz = true;
    f.ctx.menu.m_s_switch_xz = true;
    f.ctx.menu.m_s_autocentre = false;
    f.ctx.settingsDirty = true;
    defaultSettings(f.ctx);
    EXPECT_TRUE(f.ctx.menu.m_s_autocentre);
    EXPECT_TRUE(f.ctx.settings.switch_xz);
    EXPECT_FALSE(f.ctx.settingsDirty);
    EXPECT_NE(readFile(f.dir + "molvconv.cfg").find("switch_xz=True\r\n"), std::string::npos);
}

TEST(SettingsMenuModel, ToggleChangesTheMarkNotTheValue) {
    Fixture f("toggle");
    showSettingsInMenus(f.ctx);
    toggleMenuItem(f.ctx, &SettingsMenu::m_s_autocentre);
    EXPECT_FALSE(f.ctx.menu.m_s_autocentre);
    EXPECT_TRUE(f.ctx.settings.autoCentre);
    EXPECT_TRUE(f.ctx.settingsDirty);
    syncSettingsFromMenus(f.ctx, false);
    EXPECT_FALSE(f.ctx.settings.autoCentre);
}

TEST(SettingsMenuModel, CaptionsAndMarksFollowTheValues) {
    Fixture f("show");
    f.ctx.settings.dflt_autosize = 2.5f;
    f.ctx.settings.dflt_boneID = -3;
    f.ctx.settings.rawDataLoad = true;
    f.ctx.settings.flip_3DS_UV_Vs = false;
    showSettingsInMenus(f.ctx);
    EXPECT_EQ(f.ctx.menu.m_s_setsize_caption, "Set size for resize (2.5)");
    EXPECT_EQ(f.ctx.menu.m_s_setbone_caption, "Set prop Bone (-3)");
    EXPECT_TRUE(f.ctx.menu.m_s_rawdataload);
    EXPECT_FALSE(f.ctx.menu.m_s_flipUV);
}

TEST(SettingsMenuModel, RawDataLoadForcesTheValuesNotTheMarks) {
    Fixture f("raw");
    SettingsMenu& m = f.ctx.menu;
    m.m_s_rawdataload = true;
    m.m_s_ignore_3ds_ofs = false;
    m.m_s_autocentre = true;
    m.m_s_autozerobsht = true;
    m.m_s_autoresize = true;
    m.m_s_flipUV = true;
    m.m_s_autoscale_UVs = true;
    m.m_s_recalcnormals = false;
    f.ctx.settings.forceAuto = true;
    syncSettingsFromMenus(f.ctx, false);
    const Settings& s = f.ctx.settings;
    EXPECT_TRUE(s.ignore_3ds_ofs);
    EXPECT_FALSE(s.autoCentre);
    EXPECT_FALSE(s.autoZeroBsHt);
    EXPECT_FALSE(s.autoResize);
    EXPECT_FALSE(s.flip_3DS_UV_Vs);
    EXPECT_FALSE(s.autoscale_UVs);
    EXPECT_FALSE(s.forceAuto);
    EXPECT_FALSE(s.reCalcNormals);  // taken from its mark either way
    EXPECT_TRUE(m.m_s_autocentre);
    EXPECT_FALSE(m.m_s_ignore_3ds_ofs);

    m.m_s_rawdataload = false;
    syncSettingsFromMenus(f.ctx, false);
    EXPECT_FALSE(s.ignore_3ds_ofs);
    EXPECT_TRUE(s.autoCentre);
    EXPECT_TRUE(s.autoscale_UVs);
}

TEST(SettingsMenuModel, DeveloperPanel) {
    Fixture f("panel");
    f.ctx.app.workdir = "/w/";
    SettingsMenu& m = f.ctx.menu;
    m.tSrcFile = "chair.3ds";
    m.chStats = true;
    m.tKF1 = "12";
    m.tKF2 = "x";
    m.tDbgLvl = "2";
    m.chDbgLog3 = true;
    syncSettingsFromMenus(f.ctx, false);
    EXPECT_EQ(f.ctx.dbgLevel, 0);  // the panel is read only when asked
    syncSettingsFromMenus(f.ctx, true);
    EXPECT_EQ(f.ctx.app.srcFile, "/w/chair.3ds");
    EXPECT_EQ(m.tSrcFile, "/w/chair.3ds");
    EXPECT_TRUE(f.ctx.app.statsFlag);
    EXPECT_EQ(f.ctx.app.devNum1, 12);
    EXPECT_EQ(f.ctx.app.devNum2, 0);
    EXPECT_EQ(f.ctx.dbgLevel, 2);
    EXPECT_TRUE(f.ctx.app.extraLog);
    m.tSrcFile = "C:\\m\\a.3ds";
    syncSettingsFromMenus(f.ctx, true);
    EXPECT_EQ(f.ctx.app.srcFile, "C:\\m\\a.3ds");
}

TEST(SettingsDialogs, ResizeSize) {
    Fixture f("resize");
    f.ui.inputs = {std::string("abc"), std::string(""), std::nullopt, std::string("250")};
    askResizeSize(f.ctx);
    EXPECT_EQ(f.ctx.settings.dflt_autosize, 0.0f);
    EXPECT_EQ(f.ctx.menu.m_s_setsize_caption, "Set size for resize (0)");
    EXPECT_TRUE(f.ctx.settingsDirty);
    f.ctx.settingsDirty = false;
    askResizeSize(f.ctx);  // empty
    askResizeSize(f.ctx);  // cancelled
    EXPECT_FALSE(f.ctx.settingsDirty);
    askResizeSize(f.ctx);
    EXPECT_EQ(f.ctx.settings.dflt_autosize, 250.0f);
    ASSERT_EQ(f.ui.prompts.size(), 4u);
    EXPECT_EQ(f.ui.prompts[0], "Enter size to auto-resize to:");
}

TEST(SettingsDialogs, BoneIdCaptionHasTwoBlanksUntilRestart) {
    Fixture f("bone");
    f.ui.inputs = {std::string("7")};
    askBoneID(f.ctx);
    EXPECT_EQ(f.ctx.settings.dflt_boneID, 7);
    EXPECT_EQ(f.ctx.menu.m_s_setbone_caption, "Set prop Bone  (7)");
    EXPECT_TRUE(f.ctx.settingsDirty);
    ASSERT_TRUE(saveSettings(f.ctx));

    Fixture g("bone2");
    g.ctx.app.configDir = f.dir;
    applyDefaults(g.ctx);
    loadSettings(g.ctx);
    showSettingsInMenus(g.ctx);
    EXPECT_EQ(g.ctx.menu.m_s_setbone_caption, "Set prop Bone (7)");
}

TEST(SettingsDialogs, BoneIdRoundsAndRefusesText) {
    Fixture f("bone3");
    f.ui.inputs = {std::string("2.5"), std::string("x")};
    askBoneID(f.ctx);
    EXPECT_EQ(f.ctx.settings.dflt_boneID, 2);
    askBoneID(f.ctx);
    EXPECT_EQ(f.ctx.settings.dflt_boneID, 0);
}
