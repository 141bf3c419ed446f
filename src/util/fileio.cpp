#include "util/fileio.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <stdexcept>

namespace molv {

char pathSep() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

bool readWholeFile(const std::string& path, std::string& out, std::string& err) {
    out.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        err = std::strerror(errno);
        return false;
    }
    // A folder opens fine but reports a nonsense size: refuse it before
    // sizing the buffer from it.
    struct stat st {};
    const bool known = ::fstat(::fileno(f), &st) == 0;
    if (known && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        err = "is a folder";
        return false;
    }
    bool bad = false;
    try {
        if (known && S_ISREG(st.st_mode) && st.st_size > 0) {
            out.reserve(static_cast<std::size_t>(st.st_size));
            adviseLargePages(out.data(), out.capacity());
        }
        char buf[1 << 16];
        std::size_t got;
        while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, got);
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

bool writeFileAtomic(const std::string& path, std::string_view bytes, std::string& err) {
    std::string tmp = path + ".tmp" + std::to_string(static_cast<long>(::getpid()));
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        err = std::strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (!ok) err = std::strerror(errno);
    if (std::fflush(f) != 0 && ok) {
        ok = false;
        err = std::strerror(errno);
    }
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = std::strerror(errno);
    }
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = std::strerror(errno);
    }
    if (!ok) std::remove(tmp.c_str());
    return ok;
}

bool appendLineToFile(const std::string& path, std::string_view line) {
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return false;
    bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size() && std::fwrite("\r\n", 1, 2, f) == 2;
    return std::fclose(f) == 0 && ok;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool folderExists(const std::string& path) {
    if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long long fileSize(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<long long>(st.st_size);
}

void deleteFile(const std::string& path) {
    if (!path.empty()) std::remove(path.c_str());
}

bool makeFolder(const std::string& path, std::string& err) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
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
