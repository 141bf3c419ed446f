// Start-up: where the configuration, work folder and log file go, developer
// mode (the program's own runs, developer mode and the phase a failure
// names among them, are in tests/data/shell/runs).
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/startup.h"
#include "util/fileio.h"
#include "support/harness.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::test;
using molv::test::TestContext;

namespace {

const std::string sep(1, pathSep());

// A user's environment with home as their folder, and the configuration
// folder start-up then picks.
#ifdef _WIN32
ProcessEnv homeEnv(const std::string& home) {
    ProcessEnv e;
    e.userProfile = home;
    return e;
}
std::string configIn(const std::string& home) { return home + "application data\\molvconv\\"; }
#else
ProcessEnv homeEnv(const std::string& home) {
    ProcessEnv e;
    e.home = home;
    e.xdgConfigHome = home + ".config";
    return e;
}
std::string configIn(const std::string& home) { return home + ".config/molvconv/"; }
#endif

}  // namespace

#ifdef _WIN32
TEST(ConfigFolder, UserProfileThenTemp) {
    ProcessEnv e;
    e.temp = "C:\\Users\\u\\AppData\\Local\\Temp";
    EXPECT_EQ(configDirFor(e), "C:\\Users\\u\\AppData\\Local\\Temp\\molvconv\\");
    e.userProfile = "C:\\Users\\u";
    EXPECT_EQ(configDirFor(e), "C:\\Users\\u\\application data\\molvconv\\");
    e.userProfile = "D:/profiles/u/";  // either separator closes a folder
    EXPECT_EQ(configDirFor(e), "D:/profiles/u/application data\\molvconv\\");
    EXPECT_EQ(devMarkerPath(e), "c:\\molv.id");
    EXPECT_EQ(devFolderFor(e), "v:\\");
    EXPECT_EQ(programBaseName("C:\\Program Files\\molvConv\\vtm3.exe"), "vtm3");
}
#else
TEST(ConfigFolder, UserProfileThenTempThenThePlatformFolder) {
    ProcessEnv e;
    e.home = "/home/u";
    EXPECT_EQ(configDirFor(e), "/home/u/.config/molvconv/");
    e.xdgConfigHome = "/x/cfg/";
    EXPECT_EQ(configDirFor(e), "/x/cfg/molvconv/");
    e.xdgConfigHome = "relative/cfg";  // not absolute: ignored
    EXPECT_EQ(configDirFor(e), "/home/u/.config/molvconv/");
    e.temp = "/var/tmp";
    EXPECT_EQ(configDirFor(e), "/var/tmp/molvconv/");
    e.userProfile = "/profiles/u/";
    EXPECT_EQ(configDirFor(e), "/profiles/u/application data/molvconv/");
}
#endif

TEST(StartUp, SetsUpFoldersLogFileAndSettings) {
    std::string home = tempDir("suhome");
    std::string cfg = configIn(home);
    std::filesystem::create_directories(cfg);
    writeFile(cfg + "molvconv.cfg", "autoCentre=False\r\ndflt_autosize=80\r\n");
    TestContext t;
    Context& ctx = t.ctx;
    StartupResult r = startUp(ctx, "-molv", "/usr/bin/molvconv", homeEnv(home));
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_FALSE(ctx.logList.entries().empty());
    EXPECT_EQ(ctx.logList.entries()[0], "-molv");  // the command line is the log's first line
    finishStartupWithoutSource(ctx);
    EXPECT_EQ(ctx.app.fileFilter, "Known files|*.3ds;*.obj;*.dae;*.gltf;*.glb|3D Studio .3ds|*.3ds|Wavefront .obj|*.obj|"
                                  "Collada .dae|*.dae|glTF .gltf|*.gltf|glTF binary .glb|*.glb|All Files (*.*)|*.*");
    EXPECT_EQ(r.phase, "P8");
    EXPECT_EQ(ctx.app.configDir, cfg);
    EXPECT_EQ(ctx.app.workdir, cfg + "work" + sep);
    EXPECT_TRUE(std::filesystem::is_directory(cfg + "work"));
    EXPECT_EQ(ctx.logFileName, cfg + "work" + sep + "0molvconv.log");
    EXPECT_FALSE(ctx.app.devMode);
    EXPECT_FALSE(ctx.app.dbgTrace);
    EXPECT_EQ(ctx.app.srcFile, "");
    EXPECT_EQ(ctx.app.knownTypes, "*.3ds;*.obj;*.dae;*.gltf;*.glb");
    EXPECT_EQ(ctx.app.title, "molvConv V0.2.49");
    // The saved settings reached the values and the menu.
    EXPECT_FALSE(ctx.settings.autoCentre);
    EXPECT_FALSE(ctx.menu.marks.autoCentre);
    EXPECT_EQ(ctx.menu.m_s_setsize_caption, "Set size for resize (80)");
    EXPECT_TRUE(t.ui.boxes.empty());
}
