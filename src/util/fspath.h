// File names between the program's own text, UTF-8 throughout, and the file
// system. Windows' narrow-character interfaces read names in the ANSI code
// page, so a name outside it ("стул café.obj") would not open: every file is
// opened, renamed, tested or listed through these, which take Windows'
// wide-character interfaces. Elsewhere the bytes pass unchanged.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace molv {

std::filesystem::path fsPath(std::string_view utf8);
std::string utf8Path(const std::filesystem::path& p);
// std::fopen of a UTF-8 name; mode as for fopen ("rb", "wb", "ab").
std::FILE* openFile(const std::string& path, const char* mode);

#ifdef _WIN32
// UTF-8 to UTF-16 and back. Text that is no valid UTF-8 is read in the ANSI
// code page, as names inside files written by older Windows programs are.
std::wstring wideOf(std::string_view utf8);
std::string utf8Of(std::wstring_view wide);
// The system's text for an error code of GetLastError.
std::string systemErrorText(unsigned long code);
#endif

}  // namespace molv
