// Whole-file reading and writing. Readers work on bytes in memory; writers
// build their bytes in memory and hand them to writeFileAtomic, so a failed
// write never leaves half a file in place of a good one.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace molv {

// Reads the whole file into out. On failure returns false and sets err to a
// short description ("cannot open", the system's text).
bool readWholeFile(const std::string& path, std::string& out, std::string& err);
// Writes bytes to a temporary file beside path, then renames it over path.
bool writeFileAtomic(const std::string& path, std::string_view bytes, std::string& err);
// Appends one line (CR LF added) to path, creating it; errors are returned,
// never thrown.
bool appendLineToFile(const std::string& path, std::string_view line);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
long long fileSize(const std::string& path);
void deleteFile(const std::string& path);
bool makeFolder(const std::string& path, std::string& err);
// Names (without folder) of the files in folder whose extension is ext
// (no dot, any case), sorted; empty when the folder cannot be listed.
std::vector<std::string> filesWithExtension(const std::string& folder, std::string_view ext);

// Asks for large memory pages under [p, p + bytes), storage not touched
// yet: a buffer of many megabytes then costs a few dozen page faults
// instead of thousands. Only for buffers of 16 MB and more, as the last
// large page is resident whole. A hint; nothing depends on it being taken.
void adviseLargePages(const void* p, std::size_t bytes);

// The platform's path separator.
char pathSep();

}  // namespace molv
