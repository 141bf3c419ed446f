#include "util/fspath.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace molv {

#ifdef _WIN32

std::wstring wideOf(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int len = static_cast<int>(utf8.size());
    UINT cp = CP_UTF8;
    int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, utf8.data(), len, nullptr, 0);
    if (n <= 0) {
        cp = CP_ACP;
        n = MultiByteToWideChar(cp, 0, utf8.data(), len, nullptr, 0);
        if (n <= 0) return {};
    }
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(cp, cp == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, utf8.data(), len, w.data(), n);
    return w;
}

std::string utf8Of(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int len = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), len, s.data(), n, nullptr, nullptr);
    return s;
}

std::string systemErrorText(unsigned long code) {
    wchar_t* buf = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::string s = n && buf ? utf8Of(std::wstring_view(buf, n)) : std::string();
    if (buf) LocalFree(buf);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    if (s.empty()) s = "system error " + std::to_string(code);
    return s;
}

std::filesystem::path fsPath(std::string_view utf8) { return std::filesystem::path(wideOf(utf8)); }

std::string utf8Path(const std::filesystem::path& p) { return utf8Of(p.native()); }

std::FILE* openFile(const std::string& path, const char* mode) {
    return ::_wfopen(wideOf(path).c_str(), wideOf(mode).c_str());
}

#else

std::filesystem::path fsPath(std::string_view utf8) { return std::filesystem::path(std::string(utf8)); }

std::string utf8Path(const std::filesystem::path& p) { return p.native(); }

std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

#endif

}  // namespace molv
