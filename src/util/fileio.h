// Whole-file reading and writing. Readers work on bytes in memory; writers
// build their bytes in memory and hand them to writeFileAtomic, so a failed
// write never leaves half a file in place of a good one.
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace molv {

// Reads the whole file into out. On failure returns false and sets err to a
// short description ("cannot open", the system's text).
bool readWholeFile(const std::string& path, std::string& out, std::string& err);
class FileSet;
class RunNames;

// Writes bytes to a temporary file beside path, then renames it over path;
// with a set, the rename waits for the set's commit.
bool writeFileAtomic(const std::string& path, std::string_view bytes, std::string& err, FileSet* set = nullptr);
// A file written in pieces that takes path's place only when whole: the
// pieces go to a temporary file beside it, renamed over path by commit()
// (or, with a set, handed to the set to be renamed with the others).
// Dropped without a commit, or after any failure, the temporary file is
// removed and path is left as it was. The first failure is kept; later
// writes do nothing. The temporary is always a new file: an existing name
// (a planted link) is never opened, and a target that exists but is no
// regular file (a link, a device, a folder) is refused.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path, FileSet* set = nullptr);
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
    FileSet* set_ = nullptr;
    int slot_ = -1;  // the temporary's place in the list a signal cleans up
    std::uint64_t size_ = 0;
    bool ok_ = false;
};

// The files of one output (a Cal3D set, a mesh with its material library,
// a copied texture) written as one: each goes to a temporary of its own,
// and commit() puts them all in place once every one is whole. Dropped
// without a commit, or on any failure, every temporary is removed and the
// folder is as it was: files that were replaced are put back. SIGINT and
// SIGTERM remove the temporaries of every live set before the program
// ends; a signal during a commit waits for it. Commits into one folder are
// serialised, also between processes where the system can lock a folder,
// so two runs onto one output leave one whole set, never a mix.
class FileSet {
public:
    FileSet();
    ~FileSet();
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;

    // A file the set must never replace (the source, its companions).
    void protect(const std::string& path);
    // Whether path may be written: not protected, and new or a regular
    // file (no link, device or folder). err says why not.
    bool mayWrite(const std::string& path, std::string& err) const;
    // The file renamed last (a configuration naming the others).
    void putLast(const std::string& path) { last_ = path; }
    // Renames every temporary into place; on failure puts back what was
    // replaced, removes the rest and returns false with err set.
    bool commit(std::string& err);
    // Removes every temporary; nothing was put in place.
    void abort();
    // Shares the names of a run's sets; owner names this set.
    void useRunNames(RunNames* names, const std::string& owner) {
        runNames_ = names;
        owner_ = owner;
    }
    // Target names of the files written so far.
    std::vector<std::string> targets() const;

private:
    friend class AtomicFile;
    struct Entry {
        std::string tmp, path;
        int slot;
    };
    void adopt(const std::string& tmp, const std::string& path, int slot);
    std::vector<Entry> entries_;
    std::vector<std::string> protected_;
    std::string last_;
    RunNames* runNames_ = nullptr;
    std::string owner_;
};

// The files written by the sets of one run (a batch), so that one set
// never replaces a file another set of the run wrote ("x.obj" with
// material "a_b" and "x_a.obj" with material "b" both give x_a_b[0].crf).
class RunNames {
public:
    virtual ~RunNames() = default;
    // True when path is free in this run or already owner's; then it is
    // owner's. A batch item in a process of its own asks its parent's.
    virtual bool claim(const std::string& path, const std::string& owner, std::string& other);

private:
    std::mutex mutex_;
    std::map<std::string, std::string> owners_;
};

// Whether a and b name the same existing file (links and other spellings
// followed).
bool sameFile(const std::string& a, const std::string& b);

// Appends one line (CR LF added) to path, creating it; errors are returned,
// never thrown.
bool appendLineToFile(const std::string& path, std::string_view line);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
long long fileSize(const std::string& path);
void deleteFile(const std::string& path);
bool makeFolder(const std::string& path, std::string& err);
// Removes from folder the temporaries of process pid, which ended without
// removing them (a crash); returns how many.
int removeTemporariesOf(const std::string& folder, long pid);
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
