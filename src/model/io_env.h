// What a reader or a writer is handed: the store, where to report, the
// settings, and the names of the files in play. Built by the driver from the
// run's context; tests build one directly.
#pragma once
#include <string>
#include <string_view>

namespace molv {

class Diagnostics;
class FileSet;
class ModelStore;
struct Settings;
struct SkeletonStore;

struct ReadEnv {
    Diagnostics& diag;
    ModelStore& model;
    const Settings& settings;
    std::string srcFile;        // the source, as messages name it
    std::string srcFolder;      // companion files (materials, textures) are looked for here
    std::string modelName;      // source name without folder and extension, blanks as "_"
    std::string currentFolder;  // relative names inside the source resolve from here when set
    bool devMode = false;
    bool extraLog = false;  // the developer panel's extra logging
    bool dbgTrace = false;  // -dbg: readers trace what they meet to the log file
    std::string workdir;    // the work folder, with trailing separator
    // Set by the reader: the output it names (a text material's material
    // file, a body part's configuration), and whether its read already
    // wrote everything it produces (a listing), so no write follows.
    std::string outFile;
    bool wroteOutput = false;
    // The skeleton store the skeleton readers fill; nullptr when the run has none.
    SkeletonStore* skel = nullptr;
};

struct WriteEnv {
    Diagnostics& diag;
    ModelStore& model;  // writers may recompute normals
    const SkeletonStore& skel;
    const Settings& settings;
    std::string outBase;    // output name with folder, without extension
    std::string outName;    // output name without folder and extension
    std::string srcFolder;  // where the source's texture maps are
    bool devMode = false;
    bool extraLog = false;
    bool writeFailed = false;  // set when a file could not be written
    std::string srcExt;        // the source's type: some store fields keep its units
    // The prop template being built; written whole at its footer.
    std::string templateText;
    int templateOpen = 0;  // 0: no material open, 1: a material open, 2: its maps element open too
    int templateMaps = 0;  // maps of the open material
    // Where the files go: temporaries put in place together once the write
    // succeeded (nullptr: each file is put in place as it is written).
    FileSet* files = nullptr;
};

// Puts one whole file in place (through the write's file set, when it has
// one); on failure the user is told and the write is marked failed.
bool writeWhole(WriteEnv& env, const std::string& path, std::string_view bytes);

}  // namespace molv
