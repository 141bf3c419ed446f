#include "util/fileio.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>

#include "util/fspath.h"

namespace molv {

namespace {

#ifdef _WIN32
// The 64-bit forms: a model may be larger than 2 GB.
using FileStat = struct _stat64;
int statOpenFile(std::FILE* f, FileStat& st) { return ::_fstat64(::_fileno(f), &st); }
long processId() { return static_cast<long>(::_getpid()); }
#else
using FileStat = struct stat;
int statOpenFile(std::FILE* f, FileStat& st) { return ::fstat(::fileno(f), &st); }
long processId() { return static_cast<long>(::getpid()); }
#endif

bool isFolderMode(unsigned mode) { return (mode & S_IFMT) == S_IFDIR; }
bool isFileMode(unsigned mode) { return (mode & S_IFMT) == S_IFREG; }

// Replaces target by source. Windows' rename refuses an existing target.
bool replaceFile(const std::string& source, const std::string& target, std::string& err) {
#ifdef _WIN32
    if (MoveFileExW(wideOf(source).c_str(), wideOf(target).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    err = systemErrorText(GetLastError());
    return false;
#else
    if (std::rename(source.c_str(), target.c_str()) == 0) return true;
    err = std::strerror(errno);
    return false;
#endif
}

void removeFile(const std::string& path) {
#ifdef _WIN32
    ::_wremove(wideOf(path).c_str());
#else
    std::remove(path.c_str());
#endif
}

// The temporaries being written, for the signal handler: it can take no
// lock and allocate nothing, so the names sit in fixed slots. This is the
// one thing kept for the whole process, as a signal is.
#ifdef _WIN32
using NativeChar = wchar_t;
std::wstring nativeName(const std::string& path) { return wideOf(path); }
#else
using NativeChar = char;
const std::string& nativeName(const std::string& path) { return path; }
#endif
constexpr int kSlots = 256;
constexpr std::size_t kSlotChars = 1024;
struct TempSlot {
    std::atomic<int> state{0};  // 0 free, 1 being changed, 2 a live temporary
    NativeChar name[kSlotChars];
};
TempSlot g_temps[kSlots];
std::atomic<int> g_committing{0};
std::atomic<int> g_pendingSignal{0};

void removeLiveTemporaries() {
    for (TempSlot& t : g_temps) {
        int live = 2;
        if (!t.state.compare_exchange_strong(live, 1)) continue;
#ifdef _WIN32
        DeleteFileW(t.name);
#else
        ::unlink(t.name);
#endif
    }
}

#ifdef _WIN32
BOOL WINAPI onConsoleStop(DWORD) {
    // Runs on a thread of its own: a commit under way is let finish.
    for (int i = 0; i < 500 && g_committing.load() > 0; ++i) Sleep(10);
    removeLiveTemporaries();
    return FALSE;  // the default handler ends the program
}
void installCleanup() { SetConsoleCtrlHandler(onConsoleStop, TRUE); }
void endForSignal(int) {}
#else
struct sigaction g_oldInt, g_oldTerm;

void endForSignal(int sig) {
    removeLiveTemporaries();
    const struct sigaction& old = sig == SIGINT ? g_oldInt : g_oldTerm;
    if (old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN && !(old.sa_flags & SA_SIGINFO)) {
        old.sa_handler(sig);
        return;
    }
    ::sigaction(sig, &old, nullptr);
    ::raise(sig);
}

extern "C" void onStopSignal(int sig) {
    // A set being put in place is finished first, so it lands whole.
    if (g_committing.load() > 0) {
        g_pendingSignal.store(sig);
        return;
    }
    endForSignal(sig);
}

void installOne(int sig, struct sigaction& old) {
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
}
void installCleanup() {
    installOne(SIGINT, g_oldInt);
    installOne(SIGTERM, g_oldTerm);
}
#endif

void ensureCleanup() {
    static std::once_flag once;
    std::call_once(once, installCleanup);
}

int registerTemp(const std::string& path) {
    const auto& name = nativeName(path);
    if (name.size() >= kSlotChars) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int free = 0;
        if (!g_temps[i].state.compare_exchange_strong(free, 1)) continue;
        std::copy(name.begin(), name.end(), g_temps[i].name);
        g_temps[i].name[name.size()] = 0;
        g_temps[i].state.store(2);
        return i;
    }
    return -1;  // still removed on every ordinary path, only not by a signal
}

void releaseTemp(int slot) {
    if (slot < 0) return;
    g_temps[slot].state.store(1);
    g_temps[slot].state.store(0);
}

// A file that did not exist before, never reached through a link.
std::FILE* createNewFile(const std::string& path, std::string& err) {
#ifdef _WIN32
    HANDLE h = CreateFileW(wideOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        err = GetLastError() == ERROR_FILE_EXISTS ? "exists" : systemErrorText(GetLastError());
        return nullptr;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_WRONLY);
    if (fd < 0) {
        CloseHandle(h);
        err = "cannot open";
        return nullptr;
    }
    std::FILE* f = ::_fdopen(fd, "wb");
    if (!f) ::_close(fd);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        err = errno == EEXIST ? "exists" : std::strerror(errno);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) ::close(fd);
#endif
    if (!f) {
        err = "cannot open";
        removeFile(path);
    }
    return f;
}

enum class Kind { None, Regular, Link, Other };

Kind kindOf(const std::string& path) {
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(fsPath(path), ec);
    if (ec || st.type() == std::filesystem::file_type::not_found) return Kind::None;
    if (st.type() == std::filesystem::file_type::symlink) return Kind::Link;
    return st.type() == std::filesystem::file_type::regular ? Kind::Regular : Kind::Other;
}

// Moves path aside to a new name, keeping it to put back. Empty when it
// could not be kept.
std::string keepAside(const std::string& path) {
    for (int n = 0; n < 16; ++n) {
        const std::string aside = path + ".old" + std::to_string(processId()) + (n ? "-" + std::to_string(n) : "");
#ifdef _WIN32
        if (MoveFileExW(wideOf(path).c_str(), wideOf(aside).c_str(), 0)) return aside;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) return {};
#else
        // A second name for the same file: the old one stays in place until
        // the new one replaces it in one step.
        if (::link(path.c_str(), aside.c_str()) == 0) return aside;
        if (errno != EEXIST) return {};
#endif
    }
    return {};
}

// Commits into one folder one at a time: in this process by the mutex,
// between processes by a lock on the folder.
std::mutex g_commitMutex;

class FolderLock {
public:
    explicit FolderLock(const std::string& file) {
#ifndef _WIN32
        std::string folder = std::filesystem::path(file).parent_path().native();
        if (folder.empty()) folder = ".";
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
#else
        // A named mutex per folder: Windows has no lock on a folder itself.
        // The name is a hash of the folder's full path, case folded as the
        // file system folds it.
        std::error_code ec;
        std::wstring folder = std::filesystem::absolute(fsPath(file), ec).parent_path().wstring();
        CharUpperBuffW(folder.data(), static_cast<DWORD>(folder.size()));
        std::uint64_t h = 1469598103934665603ull;
        for (const wchar_t c : folder) h = (h ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
        wchar_t name[64];
        std::swprintf(name, 64, L"Local\\molvconv-commit-%016llx", static_cast<unsigned long long>(h));
        mutex_ = ::CreateMutexW(nullptr, FALSE, name);
        if (mutex_) {
            const DWORD got = ::WaitForSingleObject(mutex_, INFINITE);
            // WAIT_ABANDONED: the owner died while it held the lock, which
            // is ours now.
            if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
                ::CloseHandle(mutex_);
                mutex_ = nullptr;
            }
        }
#endif
    }
    ~FolderLock() {
#ifndef _WIN32
        if (fd_ >= 0) ::close(fd_);
#else
        if (mutex_) {
            ::ReleaseMutex(mutex_);
            ::CloseHandle(mutex_);
        }
#endif
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
#ifndef _WIN32
    int fd_ = -1;
#else
    HANDLE mutex_ = nullptr;
#endif
};

}  // namespace

char pathSep() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

bool readWholeFile(const std::string& path, std::string& out, std::string& err) {
    out.clear();
    std::FILE* f = openFile(path, "rb");
    if (!f) {
        err = std::strerror(errno);
        return false;
    }
    // A folder opens fine but reports a nonsense size: refuse it before
    // sizing the buffer from it.
    FileStat st{};
    const bool known = statOpenFile(f, st) == 0;
    if (known && isFolderMode(st.st_mode)) {
        std::fclose(f);
        err = "is a folder";
        return false;
    }
    bool bad = false;
    try {
        // A file of known size is read straight into its buffer, without a
        // copy through a bounce buffer; whatever follows (a file that grew
        // meanwhile, a pipe) is read in pieces.
        if (known && isFileMode(st.st_mode) && st.st_size > 0) {
            const auto size = static_cast<std::size_t>(st.st_size);
            out.reserve(size);
            adviseLargePages(out.data(), out.capacity());
            out.resize(size);
            out.resize(std::fread(out.data(), 1, size, f));
        }
        char buf[1 << 16];
        std::size_t got;
        while (!std::ferror(f) && (got = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, got);
        bad = std::ferror(f) != 0;
    } catch (const std::exception&) {  // bad_alloc, length_error
        std::fclose(f);
        out.clear();
        err = "too large to read";
        return false;
    }
    std::fclose(f);
    if (bad) {
        err = "read error";
        return false;
    }
    return true;
}

void adviseLargePages([[maybe_unused]] const void* p, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (bytes < 8 * kHuge) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1), to = (begin + bytes) & ~(kHuge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

AtomicFile::AtomicFile(const std::string& path, FileSet* set) : path_(path), set_(set) {
    ensureCleanup();
    if (set_ ? !set_->mayWrite(path, err_) : kindOf(path) == Kind::Other) {
        if (err_.empty()) err_ = "is not a regular file";
        return;
    }
    // The usual name first; one taken (a planted link, a stale file) is
    // left alone and the next tried.
    const std::string stem = path + ".tmp" + std::to_string(processId());
    for (int n = 0; n < 16 && !f_; ++n) {
        tmp_ = n ? stem + "-" + std::to_string(n) : stem;
        err_.clear();
        slot_ = registerTemp(tmp_);
        f_ = createNewFile(tmp_, err_);
        if (!f_) {
            releaseTemp(slot_);
            slot_ = -1;
            if (err_ != "exists") break;
        }
    }
    ok_ = f_ != nullptr;
    if (!ok_ && err_ == "exists") err_ = "no temporary name free beside it";
}

AtomicFile::~AtomicFile() {
    if (!f_) return;
    std::fclose(f_);
    removeFile(tmp_);
    releaseTemp(slot_);
}

void AtomicFile::fail() {
    if (ok_) err_ = std::strerror(errno);
    ok_ = false;
}

void AtomicFile::write(std::string_view bytes) {
    if (!ok_ || bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size()) fail();
    size_ += bytes.size();
}

void AtomicFile::patch(std::uint64_t offset, std::string_view bytes) {
    if (!ok_) return;
    // Only inside what was written: the file never grows a hole.
    if (offset > size_ || size_ - offset < bytes.size() || offset > 0x7FFFFFFF) {
        errno = EINVAL;
        fail();
        return;
    }
    if (std::fseek(f_, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size() || std::fseek(f_, 0, SEEK_END) != 0)
        fail();
}

bool AtomicFile::commit(std::string& err) {
    if (ok_ && std::fflush(f_) != 0) fail();
    if (f_) {
        if (std::fclose(f_) != 0) fail();
        f_ = nullptr;
        if (ok_ && set_) {
            set_->adopt(tmp_, path_, slot_);
        } else {
            if (ok_ && !replaceFile(tmp_, path_, err_)) ok_ = false;
            if (!ok_) removeFile(tmp_);
            releaseTemp(slot_);
        }
        slot_ = -1;
    }
    if (!ok_) err = err_;
    return ok_;
}

bool writeFileAtomic(const std::string& path, std::string_view bytes, std::string& err, FileSet* set) {
    AtomicFile f(path, set);
    f.write(bytes);
    return f.commit(err);
}

FileSet::FileSet() { ensureCleanup(); }

FileSet::~FileSet() { abort(); }

void FileSet::protect(const std::string& path) {
    if (!path.empty()) protected_.push_back(path);
}

bool FileSet::mayWrite(const std::string& path, std::string& err) const {
    for (const std::string& p : protected_)
        if (p == path || sameFile(p, path)) {
            err = "it is a file of the source";
            return false;
        }
    switch (kindOf(path)) {
        case Kind::Link: err = "it is a link"; return false;
        case Kind::Other: err = "it is not a regular file"; return false;
        default: return true;
    }
}

std::vector<std::string> FileSet::targets() const {
    std::vector<std::string> out;
    for (const Entry& e : entries_) out.push_back(e.path);
    return out;
}

void FileSet::adopt(const std::string& tmp, const std::string& path, int slot) {
    // Written again: the later bytes count.
    for (Entry& e : entries_)
        if (e.path == path) {
            removeFile(e.tmp);
            releaseTemp(e.slot);
            e.tmp = tmp;
            e.slot = slot;
            return;
        }
    entries_.push_back({tmp, path, slot});
}

void FileSet::abort() {
    for (const Entry& e : entries_) {
        removeFile(e.tmp);
        releaseTemp(e.slot);
    }
    entries_.clear();
}

bool FileSet::commit(std::string& err) {
    if (entries_.empty()) return true;
    std::stable_partition(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.path != last_; });
    if (runNames_)
        for (const Entry& e : entries_) {
            std::string other;
            if (!runNames_->claim(e.path, owner_, other)) {
                err = e.path + ": the set " + other + " of this run wrote it; not replaced";
                abort();
                return false;
            }
        }
    std::lock_guard<std::mutex> serial(g_commitMutex);
    FolderLock folder(entries_.front().path);
    ++g_committing;
    struct Done {
        std::string path, aside;
        bool existed;
    };
    std::vector<Done> done;
    bool ok = true;
    for (const Entry& e : entries_) {
        // Looked at again: another program may have put something there.
        if (!mayWrite(e.path, err)) {
            err = e.path + ": " + err;
            ok = false;
            break;
        }
        const bool existed = kindOf(e.path) != Kind::None;
        const std::string aside = existed ? keepAside(e.path) : std::string();
        std::string why;
        if (!replaceFile(e.tmp, e.path, why)) {
            if (!aside.empty()) {
#ifdef _WIN32
                replaceFile(aside, e.path, why);
#else
                removeFile(aside);
#endif
            }
            err = e.path + ": " + why;
            ok = false;
            break;
        }
        done.push_back({e.path, aside, existed});
    }
    if (ok) {
        for (const Done& d : done)
            if (!d.aside.empty()) removeFile(d.aside);
    } else {
        // Back as it was: replaced files return, new ones go.
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            std::string why;
            if (!it->aside.empty()) replaceFile(it->aside, it->path, why);
            else if (!it->existed) removeFile(it->path);
        }
        for (const Entry& e : entries_) removeFile(e.tmp);
    }
    for (const Entry& e : entries_) releaseTemp(e.slot);
    entries_.clear();
    if (--g_committing == 0)
        if (const int sig = g_pendingSignal.exchange(0)) endForSignal(sig);
    return ok;
}

bool RunNames::claim(const std::string& path, const std::string& owner, std::string& other) {
    std::string key = path;
    // Told apart as a case-blind file system would.
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::lock_guard<std::mutex> lock(mutex_);
    auto [it, fresh] = owners_.emplace(key, owner);
    if (fresh || it->second == owner) return true;
    other = it->second;
    return false;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(fsPath(a), fsPath(b), ec) && !ec;
}

bool appendLineToFile(const std::string& path, std::string_view line) {
    std::FILE* f = openFile(path, "ab");
    if (!f) return false;
    bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size() && std::fwrite("\r\n", 1, 2, f) == 2;
    return std::fclose(f) == 0 && ok;
}

// Status through the file-system library: it takes wide names on Windows
// and a folder's name with its closing separator (C:\models\) there too.
bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(fsPath(path), ec);
}

bool folderExists(const std::string& path) {
    if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
    std::error_code ec;
    return std::filesystem::is_directory(fsPath(path), ec);
}

long long fileSize(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(fsPath(path), ec)) return 0;
    const auto n = std::filesystem::file_size(fsPath(path), ec);
    return ec ? 0 : static_cast<long long>(n);
}

void deleteFile(const std::string& path) {
    if (!path.empty()) removeFile(path);
}

bool makeFolder(const std::string& path, std::string& err) {
    std::error_code ec;
    std::filesystem::create_directories(fsPath(path), ec);
    if (ec && !folderExists(path)) {
        err = ec.message();
        return false;
    }
    return true;
}

int removeTemporariesOf(const std::string& folder, long pid) {
    // Exactly the names AtomicFile gives: NAME.tmpPID or NAME.tmpPID-N.
    const std::string mark = ".tmp" + std::to_string(pid);
    int removed = 0;
    std::error_code ec;
    std::filesystem::directory_iterator it(fsPath(folder.empty() ? std::string(".") : folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = utf8Path(it->path().filename());
        const std::size_t at = name.rfind(mark);
        if (at == std::string::npos || at == 0) continue;
        const std::string_view rest = std::string_view(name).substr(at + mark.size());
        const bool numbered = rest.size() > 1 && rest[0] == '-' &&
                              rest.substr(1).find_first_not_of("0123456789") == std::string_view::npos;
        std::error_code fec;
        if ((rest.empty() || numbered) && it->is_regular_file(fec) && std::filesystem::remove(it->path(), fec)) ++removed;
    }
    return removed;
}

std::vector<std::string> filesWithExtension(const std::string& folder, std::string_view ext) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? std::string(".") : folder, ec), end;
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    const std::string want = "." + lower(std::string(ext));
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string name = it->path().filename().string();
        if (name.size() > want.size() && lower(name.substr(name.size() - want.size())) == want) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace molv
