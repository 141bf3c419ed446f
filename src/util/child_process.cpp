#include "util/child_process.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <mutex>

#include "util/fspath.h"
#else
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace molv {

#ifdef _WIN32

namespace {

std::string systemText(DWORD code) {
    char buf[256] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                             sizeof buf, nullptr);
    while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == '.')) --n;
    return n ? std::string(buf, n) : "error " + std::to_string(code);
}

void closeHandle(void*& h) {
    if (h) CloseHandle(h);
    h = nullptr;
}

}  // namespace

bool ChildProcess::start(const std::string& program, const std::string& arg, std::string& err) {
    HANDLE childIn = nullptr, childOut = nullptr, toChild = nullptr, fromChild = nullptr;
    if (!CreatePipe(&childIn, &toChild, nullptr, 0) || !CreatePipe(&fromChild, &childOut, nullptr, 0)) {
        err = systemText(GetLastError());
        for (HANDLE h : {childIn, childOut, toChild, fromChild})
            if (h) CloseHandle(h);
        return false;
    }
    std::wstring cmd = L"\"" + wideOf(program) + L"\" " + wideOf(arg);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    BOOL started;
    {
        // The child's ends are inheritable only while this child starts, so
        // no child started at the same time from another thread holds them
        // (which would keep the stream open after this child ended).
        static std::mutex inheriting;
        std::lock_guard<std::mutex> lock(inheriting);
        SetHandleInformation(childIn, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        SetHandleInformation(childOut, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        started = CreateProcessW(wideOf(program).c_str(), cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &si, &pi);
        if (!started) err = systemText(GetLastError());
        CloseHandle(childIn);
        CloseHandle(childOut);
    }
    if (!started) {
        CloseHandle(toChild);
        CloseHandle(fromChild);
        return false;
    }
    CloseHandle(pi.hThread);
    id_ = static_cast<long>(pi.dwProcessId);
    process_ = pi.hProcess;
    toChild_ = toChild;
    fromChild_ = fromChild;
    finished_ = false;
    return true;
}

bool ChildProcess::send(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!toChild_ || !WriteFile(toChild_, bytes.data(), want, &n, nullptr) || n == 0) return false;
        bytes.remove_prefix(n);
    }
    return true;
}

bool ChildProcess::receive(std::string& into) {
    char buf[4096];
    DWORD n = 0;
    if (!fromChild_ || !ReadFile(fromChild_, buf, sizeof buf, &n, nullptr) || n == 0) return false;
    into.append(buf, n);
    return true;
}

std::string ChildProcess::finish() {
    if (finished_ || !process_) return {};
    finished_ = true;
    closeHandle(toChild_);
    closeHandle(fromChild_);
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    closeHandle(process_);
    if (code == 0) return {};
    if (code >= 0xC0000000u) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
        return std::string("it ended with exception ") + hex;
    }
    return "it ended with status " + std::to_string(code);
}

ChildProcess::~ChildProcess() { finish(); }

bool takeParentStream(std::FILE*& in, std::FILE*& out) {
    std::fflush(stdout);
    const int protocol = _dup(_fileno(stdout));
    if (protocol < 0) return false;
    // A window program may have no standard error: then nowhere.
    if (_fileno(stderr) < 0 || _dup2(_fileno(stderr), _fileno(stdout)) != 0) {
        const int nul = _open("NUL", _O_WRONLY);
        if (nul < 0 || _dup2(nul, _fileno(stdout)) != 0) return false;
        _close(nul);
    }
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(protocol, _O_BINARY);
    in = stdin;
    out = _fdopen(protocol, "wb");
    return out != nullptr;
}

#else

bool ChildProcess::start(const std::string& program, const std::string& arg, std::string& err) {
    // One socket for both directions; close-on-exec so that children started
    // at the same time by other threads never hold this one's end.
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
        err = std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, sv[1], 0);
    posix_spawn_file_actions_adddup2(&fa, sv[1], 1);
    std::string prog = program, a = arg;
    char* argv[] = {prog.data(), a.data(), nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, prog.c_str(), &fa, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(sv[1]);
    if (rc != 0) {
        ::close(sv[0]);
        err = std::strerror(rc);
        return false;
    }
    pid_ = pid;
    id_ = static_cast<long>(pid);
    fd_ = sv[0];
    finished_ = false;
    return true;
}

bool ChildProcess::send(std::string_view bytes) {
    while (!bytes.empty()) {
        // A child that ended must not end the parent with SIGPIPE.
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool ChildProcess::receive(std::string& into) {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        into.append(buf, static_cast<std::size_t>(n));
        return true;
    }
}

std::string ChildProcess::finish() {
    if (finished_ || pid_ < 0) return {};
    finished_ = true;
    ::close(fd_);
    fd_ = -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* name = ::strsignal(sig);
        return "it was ended by signal " + std::to_string(sig) + (name ? std::string(" (") + name + ")" : "");
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) return "it ended with status " + std::to_string(WEXITSTATUS(status));
    return {};
}

ChildProcess::~ChildProcess() { finish(); }

bool takeParentStream(std::FILE*& in, std::FILE*& out) {
    std::fflush(stdout);
    const int protocol = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (protocol < 0) return false;
    if (::dup2(2, 1) < 0) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null < 0 || ::dup2(null, 1) < 0) return false;
        ::close(null);
    }
    in = stdin;
    out = ::fdopen(protocol, "wb");
    return out != nullptr;
}

#endif

}  // namespace molv
