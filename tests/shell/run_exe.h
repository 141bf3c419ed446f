// Runs the built program (MOLV_EXE, set by CTest) as a user would: own
// folder, own environment, no terminal on stdin.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <string>
#include <vector>

#include "convert/cmdline.h"
#include "support/test_support.h"
#include "util/fspath.h"

namespace molv::test {

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
    // Text written to the console streams ends its lines in CR LF here.
    auto lf = [](std::string s) {
        std::string o;
        for (std::size_t i = 0; i < s.size(); ++i)
            if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) o += s[i];
        return o;
    };
    r.out = lf(readFile(outPath));
    r.err = lf(readFile(errPath));
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

}  // namespace molv::test
