// The built program run as a user or a script runs it: own home folder and
// environment, stdin no terminal. What it prints, its exit status, the
// folders it makes and the files it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "convert/batch.h"
#include "convert/context.h"
#include "shell/run_exe.h"
#include "util/fileio.h"
#include "util/fspath.h"
#include "util/image.h"
#include "util/paths.h"
#include "support/cal3d_check.h"
#include "support/cal3d_shape.h"
#include "support/test_support.h"

namespace molv::test {
namespace {

namespace fs = std::filesystem;

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        if (exePath().empty()) GTEST_SKIP() << "MOLV_EXE not set";
        home = tempDir("home");
        cwd = tempDir("cwd");
        env = userEnv(home);
        config = userConfig(home);
    }
    RunResult run(const std::vector<std::string>& args) { return runExe(args, cwd, env); }
    // The box model as `name` (a path under cwd), its material library beside it.
    void box(const std::string& name = "box.obj") {
        fs::copy_file(dataPath("shell/box.obj"), fsPath(cwd + name));
        fs::copy_file(dataPath("shell/box.mtl"), fsPath(cwd + folderOf(name) + "box.mtl"),
                      fs::copy_options::skip_existing);
    }
    std::string home, cwd, config;
    std::vector<std::string> env;
};

// Every way a run refuses or fails: the exit status, the message at the
// name typed, nothing on stdout unless asked for, and nothing read when the
// command line alone is wrong. No row touches the source or what a link
// points at.
TEST_F(Program, RefusalsAndFailuresExitWithTheirStatusAndSayWhy) {
    box();
    writeFile(cwd + "bad.dae", "<COLLADA>\n<library_geometries>\n");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;  // a part of stdout ("" for none at all)
        std::string err;  // a part of stderr
        bool reads;       // may get as far as reading (and writing) box.obj
    } rows[] = {
        {{"--version"}, 0, std::string(kTitle) + "\n", "", false},
        {{"--help"}, 0, "--output", "", false},
        {{}, 0, "Usage:", "", false},
        {{"--sise", "50", "a.obj"}, 2, "", "unknown option --sise", false},
        {{"--set", "dflt_autosize=0", "a.obj"}, 2, "", "dflt_autosize takes a number above 0", false},
        {{"a.obj", "-o"}, 2, "", "-o", false},
        {{"-o", "x.cmf"}, 2, "", "", false},
        // Said at the name typed, not at the work folder also looked in.
        {{"--yes", "no such model.obj"}, 1, "", "Not found: no such model.obj\n", true},
        {{"-o", "no such folder/prop.cmf", "box.obj"}, 1, "", "no such folder/prop.", true},
        {{"bad.dae"}, 1, "", "Conversion abandoned: could not read " + cwd + "bad.dae", true},
        {{"-o", "x.fbx", "box.obj"}, 2, "", "Cannot write x.fbx: the output types are .obj .cmf .cfg", false},
        {{"-o", "noext", "box.obj"}, 2, "", "Cannot write noext: the output types are", false},
        {{"box.obj", "-o", "other.obj", "--preview", "o.png"}, 1, "", "no Cal3D set", true},
        {{"box.obj", "--preview"}, 2, "", "--preview", false},
        {{"--batch", "box.obj", "--preview", "b.png"}, 2, "", "--preview", false},
        {{"--preview", "b.png"}, 2, "", "needs a source file", false},
#ifndef _WIN32
        // Outputs the user did not ask to replace: the source, its material
        // library, the set just written, a device, a link, a folder.
        {{"box.obj", "-o", "box.obj"}, 1, "", "box.obj is the source; it is not replaced", false},
        {{"box.obj", "-o", "./box.obj"}, 1, "", "is the source; it is not replaced", false},
        {{"box.obj", "-o", "box.mtl"}, 2, "", "Cannot write box.mtl: the output types are", false},
        {{"box.obj", "--preview", "box.obj"}, 1, "", "box.obj is the source", false},
        {{"box.obj", "--preview", "box.cmf"}, 1, "", "is a file of the set", false},
        {{"box.obj", "-o", "x.cmf", "--preview", "x.cmf"}, 1, "", "is a file of the set", false},
        {{"box.obj", "--preview", "/dev/null"}, 1, "", "/dev/null is not a regular file", false},
        {{"box.obj", "-o", "link.cmf"}, 1, "", "link.cmf is a link", false},
        {{"box.obj", "-o", "folder.cmf"}, 1, "", "folder.cmf is not a regular file", false},
#endif
        // Last: the set it writes stays when only its picture failed.
        {{"box.obj", "--preview=no such folder/box.png"}, 1, "", "Cannot write the preview " + cwd + "no such folder/box.png",
         true},
    };
    const std::string obj = readFile(cwd + "box.obj"), mtl = readFile(cwd + "box.mtl");
    writeFile(cwd + "victim.txt", "precious");
#ifndef _WIN32
    fs::create_symlink(cwd + "victim.txt", cwd + "link.cmf");
    fs::create_directory(cwd + "folder.cmf");
#endif
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        fs::remove(cwd + "box.cmf");
        RunResult r = run(row.args);
        EXPECT_EQ(r.status, row.status);
        if (row.out.empty()) {
            EXPECT_EQ(r.out, "");
        } else {
            EXPECT_NE(r.out.find(row.out), std::string::npos) << r.out;
        }
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Conversion complete"), std::string::npos);
        if (!row.reads) {
            EXPECT_EQ(r.err.find("READ"), std::string::npos) << r.err;
            EXPECT_FALSE(fs::exists(cwd + "box.cmf"));
            EXPECT_FALSE(fs::exists(cwd + "x.cmf"));
        }
        EXPECT_EQ(readFile(cwd + "box.obj"), obj);
        EXPECT_EQ(readFile(cwd + "box.mtl"), mtl);
        EXPECT_EQ(readFile(cwd + "victim.txt"), "precious");
    }
    EXPECT_TRUE(fs::exists(cwd + "box.cmf"));
    EXPECT_TRUE(fs::exists(cwd + "other.obj"));
    EXPECT_FALSE(fs::exists(cwd + "o.png"));
    EXPECT_FALSE(fs::exists(cwd + "no such folder"));

    // Only a run that may convert sets up the folders.
    EXPECT_TRUE(fs::is_directory(config + "work"));
    fs::remove_all(config);
    EXPECT_EQ(run({"--version"}).status, 0);
    EXPECT_FALSE(fs::exists(config));
}

TEST_F(Program, ConvertsASourceNamedOutsideAsciiAndSaysSoOnStdout) {
    const std::string name = "стул café";
    box(name + ".obj");
    // Words split at the blank are joined again.
    RunResult r = run({"стул", "café.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_NE(r.err.find("-- READ: " + cwd + name + ".obj--"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Read complete: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Write complete"), std::string::npos) << r.err;
    for (const char* ext : {".cmf", ".cfg", ".csf"}) EXPECT_TRUE(fs::exists(fsPath(cwd + "стул_café" + ext))) << ext;
    if (cal3dAvailable()) {
        auto info = loadCal3dSet(cwd + "стул_café");
        EXPECT_TRUE(info.ok()) << info.error;
    }
    // Quiet, into a folder so named, with its picture: the log lines go, the
    // result stays, and the bytes are those from an ASCII name.
    fs::create_directories(fsPath(cwd + "выход"));
    r = run({"-q", "--yes", name + ".obj", "-o", "выход/стол.cmf", "--preview", "p.png"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_EQ(r.err.find("Read complete: "), std::string::npos) << r.err;
    Image pic;
    std::string err;
    ASSERT_TRUE(decodeImage(readFile(cwd + "p.png"), "p.png", pic, err)) << err;
    EXPECT_EQ(pic.width, 512);
    EXPECT_EQ(pic.height, 512);
    box("plain.obj");
    ASSERT_EQ(run({"plain.obj"}).status, 0);
    EXPECT_EQ(readFile(cwd + "выход/стол.cmf"), readFile(cwd + "plain.cmf"));
}

TEST_F(Program, BareNameComesFromTheWorkFolderUnlessItIsHere) {
    ASSERT_EQ(run({}).status, 0);  // creates the work folder
    fs::copy_file(dataPath("shell/box.obj"), config + "work/w.obj");
    RunResult r = run({"w.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(config + "work/w.cmf"));
    box("w.obj");
    r = run({"w.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(cwd + "w.cmf"));
}

TEST_F(Program, DbgTracesStartUpToTheCurrentFolder) {
    RunResult r = run({"-dbg"});
    EXPECT_EQ(r.status, 0);
    std::string log = readFile(cwd + "0molvconv.log");
    EXPECT_EQ(log.rfind(std::string(kTitle) + "\r\nConfigDir=" + config + "\r\nL1\r\nL2\r\nL3\r\nL4\r\nL5\r\n", 0), 0u)
        << log;
    EXPECT_FALSE(fs::exists(config + "work/0molvconv.log"));
}

#ifndef _WIN32
TEST_F(Program, DeveloperModeNeedsTheNameAndTheMarker) {
    std::string bin = tempDir("bin");
    fs::create_symlink(exePath(), bin + "vtm3");
    RunResult r = runExe({}, cwd, env, bin + "vtm3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find("logfile="), std::string::npos);  // no marker yet

    fs::create_directories(config);
    writeFile(config + "molv.id", "");
    r = runExe({}, cwd, env, bin + "vtm3");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("logfile=" + config + "dev/0molvconv.log"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_directory(config + "dev"));

    // Another name with the marker in place stays a user's program.
    fs::create_symlink(exePath(), bin + "vtm");
    r = runExe({}, cwd, env, bin + "vtm");
    EXPECT_EQ(r.err.find("logfile="), std::string::npos);
}

#else
// Started as vtm3.exe with the marker c:\molv.id the program works in v:\.
struct DeveloperProgram : Program {
    void SetUp() override {
        Program::SetUp();
        if (IsSkipped()) return;
        if (fileExists(marker)) GTEST_SKIP() << "a developer's own marker is in place";
        fs::copy_file(fsPath(exePath()), fsPath(bin + "vtm3.exe"));
    }
    void TearDown() override { deleteFile(marker); }
    RunResult runDev(const std::vector<std::string>& args) { return runExe(args, cwd, env, bin + "vtm3.exe"); }
    const std::string marker = "c:\\molv.id";
    const std::string bin = tempDir("bin");
};

// Without the drive start-up cannot make its folder: it says so and fails
// in the phase that names the folder.
TEST_F(DeveloperProgram, WithoutDriveVFailsWithAMessage) {
    if (folderExists("v:\\")) GTEST_SKIP() << "drive v: exists";
    RunResult r = runDev({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("logfile="), std::string::npos);  // no marker yet

    writeFile(marker, "");
    box();
    r = runDev({"box.obj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("code P3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Probably a problem with the following path: \nv:\\"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(cwd + "box.cmf"));
}

// Needs v: mapped to an empty folder and MOLV_DRIVE_V set, as
// scripts/windows.sh does under wine.
TEST_F(DeveloperProgram, WorksInDriveV) {
    if (!std::getenv("MOLV_DRIVE_V")) GTEST_SKIP() << "drive v: not mapped for the test (MOLV_DRIVE_V)";
    ASSERT_TRUE(folderExists("v:\\"));
    writeFile(marker, "");
    RunResult r = runDev({"-DBG"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("logfile=v:\\0molvconv.log"), std::string::npos) << r.err;
    EXPECT_EQ(readFile("v:\\0molvconv.log").rfind("L5\r\n", 0), 0u);  // -DBG traces from the command line on
    box();
    r = runDev({"box.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(cwd + "box.cmf"));
    // The settings live in v:\ too, apart from a user's.
    EXPECT_TRUE(fileExists("v:\\molvconv.cfg"));
    EXPECT_FALSE(fs::exists(fsPath(config)));
}

TEST_F(Program, WindowsCommandLineIsSplitAsTyped) {
    box("my box.obj");
    // Unquoted words with blanks, a drive letter and backslashes.
    RunResult r = runExeLine(cwd + "my box.obj -o \"" + cwd + "out put.cmf\"", cwd, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_TRUE(fs::exists(cwd + "out put.cmf"));
    // A backslash before a quote is a backslash: the C runtime would take
    // \" for a quote and make one word of the rest of the line.
    fs::create_directories(cwd + "sub dir");
    r = runExeLine("-o \"" + cwd + "sub dir\\\"x.cmf my box.obj", cwd, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(cwd + "sub dir\\x.cmf"));
    // Both separators, and forward slashes after the drive.
    std::string fwd = cwd;
    for (char& c : fwd)
        if (c == '\\') c = '/';
    r = runExeLine("\"" + fwd + "my box.obj\" -o " + fwd + "sub\\mixed.cmf", cwd, env);
    EXPECT_NE(r.status, 0);  // no folder "sub": a failure that says so
    EXPECT_NE(r.err.find("mixed."), std::string::npos) << r.err;
    fs::create_directories(cwd + "sub");
    r = runExeLine("\"" + fwd + "my box.obj\" -o " + fwd + "sub\\mixed.cmf", cwd, env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(cwd + "sub\\mixed.cmf"));
}
#endif

TEST_F(Program, StartUpFailureNamesThePhaseAndFolder) {
    // The configuration folder's parent is a file: the folder cannot be made.
    writeFile(home + "blocker", "x");
    env = userEnv(home, {"TEMP=" + home + "blocker", "USERPROFILE="});
    RunResult r = run({"a.obj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error in molvConv V0.2.49 code P3"), std::string::npos) << r.err;
    const std::string sep(1, pathSep());
    EXPECT_NE(r.err.find("Probably a problem with the following path: \n" + home + "blocker" + sep + "molvconv" + sep),
              std::string::npos)
        << r.err;
}

TEST_F(Program, BatchConvertsEachModelOnItsOwnAndCountsTheFailures) {
    const std::string m = cwd + "models/", sep(1, pathSep());
    fs::create_directories(m + "sub");
    box("models/box.obj");
    fs::copy_file(dataPath("gltf/BoxTextured.glb"), m + "BoxTextured.glb");
    fs::copy_file(dataPath("gltf/Mesh_PrimitiveMode_12.gltf"), m + "sub/fan.gltf");
    fs::copy_file(dataPath("gltf/Mesh_PrimitiveMode_12.bin"), m + "sub/Mesh_PrimitiveMode_12.bin");
    writeFile(m + "bad.dae", "<COLLADA>\n<library_geometries>\n");
    writeFile(m + "notes.txt", "not a model");

    RunResult r = run({"--batch", "-j", "2", "models", "missing.obj"});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    for (const std::string& part : {"converted  models" + sep + "box.obj\n", "converted  models" + sep + "BoxTextured.glb\n",
                                    "failed     models" + sep + "bad.dae: ", std::string("failed     missing.obj: no such file or folder\n"),
                                    std::string("\n4 files: 2 converted, 2 failed\n")})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    EXPECT_EQ(r.out.find("fan.gltf"), std::string::npos) << "not recursive";
    EXPECT_EQ(r.out.find("notes.txt"), std::string::npos);
    EXPECT_EQ(r.out.find("Conversion complete"), std::string::npos);
    // Items share the settings as loaded: none writes the configuration
    // file, so parallel items cannot race on it.
    EXPECT_FALSE(fs::exists(home + ".config/molvconv/molvconv.cfg"));

    // Recursive: the sub-folder's model too, each set whole.
    r = run({"--batch", "--recursive", "models"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("converted  models" + sep + "sub" + sep + "fan.gltf\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n4 files: 3 converted, 1 failed\n"), std::string::npos) << r.out;
    if (cal3dAvailable())
        for (const char* base : {"box", "BoxTextured", "sub/fan"}) {
            auto info = loadCal3dSet(m + base);
            EXPECT_TRUE(info.ok()) << base << ": " << info.error;
        }

    // The exit status counts failures up to 125.
    fs::create_directories(cwd + "empty");
    for (int i = 0; i < 130; ++i) writeFile(cwd + "empty/e" + std::to_string(i) + ".obj", "");
    r = run({"--batch", "empty"});
    EXPECT_EQ(r.status, 125);
    EXPECT_NE(r.out.find("130 files: 0 converted, 130 failed"), std::string::npos) << r.out;

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--batch"}, {"--batch", "-j", "0", "models"}, {"--batch", "models", "-o", "x.cmf"}})
        EXPECT_EQ(run(args).status, 2) << args.back();
}

// Each item runs in a process of its own: one that crashes, aborts or
// breaks off fails alone, leaves no temporary, and the rest convert.
TEST_F(Program, ABatchItemThatCrashesFailsAlone) {
    const std::string exe = exePath();
    const std::string faulty = folderOf(exe) + "faulty_batch_item" + (exe.ends_with(".exe") ? ".exe" : "");
    const std::vector<std::string> names = {"a_good.obj", "halfwritten.obj", "segv.obj", "abort.obj", "silent.obj",
                                            "z_good.obj"};
    for (const std::string& n : names) box(n);
    QuietUI ui;
    Context base(ui);
    std::vector<BatchItem> items = batchSources({"."}, cwd, false, false);
    ASSERT_EQ(items.size(), names.size());
    std::vector<std::string> lines;
    convertBatch(base, items, 2, [&](const std::string& l) { lines.push_back(l); }, {}, faulty);
    for (const BatchItem& i : items) {
        const bool good = i.source.find("good") != std::string::npos;
        EXPECT_EQ(i.ok, good) << i.source << ": " << i.reason;
        if (!good) {
            EXPECT_EQ(i.reason.rfind("the conversion ended abnormally: ", 0), 0u) << i.reason;
        }
        EXPECT_EQ(fs::exists(cwd + i.source.substr(0, i.source.size() - 4) + ".cfg"), good) << i.source;
    }
    EXPECT_EQ(lines.size(), names.size());
    for (const auto& e : fs::directory_iterator(fsPath(cwd))) {
        EXPECT_EQ(utf8Path(e.path().filename()).find(".tmp"), std::string::npos) << e.path();
    }
    if (cal3dAvailable()) {
        EXPECT_TRUE(loadCal3dSet(cwd + "z_good").ok());
    }

    // Developer mode reads every registered type, a written set too.
    base.app.devMode = true;
    base.app.knownTypes.clear();
    items = batchSources({"z_good.obj", "z_good.cfg"}, cwd, false, true);
    convertBatch(base, items, 1, [](const std::string&) {}, {}, exePath());
    for (const BatchItem& i : items) EXPECT_TRUE(i.ok) << i.source << ": " << i.reason;
}

// Sources whose sets would share a name get sets of their own, with a
// warning; none overwrites another.
TEST_F(Program, BatchItemsNeverShareASet) {
    fs::create_directories(cwd + "m");
    for (const char* name : {"a b.obj", "a&b.obj", "a_b.obj"}) box(std::string("m/") + name);
    RunResult r = run({"--batch", "m"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("3 files: 3 converted, 0 failed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("written as a_b_2.cmf"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("written as a_b_3.cmf"), std::string::npos) << r.out;
    for (const char* base : {"a_b", "a_b_2", "a_b_3"}) {
        EXPECT_TRUE(fs::exists(cwd + "m/" + base + ".cmf")) << base;
        EXPECT_TRUE(fs::exists(cwd + "m/" + base + ".cfg")) << base;
    }

    // Material files of two sets with one name: the later set is refused
    // rather than replacing the earlier one's material.
    fs::create_directories(cwd + "n");
    writeFile(cwd + "n/x.obj", "mtllib x.mtl\nv 0 0 0\nv 10 0 0\nv 0 10 0\nusemtl a_b\nf 1 2 3\n");
    writeFile(cwd + "n/x.mtl", "newmtl a_b\nKd 1 0 0\n");
    writeFile(cwd + "n/x_a.obj", "mtllib x_a.mtl\nv 0 0 0\nv 10 0 0\nv 0 10 0\nusemtl b\nf 1 2 3\n");
    writeFile(cwd + "n/x_a.mtl", "newmtl b\nKd 0 0 1\n");
    r = run({"--batch", "-j", "1", "n"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("converted  n" + std::string(1, pathSep()) + "x.obj"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("x_a_b[0].crf: the set"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(cwd + "n/x_a.cfg"));
    EXPECT_EQ(readFile(cwd + "n/x_a_b[0].crf").substr(12, 3), std::string("\xFF\x00\x00", 3)) << "red, x's";
}

// The map names a written material file holds, read as the host reads them.
std::vector<std::string> crfMaps(const std::string& bytes) {
    std::vector<std::string> maps;
    auto i32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k) v = v * 256 + static_cast<unsigned char>(bytes.at(at + k));
        return static_cast<std::int32_t>(v);
    };
    std::size_t at = 28;
    for (std::int32_t n = i32(24); n > 0; --n) {
        const std::int32_t len = i32(at);
        maps.push_back(bytes.substr(at + 4, static_cast<std::size_t>(len) - 1));
        at += 4 + static_cast<std::size_t>(len);
    }
    return maps;
}

// Every file under a folder with its bytes: the source folder before and after.
std::map<std::string, std::string> folderBytes(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(fsPath(folder)))
        if (e.is_regular_file()) out[utf8Path(e.path())] = readFile(utf8Path(e.path()));
    return out;
}

std::string pngBytes(std::uint8_t shade) {
    Image im(4, 4);
    for (std::uint8_t& c : im.rgb) c = shade;
    return encodePng(im);
}

TEST_F(Program, TexturesTravelWithTheSetIntoItsFolder) {
    struct Row {
        const char* what;
        std::vector<std::pair<std::string, std::string>> data;  // test data copied into the source folder
        std::vector<std::pair<std::string, std::string>> made;  // files written there: name, bytes
        std::string source;
        std::vector<std::string> maps;  // the map names the set's material files hold, sorted
    };
    const std::vector<Row> rows = {
        {"Collada: the <model>_ prefix dropped to find the file",
         {{"dae/boxtextured_assimp.dae", "boxtextured_assimp.dae"}, {"gltf/CesiumLogoFlat.png", "CesiumLogoFlat.png"}},
         {}, "boxtextured_assimp.dae", {"boxtextured_assimp_CesiumLogoFlat.png"}},
        {"glb: the embedded PNG written out", {{"gltf/BoxTextured.glb", "BoxTextured.glb"}}, {}, "BoxTextured.glb",
         {"BoxTextured_image0.png"}},
        {"3DS: upper-case names, lower-case files", {{"3ds/test1.3ds", "test1.3ds"}},
         {{"image1.jpg", pngBytes(10)}, {"cwall02.jpg", pngBytes(20)}, {"Image2.Jpg", pngBytes(30)}}, "test1.3ds",
         {"CWALL02.JPG", "IMAGE1.JPG", "IMAGE2.JPG"}},
        {"OBJ: a name with a blank, in another case", {{"shell/box.obj", "box.obj"}},
         {{"box.mtl", "newmtl red\nKd 1 1 1\nmap_Kd Wood Grain.PNG\n"}, {"wood grain.png", pngBytes(40)}}, "box.obj",
         {"Wood Grain.PNG"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string src = tempDir("texsrc"), out = tempDir("texout");
        for (const auto& [from, to] : row.data) fs::copy_file(fsPath(dataPath(from)), fsPath(src + to));
        for (const auto& [name, bytes] : row.made) writeFile(src + name, bytes);
        const auto before = folderBytes(src);

        RunResult r = run({"-o", out + "model.cmf", src + row.source});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Conversion complete\n") << r.err;
        std::vector<std::string> named;
        for (const auto& e : fs::directory_iterator(fsPath(out)))
            if (e.path().extension() == ".crf")
                for (const std::string& map : crfMaps(readFile(utf8Path(e.path())))) named.push_back(map);
        std::sort(named.begin(), named.end());
        EXPECT_EQ(named, row.maps);
        for (const std::string& map : named) {
            Image im;
            std::string err;
            EXPECT_TRUE(decodeImage(readFile(out + map), map, im, err)) << map << ": " << err;
        }
        EXPECT_EQ(folderBytes(src), before) << "the source folder is left as it was";

        // Again: the files there are the same, so nothing changes and nothing is said.
        const auto written = folderBytes(out);
        r = run({"-o", out + "model.cmf", src + row.source});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(folderBytes(out), written);

        // Off: the set alone.
        const std::string bare = tempDir("texbare");
        r = run({"--set", "copyTextures=false", "-o", bare + "model.cmf", src + row.source});
        EXPECT_EQ(r.status, 0) << r.err;
        for (const std::string& map : named) EXPECT_FALSE(fs::exists(fsPath(bare + map))) << map;
    }
}

TEST_F(Program, AMissingTextureIsOneWarningAndStrictFailsOnIt) {
    const std::string src = tempDir("warnsrc");
    fs::copy_file(fsPath(dataPath("dae/boxtextured_assimp.dae")), fsPath(src + "duck.dae"));
    const std::string warning = "Warning: Texture duck_CesiumLogoFlat.png not found in " + src + "\n";
    struct Row {
        std::vector<std::string> args;
        int status;
    };
    for (const Row& row : std::vector<Row>{{{}, 0}, {{"-q"}, 0}, {{"--strict"}, 3}, {{"-q", "--strict"}, 3}}) {
        std::vector<std::string> args = row.args;
        args.push_back(src + "duck.dae");
        RunResult r = run(args);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_EQ(r.out, "Conversion complete, 1 warning\n");
        // Listed once at the end, also when the log lines are not printed.
        const std::size_t at = r.err.rfind(warning);
        ASSERT_NE(at, std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(warning), at) << r.err;
        EXPECT_EQ(r.err.substr(at), warning);
    }
    RunResult r = run({"--batch", "--strict", src});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("converted  " + src + "duck.dae, 1 warning\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 file: 1 converted (1 with warnings), 0 failed\n"), std::string::npos) << r.out;
}

TEST_F(Program, InfoSaysWhatWouldBeWrittenAndWritesNothing) {
    const std::string src = tempDir("infosrc");
    fs::copy_file(fsPath(dataPath("dae/boxtextured_assimp.dae")), fsPath(src + "duck.dae"));
    fs::copy_file(fsPath(dataPath("gltf/BoxTextured.glb")), fsPath(src + "box.glb"));
    const auto before = folderBytes(src);
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> said;
    } rows[] = {
        {{"--info", src + "duck.dae"}, 0,
         {"Meshes: 1\n", "Materials: 2\n", "    texture duck_CesiumLogoFlat.png: not found\n", "Triangles: 12\n",
          "Vertices: 24\n", "Extents (source units): 1 x 1 x 1\n", "Resize: largest extent 1 to 100 cm, factor 100\n"}},
        {{"--info", "--size", "50", src + "box.glb"}, 0,
         {"    texture box_image0.png: embedded in the source\n", "factor 50\n"}},
        {{"--info", "--no-resize", src + "box.glb"}, 0, {"Resize: off\n"}},
        {{"--info", "-o", "x.cmf", src + "box.glb"}, 2, {}},
        {{"--info", src + "none.obj"}, 1, {}},
    };
    for (const auto& row : rows) {
        RunResult r = run(row.args);
        EXPECT_EQ(r.status, row.status) << row.args.back() << r.err;
        for (const std::string& part : row.said) EXPECT_NE(r.out.find(part), std::string::npos) << part << r.out;
    }
    EXPECT_EQ(folderBytes(src), before);
}

}  // namespace
}  // namespace molv::test
