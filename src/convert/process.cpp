#include "convert/process.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

#include "convert/cmdline.h"
#include "util/fspath.h"

namespace molv {

std::string argumentsOf(std::string_view line) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        std::size_t q = line.find('"', 1);
        i = q == std::string_view::npos ? line.size() : q + 1;
    }
    while (i < line.size() && !blank(line[i])) ++i;
    while (i < line.size() && blank(line[i])) ++i;
    return std::string(line.substr(i));
}

#ifdef _WIN32

std::string processArguments(int, char**) { return argumentsOf(utf8Of(GetCommandLineW())); }

std::string processProgramPath(const char* argv0) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) break;
        if (n < buf.size()) return utf8Of(std::wstring_view(buf.data(), n));
        buf.resize(buf.size() * 2);
    }
    return argv0 ? argv0 : "";
}

std::string runningProgramFile(const char* argv0) { return processProgramPath(argv0); }

std::optional<std::string> envValue(const char* name) {
    const wchar_t* v = ::_wgetenv(wideOf(name).c_str());
    if (!v || !*v) return std::nullopt;
    return utf8Of(v);
}

Utf8Console::Utf8Console() : in_(GetConsoleCP()), out_(GetConsoleOutputCP()) {
    // Without a console both are 0 and there is nothing to set.
    if (in_) SetConsoleCP(CP_UTF8);
    if (out_) SetConsoleOutputCP(CP_UTF8);
}

Utf8Console::~Utf8Console() {
    if (in_) SetConsoleCP(in_);
    if (out_) SetConsoleOutputCP(out_);
}

#else

std::string processArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return joinArguments(args);
}

std::string processProgramPath(const char* argv0) { return argv0 ? argv0 : ""; }

std::string runningProgramFile(const char* argv0) {
    std::error_code ec;
    if (std::filesystem::exists("/proc/self/exe", ec)) return "/proc/self/exe";
    return processProgramPath(argv0);
}

std::optional<std::string> envValue(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) return std::nullopt;
    return std::string(v);
}

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

#endif

std::string currentFolder() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::current_path(ec);
    return ec ? std::string() : utf8Path(p);
}

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // Blocks of any size from the heap, never trimmed back: up to 1 GiB.
    constexpr int kKeep = 1 << 30;
    mallopt(M_MMAP_THRESHOLD, kKeep);
    mallopt(M_TRIM_THRESHOLD, kKeep);
#if defined(MADV_HUGEPAGE)
    // The heap grown once by 512 MiB of address space (below the trim
    // threshold, so freeing the block keeps it), marked for huge pages:
    // a large model then faults its arrays in 2 MiB pages instead of 4 KiB
    // ones (as glibc.malloc.hugetlb=1 would). The pad goes back to its
    // default at once, so a later growth, or a failed one under a tight
    // address-space limit, asks for no more than it needs.
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    mallopt(M_TOP_PAD, kKeep / 2);
    void* block = std::malloc(2 * kHuge);
    mallopt(M_TOP_PAD, 128 * 1024);
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    // Only a block the heap's own growth gave (not another allocator's, as
    // under a sanitizer) marks that growth.
    if (block && after - before >= std::size_t{kKeep / 2} && at < after && at + 2 * kHuge > before) {
        const std::uintptr_t from = (at + kHuge - 1) & ~(kHuge - 1), to = after & ~(kHuge - 1);
        if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    }
    std::free(block);
#endif
#endif
}

}  // namespace molv
