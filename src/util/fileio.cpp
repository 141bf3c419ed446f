#include "util/fileio.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <algorithm>
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

AtomicFile::AtomicFile(const std::string& path)
    : path_(path), tmp_(path + ".tmp" + std::to_string(processId())), f_(openFile(tmp_, "wb")) {
    ok_ = f_ != nullptr;
    if (!ok_) err_ = std::strerror(errno);
}

AtomicFile::~AtomicFile() {
    if (!f_) return;
    std::fclose(f_);
    removeFile(tmp_);
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
        if (ok_ && !replaceFile(tmp_, path_, err_)) ok_ = false;
        if (!ok_) removeFile(tmp_);
    }
    if (!ok_) err = err_;
    return ok_;
}

bool writeFileAtomic(const std::string& path, std::string_view bytes, std::string& err) {
    AtomicFile f(path);
    f.write(bytes);
    return f.commit(err);
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
