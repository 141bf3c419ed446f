// Whole-file reading and writing. Readers work on bytes in memory; writers
// build their bytes in memory and hand them to writeFileAtomic, so a failed
// write never leaves half a file in place of a good one.
#pragma once
#include <string>
#include <string_view>

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

// The platform's path separator.
char pathSep();

// Iterates the lines of a text in memory without copying: CR LF, LF and a
// lone CR at the end of a line are handled; NUL and character 26 are kept
// in the line for the caller to judge.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}
    // Next line without its line end; false at the end of the text.
    bool next(std::string_view& line);
    long lineNo() const { return lineNo_; }
    std::size_t offset(const char* base) const { return static_cast<std::size_t>(p_ - base); }

private:
    const char* p_;
    const char* end_;
    long lineNo_ = 0;
};

}  // namespace molv
