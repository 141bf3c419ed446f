// Whole-file reading and writing. Readers work on bytes in memory; writers
// build their bytes in memory and hand them to writeFileAtomic, so a failed
// write never leaves half a file in place of a good one.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace molv {

// Reads the whole file into out. On failure returns false and sets err to a
// short description ("cannot open", the system's text).
bool readWholeFile(const std::string& path, std::string& out, std::string& err);
// Writes bytes to a temporary file beside path, then renames it over path.
bool writeFileAtomic(const std::string& path, std::string_view bytes, std::string& err);
// A file written in pieces that takes path's place only when whole: the
// pieces go to a temporary file beside it, renamed over path by commit().
// Dropped without a commit, or after any failure, the temporary file is
// removed and path is left as it was. The first failure is kept; later
// writes do nothing.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return ok_; }
    void write(std::string_view bytes);
    // Overwrites bytes written earlier at offset (a count known only at the end).
    void patch(std::uint64_t offset, std::string_view bytes);
    // Flushes, closes and renames into place; false (err set) on any failure.
    bool commit(std::string& err);

private:
    void fail();
    std::string path_, tmp_, err_;
    std::FILE* f_ = nullptr;
    std::uint64_t size_ = 0;
    bool ok_ = false;
};

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
