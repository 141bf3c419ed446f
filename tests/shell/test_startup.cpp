// Start-up: where the configuration, work folder and log file go, developer
// mode, the fatal start-up message, and the command-line conversion's
// source resolution and result.
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "convert/settings.h"
#include "shell/startup.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::test;

namespace {

ProcessEnv homeEnv(const std::string& home) {
    ProcessEnv e;
    e.home = home;
    e.xdgConfigHome = home + ".config";
    return e;
}

}  // namespace

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

TEST(ConfigFolder, EmptyVariablesCountAsUnset) {
    ::setenv("USERPROFILE", "", 1);
    ::setenv("TEMP", "", 1);
    ProcessEnv e = ProcessEnv::current();
    ::unsetenv("USERPROFILE");
    ::unsetenv("TEMP");
    EXPECT_FALSE(e.userProfile.has_value());
    EXPECT_FALSE(e.temp.has_value());
}

TEST(ProgramName, FolderAndExtensionAreCut) {
    EXPECT_EQ(programBaseName("/usr/local/bin/vtm3"), "vtm3");
    EXPECT_EQ(programBaseName("C:\\tools\\mc.exe"), "mc");
    EXPECT_EQ(programBaseName("./molvconv"), "molvconv");
    EXPECT_EQ(programBaseName(".hidden"), ".hidden");
    EXPECT_TRUE(isDevProgramName("vtm3"));
    EXPECT_TRUE(isDevProgramName("mc"));
    EXPECT_FALSE(isDevProgramName("MC"));
    EXPECT_FALSE(isDevProgramName("vtm"));
}

TEST(FatalMessage, NamesPhaseAndFolder) {
    EXPECT_EQ(fatalStartupMessage("molvConv V0.2.49", "P3", "Permission denied", "/c/"),
              "Please report the following: \rError in molvConv V0.2.49 code P3\rPermission denied\r"
              "Probably a problem with the following path: \r/c/");
    EXPECT_EQ(fatalStartupMessage("molvConv V0.2.49", "P6", "d", "/c/"),
              "Please report the following: \rError in molvConv V0.2.49 code P6\rd\r/c/");
}

TEST(StartUp, SetsUpFoldersLogFileAndSettings) {
    std::string home = tempDir("suhome");
    std::string cfg = home + ".config/molvconv/";
    std::filesystem::create_directories(cfg);
    writeFile(cfg + "molvconv.cfg", "autoCentre=False\r\ndflt_autosize=80\r\n");
    ScriptedUI ui;
    Context ctx(ui);
    StartupResult r = startUp(ctx, "-molv", "/usr/bin/molvconv", homeEnv(home));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.phase, "P8");
    EXPECT_EQ(ctx.app.configDir, cfg);
    EXPECT_EQ(ctx.app.workdir, cfg + "work/");
    EXPECT_TRUE(std::filesystem::is_directory(cfg + "work"));
    EXPECT_EQ(ctx.logFileName, cfg + "work/0molvconv.log");
    EXPECT_FALSE(ctx.app.devMode);
    EXPECT_FALSE(ctx.app.dbgTrace);
    EXPECT_EQ(ctx.app.srcFile, "");
    EXPECT_EQ(ctx.app.knownTypes, "*.3ds;*.obj;*.dae");
    EXPECT_EQ(ctx.app.title, "molvConv V0.2.49");
    // The saved settings reached the values and the menu.
    EXPECT_FALSE(ctx.settings.autoCentre);
    EXPECT_FALSE(ctx.menu.m_s_autocentre);
    EXPECT_EQ(ctx.menu.m_s_setsize_caption, "Set size for resize (80)");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(StartUp, SavedWorkFolderIsUsedAndCreated) {
    std::string home = tempDir("suwork");
    std::string cfg = home + ".config/molvconv/";
    std::filesystem::create_directories(cfg);
    writeFile(cfg + "molvconv.cfg", "workdir=" + home + "elsewhere/work\r\n");
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(startUp(ctx, "", "molvconv", homeEnv(home)).ok);
    EXPECT_EQ(ctx.app.workdir, home + "elsewhere/work/");
    EXPECT_TRUE(std::filesystem::is_directory(home + "elsewhere/work"));
    EXPECT_EQ(ctx.logFileName, home + "elsewhere/work/0molvconv.log");
}

TEST(StartUp, SourceWordsAndSwitches) {
    std::string home = tempDir("suwords");
    ScriptedUI ui;
    Context ctx(ui);
    StartupResult r = startUp(ctx, "-DBG   my    chair.3ds -x", "molvconv", homeEnv(home));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(ctx.app.srcFile, "my chair.3ds");
    EXPECT_TRUE(ctx.app.dbgTrace);
    // Upper-case -DBG traces but leaves the log file in the work folder.
    EXPECT_EQ(ctx.logFileName, home + ".config/molvconv/work/0molvconv.log");
    EXPECT_NE(readFile(ctx.logFileName).find("L5\r\n"), std::string::npos);
    // The command line is the log list's first line, the debug log's name next.
    ASSERT_GE(ctx.logList.entries().size(), 2u);
    EXPECT_EQ(ctx.logList.entries()[0], "-DBG   my    chair.3ds -x");
    EXPECT_EQ(ctx.logList.entries()[1], "Debug Log: " + ctx.logFileName);
}

TEST(StartUp, DeveloperModeUsesItsOwnFolder) {
    std::string home = tempDir("sudev");
    std::string cfg = home + ".config/molvconv/";
    std::filesystem::create_directories(cfg);
    writeFile(cfg + "molv.id", "");
    std::filesystem::create_directories(cfg + "dev");
    writeFile(cfg + "dev/molvconv.cfg", "workdir=/somewhere/else/\r\n");
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(startUp(ctx, "", "/opt/bin/vtm3", homeEnv(home)).ok);
    EXPECT_TRUE(ctx.app.devMode);
    EXPECT_EQ(ctx.app.configDir, cfg + "dev/");
    EXPECT_EQ(ctx.app.workdir, cfg + "dev/");
    EXPECT_EQ(ctx.logFileName, cfg + "dev/0molvconv.log");
    EXPECT_EQ(devMarkerPath(homeEnv(home)), cfg + "molv.id");

    finishStartupWithoutSource(ctx);
    EXPECT_EQ(ctx.app.knownTypes, "");
    EXPECT_TRUE(ui.sawLog("logfile=" + cfg + "dev/0molvconv.log"));
}

TEST(StartUp, DeveloperNameWithoutMarkerIsAUsersProgram) {
    std::string home = tempDir("sunomark");
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(startUp(ctx, "", "mc", homeEnv(home)).ok);
    EXPECT_FALSE(ctx.app.devMode);
    finishStartupWithoutSource(ctx);
    EXPECT_EQ(ctx.app.fileFilter,
              "Known files|*.3ds;*.obj;*.dae|3D Studio .3ds|*.3ds|Wavefront .obj|*.obj|Collada .dae|*.dae|"
              "All Files (*.*)|*.*");
    EXPECT_TRUE(ui.log.empty());
}

TEST(StartUp, ConfigFolderThatCannotBeMadeEndsStartUpInP3) {
    std::string home = tempDir("sup3");
    writeFile(home + "file", "x");
    ProcessEnv e = homeEnv(home);
    e.temp = home + "file";
    ScriptedUI ui;
    Context ctx(ui);
    StartupResult r = startUp(ctx, "a.obj", "molvconv", e);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.phase, "P3");
    ASSERT_EQ(ui.boxes.size(), 1u);
    const std::string& m = ui.boxes[0].text;
    EXPECT_EQ(m.rfind("Please report the following: \rError in molvConv V0.2.49 code P3\r", 0), 0u) << m;
    EXPECT_NE(m.find("\rProbably a problem with the following path: \r" + home + "file/molvconv/"), std::string::npos);
    EXPECT_EQ(ctx.app.srcFile, "");  // later phases did not run
}

TEST(StartUp, WorkFolderThatCannotBeMadeEndsStartUpInP6) {
    std::string home = tempDir("sup6");
    std::string cfg = home + ".config/molvconv/";
    std::filesystem::create_directories(cfg);
    writeFile(home + "file", "x");
    writeFile(cfg + "molvconv.cfg", "workdir=" + home + "file/work/\r\n");
    ScriptedUI ui;
    Context ctx(ui);
    StartupResult r = startUp(ctx, "", "molvconv", homeEnv(home));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.phase, "P6");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.find("Probably"), std::string::npos);
    EXPECT_NE(ui.boxes[0].text.find("code P6\r"), std::string::npos);
}

TEST(CommandLineConversion, RelativeSourceFromCurrentFolderElseWorkFolder) {
    std::string home = tempDir("ccrel");
    std::string cwd = tempDir("ccrelcwd");
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(startUp(ctx, "", "molvconv", homeEnv(home)).ok);
    writeFile(cwd + "here.obj", "v 0 0 0\n");
    CmdLineOptions o;
    o.srcFile = "here.obj";
    o.outFile = "out.cmf";
    runConversion(ctx, o, cwd);
    EXPECT_EQ(ctx.app.srcFile, cwd + "here.obj");
    // A colon is an ordinary character of a file name here, no drive.
    writeFile(cwd + "a:b.obj", "v 0 0 0\n");
    o.srcFile = "a:b.obj";
    runConversion(ctx, o, cwd);
    EXPECT_EQ(ctx.app.srcFile, cwd + "a:b.obj");

    ScriptedUI ui2;
    Context ctx2(ui2);
    ASSERT_TRUE(startUp(ctx2, "", "molvconv", homeEnv(home)).ok);
    o.srcFile = "gone.obj";
    o.outFile.clear();
    int status = runConversion(ctx2, o, cwd);
    EXPECT_NE(status, kExitOk);
    EXPECT_EQ(ctx2.app.srcFile.rfind(ctx2.app.workdir, 0), 0u) << ctx2.app.srcFile;
    EXPECT_FALSE(ui2.sawBox("Conversion complete"));
    EXPECT_TRUE(ui2.sawBox("gone.obj"));
}

TEST(CommandLineConversion, SuccessIsSaidLastAndOnlyOnSuccess) {
    std::string home = tempDir("ccok");
    std::string cwd = tempDir("ccokcwd");
    std::filesystem::copy_file(dataPath("shell/box.obj"), cwd + "box.obj");
    std::filesystem::copy_file(dataPath("shell/box.mtl"), cwd + "box.mtl");
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(startUp(ctx, "box.obj", "molvconv", homeEnv(home)).ok);
    StartupResult r;
    r.opts.srcFile = "box.obj";
    int status = runConversion(ctx, r.opts, cwd);
    ASSERT_EQ(status, kExitOk);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, "Conversion complete");
    EXPECT_TRUE(std::filesystem::exists(cwd + "box.cmf"));
}
