// The built program run as a user or a script runs it: own home folder and
// environment, stdin no terminal. What it prints, its exit status, the
// folders it makes and the files it writes.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "convert/batch.h"
#include "convert/cmdline.h"
#include "convert/context.h"
#include "util/fileio.h"
#include "util/fspath.h"
#include "util/image.h"
#include "util/paths.h"
#include "support/cal3d_check.h"
#include "support/test_support.h"

namespace molv::test {
namespace {

namespace fs = std::filesystem;

// Runs of the built program (MOLV_EXE, set by CTest) as a user would: own
// folder, own environment, no terminal on stdin.
struct RunResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out, err;
};

inline std::string exePath() {
    const char* e = std::getenv("MOLV_EXE");
    return e ? e : "";
}

#ifdef _WIN32

// A user's environment: USERPROFILE is `home` (so the configuration goes
// beneath it), TEMP a folder inside it, plus what Windows itself needs.
// Extra entries ("NAME=value") replace those of the same name; an empty
// value counts as unset.
inline std::vector<std::string> userEnv(const std::string& home, std::vector<std::string> extra = {}) {
    std::vector<std::string> env = {"USERPROFILE=" + home, "TEMP=" + home + "Temp"};
    for (const char* keep : {"SystemRoot", "windir", "SystemDrive", "PATH"})
        if (auto v = _wgetenv(wideOf(keep).c_str())) env.push_back(std::string(keep) + "=" + utf8Of(v));
    for (auto& e : extra) {
        std::string name = e.substr(0, e.find('='));
        std::erase_if(env, [&](const std::string& have) { return have.rfind(name + "=", 0) == 0; });
        env.push_back(e);
    }
    return env;
}

// The configuration folder the program uses in userEnv(home).
inline std::string userConfig(const std::string& home) { return home + "application data\\molvconv\\"; }

// Runs program with the command line text `args` (what follows the
// program's name, exactly as typed) in cwd; stdin is an empty file.
inline RunResult runExeLine(const std::string& args, const std::string& cwd, const std::vector<std::string>& env,
                            std::string program = "") {
    if (program.empty()) program = exePath();
    std::string dir = tempDir("run");
    std::string outPath = dir + "stdout", errPath = dir + "stderr", inPath = dir + "stdin";
    writeFile(inPath, "");
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    auto open = [&](const std::string& p, bool write) {
        return CreateFileW(wideOf(p).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE in = open(inPath, false), out = open(outPath, true), err = open(errPath, true);
    RunResult r;
    if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in;
        si.hStdOutput = out;
        si.hStdError = err;
        std::wstring line = L"\"" + wideOf(program) + L"\"";
        if (!args.empty()) line += L" " + wideOf(args);
        std::wstring block;
        for (auto& e : env) block += wideOf(e) + L'\0';
        block += L'\0';
        PROCESS_INFORMATION pi{};
        // wine under load now and then fails to start a process at all; that
        // says nothing of the program, so the start is tried again.
        bool started = false;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            if (attempt > 0) Sleep(500);
            started = CreateProcessW(wideOf(program).c_str(), line.data(), nullptr, nullptr, TRUE,
                                     CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), wideOf(cwd).c_str(),
                                     &si, &pi);
        }
        if (started) {
            WaitForSingleObject(pi.hProcess, INFINITE);
            DWORD code = 0;
            if (GetExitCodeProcess(pi.hProcess, &code)) r.status = static_cast<int>(code);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    for (HANDLE h : {in, out, err})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    // Text written to the console streams ends its lines in CR LF here.
    for (std::string* s : {&r.out, &r.err})
        for (auto at = s->find("\r\n"); at != std::string::npos; at = s->find("\r\n", at)) s->erase(at, 1);
    return r;
}

inline RunResult runExe(const std::vector<std::string>& args, const std::string& cwd,
                        const std::vector<std::string>& env, std::string program = "") {
    return runExeLine(joinArguments(args), cwd, env, std::move(program));
}

#else

// A user's environment inside `home`: HOME and XDG_CONFIG_HOME point into
// it, USERPROFILE and TEMP are unset. Extra entries ("NAME=value") are
// added; an empty value counts as unset.
inline std::vector<std::string> userEnv(const std::string& home, std::vector<std::string> extra = {}) {
    std::vector<std::string> env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + ".config", "PATH=/usr/bin:/bin",
                                    "LC_ALL=C"};
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* v = std::getenv(keep)) env.push_back(std::string(keep) + "=" + v);
    for (auto& e : extra) env.push_back(e);
    return env;
}

// The configuration folder the program uses in userEnv(home).
inline std::string userConfig(const std::string& home) { return home + ".config/molvconv/"; }

// Runs program (MOLV_EXE when empty) with args in cwd; stdin is empty.
inline RunResult runExe(const std::vector<std::string>& args, const std::string& cwd,
                        const std::vector<std::string>& env, std::string program = "") {
    if (program.empty()) program = exePath();
    std::string dir = tempDir("run");
    std::string outPath = dir + "stdout", errPath = dir + "stderr";
    pid_t pid = ::fork();
    if (pid == 0) {
        int in = ::open("/dev/null", O_RDONLY);
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    RunResult r;
    int st = 0;
    if (pid > 0 && ::waitpid(pid, &st, 0) == pid && WIFEXITED(st)) r.status = WEXITSTATUS(st);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

#endif

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

// The words of a run line: split at blanks; a double-quoted part is one word.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line + ' ') {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) out.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    return out;
}

std::string hexOf(const std::string& bytes) {
    const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
    return out;
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

// Every file under a folder with its bytes.
std::map<std::string, std::string> folderBytes(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(fsPath(folder)))
        if (e.is_regular_file()) out[utf8Path(e.path())] = readFile(utf8Path(e.path()));
    return out;
}

// The runs kept as scripts in tests/data/shell/runs (its README gives the
// lines a script may hold).
struct RunCase : Program, ::testing::WithParamInterface<std::string> {
    std::string expand(std::string s) const {
        // Line breaks first: a Windows path put in below holds backslashes.
        const std::pair<std::string, std::string> subs[] = {
            {"\\n", "\n"},   {"\\r", "\r"},       {"{cwd}", cwd},
            {"{home}", home}, {"{config}", config}, {"{sep}", std::string(1, pathSep())},
            {"{title}", kTitle}};
        for (const auto& [from, to] : subs)
            for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
                s.replace(at, from.size(), to);
        return s;
    }
    std::string at(const std::string& path) const { return fsPath(path).is_absolute() ? path : cwd + path; }
    std::map<std::string, std::map<std::string, std::string>> snapshots;
};

TEST_P(RunCase, GivesWhatItsScriptSays) {
    std::istringstream script(readFile(dataPath("shell/runs/" + GetParam())));
    box();
    std::map<std::string, std::string> made = {{cwd + "box.obj", readFile(cwd + "box.obj")},
                                               {cwd + "box.mtl", readFile(cwd + "box.mtl")}};
    std::vector<std::string> extraEnv;
    std::string program;  // the built program unless a link names it otherwise
    RunResult r;
    int n = 0;
    for (std::string line; std::getline(script, line);) {
        SCOPED_TRACE(GetParam() + ":" + std::to_string(++n) + ": " + r.err);
        if (line.empty() || line[0] == '#') continue;
        const std::size_t colon = line.find(':');
        const std::string key = line.substr(0, colon);
        std::string raw = colon == std::string::npos ? "" : line.substr(colon + 1);
        if (raw.starts_with(' ')) raw.erase(0, 1);
        // Expanded after the split: a folder's name may hold a blank.
        const std::string value = expand(raw);
        std::vector<std::string> w = words(raw);
        for (std::string& word : w) word = expand(word);
        if (key == "posix") {
#ifdef _WIN32
            GTEST_SKIP() << "POSIX only";
#endif
        } else if (key == "copy" || key == "write") {
            ASSERT_EQ(w.size(), 2u) << line;
            const std::string to = at(key == "copy" ? w[1] : w[0]);
            fs::create_directories(fsPath(folderOf(to)));
            writeFile(to, key == "copy" ? readFile(dataPath(w[0])) : w[1]);
            made[to] = readFile(to);
        } else if (key == "mkdir") {
            fs::create_directories(fsPath(at(value)));
        } else if (key == "link") {
            fs::create_symlink(fsPath(at(w.at(1))), fsPath(at(w.at(0))));
        } else if (key == "env") {
            extraEnv.push_back(value);
            env = userEnv(home, extraEnv);
        } else if (key == "program") {
            program = tempDir("bin") + value;
            fs::create_symlink(fsPath(exePath()), fsPath(program));
        } else if (key == "run") {
            r = runExe(w, cwd, env, program);
        } else if (key == "status") {
            EXPECT_EQ(r.status, std::stoi(value)) << r.out;
        } else if (key == "stdout") {
            EXPECT_EQ(r.out, value);
        } else if (key == "stdout has" || key == "stderr has") {
            EXPECT_NE((key.starts_with("stdout") ? r.out : r.err).find(value), std::string::npos) << r.out;
        } else if (key == "stdout lacks" || key == "stderr lacks") {
            EXPECT_EQ((key.starts_with("stdout") ? r.out : r.err).find(value), std::string::npos) << r.out;
        } else if (key == "stderr ends") {
            EXPECT_EQ(r.err.find(value), r.err.size() - value.size()) << r.err;
        } else if (key == "exists" || key == "missing") {
            EXPECT_EQ(fs::exists(fsPath(at(value))), key == "exists") << value;
        } else if (key == "begins") {
            EXPECT_EQ(readFile(at(w.at(0))).rfind(w.at(1), 0), 0u) << readFile(at(w[0]));
        } else if (key == "hex at") {
            EXPECT_EQ(hexOf(readFile(at(w.at(0))).substr(std::stoul(w.at(1)), w.at(2).size() / 2)), w[2]);
        } else if (key == "same") {
            EXPECT_TRUE(readFile(at(w.at(0))) == readFile(at(w.at(1))));
        } else if (key == "cal3d") {
            if (cal3dAvailable()) {
                EXPECT_TRUE(loadCal3dSet(at(value)).ok()) << loadCal3dSet(at(value)).error;
            }
        } else if (key == "no new files") {
            const std::string dir = value.empty() ? cwd : at(value) + "/";
            for (const std::string& f : filesUnder(dir)) EXPECT_TRUE(made.count(dir + f)) << f;
        } else if (key == "snapshot") {
            snapshots[value] = folderBytes(at(value));
        } else if (key == "unchanged") {
            EXPECT_EQ(folderBytes(at(value)), snapshots.at(value));
        } else if (key == "maps") {
            std::vector<std::string> named;
            for (const std::string& f : filesUnder(at(w.at(0)), {".crf"}))
                for (const std::string& map : crfMaps(readFile(at(w[0]) + "/" + f))) named.push_back(map);
            std::sort(named.begin(), named.end());
            EXPECT_EQ(named, std::vector<std::string>(w.begin() + 1, w.end()));
        } else if (key == "picture") {
            Image im;
            std::string err;
            EXPECT_TRUE(decodeImage(readFile(at(value)), value, im, err)) << err;
        } else {
            ADD_FAILURE() << "unknown line: " << line;
        }
    }
    for (const auto& [path, bytes] : made) EXPECT_TRUE(readFile(path) == bytes) << path << " was changed";
}

INSTANTIATE_TEST_SUITE_P(Data, RunCase, ::testing::ValuesIn(filesUnder(dataPath("shell/runs"), {".run"})),
                         [](const auto& info) { return testName(info.param); });

#ifdef _WIN32
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

// The exit status counts a batch's failures up to 125.
TEST_F(Program, ABatchStatusCountsFailuresUpTo125) {
    for (int i = 0; i < 130; ++i) writeFile(cwd + "e" + std::to_string(i) + ".obj", "");
    RunResult r = run({"--batch", "."});
    EXPECT_EQ(r.status, 125);
    EXPECT_NE(r.out.find("130 files: 0 converted, 130 failed"), std::string::npos) << r.out;
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

}  // namespace
}  // namespace molv::test
