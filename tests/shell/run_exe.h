// Runs the built program (MOLV_EXE, set by CTest) as a user would: own
// folder, own environment, no terminal on stdin.
#pragma once
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace molv::test {

struct RunResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out, err;
};

inline std::string exePath() {
    const char* e = std::getenv("MOLV_EXE");
    return e ? e : "";
}

// A user's environment inside `home`: HOME and XDG_CONFIG_HOME point into
// it, USERPROFILE and TEMP are unset. Extra entries ("NAME=value") are added.
inline std::vector<std::string> userEnv(const std::string& home, std::vector<std::string> extra = {}) {
    std::vector<std::string> env = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + ".config", "PATH=/usr/bin:/bin",
                                    "LC_ALL=C"};
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* v = std::getenv(keep)) env.push_back(std::string(keep) + "=" + v);
    for (auto& e : extra) env.push_back(e);
    return env;
}

// Runs program (MOLV_EXE when empty) with args in cwd; stdin reads `input`.
inline RunResult runExe(const std::vector<std::string>& args, const std::string& cwd,
                        const std::vector<std::string>& env, const std::string& input = "",
                        std::string program = "") {
    if (program.empty()) program = exePath();
    std::string dir = tempDir("run");
    std::string outPath = dir + "stdout", errPath = dir + "stderr", inPath = dir + "stdin";
    writeFile(inPath, input);
    pid_t pid = ::fork();
    if (pid == 0) {
        int in = ::open(inPath.c_str(), O_RDONLY);
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

}  // namespace molv::test
