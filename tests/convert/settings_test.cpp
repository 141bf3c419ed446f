// Settings: the configuration file's exact text, lenient loading, the menu
// view model and its sync rules, the two input dialogs.
#include <gtest/gtest.h>

#include "util/numfmt.h"

#include <filesystem>
#include <sstream>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "convert/settings.h"
#include "support/test_support.h"
#include "support/harness.h"

using namespace molv;
using namespace molv::test;

namespace {

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
    // The file a fresh install writes, byte for byte.
    EXPECT_EQ(settingsFileText(Settings{}), readFile(dataPath("convert/defaults.cfg")));
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
    // Developer mode keeps its own folder.
    g.ctx.app.devMode = true;
    g.ctx.app.workdir = "own/";
    loadSettings(g.ctx);
    EXPECT_EQ(g.ctx.app.workdir, "own/");
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
    const std::string text = readFile(dataPath("convert/settings_load.txt"));
    ASSERT_NE(text, "");
    std::istringstream rows(text);
    for (std::string row; std::getline(rows, row);) {
        if (row.starts_with('#')) continue;
        for (auto at = row.find('\\'); at != std::string::npos; at = row.find('\\', at + 1))
            row.replace(at, 2, row[at + 1] == 'r' ? "\r" : "\n");
        const auto first = row.find(" => "), second = row.find(" =>", first + 4);
        ASSERT_NE(second, std::string::npos) << row;
        const std::string file = row.substr(0, first), lines = row.substr(first + 4, second - first - 4);
        const std::string box = row.substr(std::min(row.size(), second + 4));
        SCOPED_TRACE(file);
        Fixture f("load");
        f.writeCfg(file);
        applyDefaults(f.ctx);
        loadSettings(f.ctx);
        const std::string written = settingsFileText(f.ctx.settings);
        EXPECT_NE(written.find(lines + "\r\n"), std::string::npos) << written;
        if (!box.empty()) {
            ASSERT_EQ(f.ui.boxes.size(), 1u);
            EXPECT_NE(f.ui.boxes[0].text.find(box), std::string::npos) << f.ui.boxes[0].text;
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
