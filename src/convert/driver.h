// The conversion driver: names the output, dispatches reads and writes by
// extension and runs the automatic fix-ups in between.
#pragma once
#include <cstdint>
#include <functional>
#include <utility>
#include <string>
#include <vector>

namespace molv {

struct Context;

// Every material becomes a file of the written set: a model with more is
// refused when it is read, before anything is written.
inline constexpr std::int32_t kMaxMaterials = 4096;

// Output name for a source: same folder and base name, ".cmf" for geometry,
// "_1." copies for Cal3D sources. Also sets srcBase, srcExt and outFile.
std::string outputNameFor(Context& ctx, const std::string& source);
// File > Open path: clears the log and the model, checks the extension
// against knownTypes, then reads. True when something was read.
bool LoadFile(Context& ctx, bool saveSettings = false);
// Reads srcFile into the model store. True when the reader succeeded (a
// missing file, an unknown type or a reader that gave up give false).
// With saveSettings the configuration file is written as the read begins.
bool readDispatch(Context& ctx, bool saveSettings = false);
// Writes the model to outFile (derived from srcFile when empty). True only
// when a writer ran and every file it wrote was written.
bool writeDispatch(Context& ctx);

// After a successful read: whether there is a model to write. A geometry
// source that gave no face would become an empty prop, so the user is told
// and the answer is false.
bool modelToWrite(Context& ctx);

// One conversion, as the command line, batch and the window ask for it.
struct ConversionRequest {
    ConversionRequest(std::string src, std::string out = {}) : source(std::move(src)), output(std::move(out)) {}
    std::string source;
    std::string output;     // empty: named from the source (or by the reader)
    bool fromOpen = false;  // File > Open: the log file goes and the type is checked against the accepted list first
    // The front end owns the settings: they are stored as the read takes
    // them over. Batch items share one snapshot and store nothing.
    bool saveSettings = false;
    // Called once the read succeeded and the write is about to begin: from
    // there on the set is written whole.
    std::function<void()> beforeWrite;
};

struct ConversionResult {
    enum class Status {
        Converted,      // read and written (a listing: read, having written its report)
        ReadAbandoned,  // the reader gave up
        Failed,         // refused, cancelled, or a file could not be written
    };
    Status status = Status::Failed;
    // Problems the user must act on, each once (a texture not found, faces
    // dropped): the set is written all the same.
    std::vector<std::string> warnings;
    bool ok() const { return status == Status::Converted; }
};

ConversionResult convert(Context& ctx, const ConversionRequest& req);

// Why output may not be written for source, or empty when it may: it is the
// source, a companion file of it (its material library), or exists as
// something other than a regular file (a link, a device, a folder).
std::string outputRefusal(const std::string& source, const std::string& output);
// Input quoted in a message: at most 200 characters, the rest elided.
std::string clipped(std::string_view text);
// A message with each word (a run without blanks: a data URI, a path)
// clipped so.
std::string clipLongWords(std::string_view message);

// The "Read complete" lines, with the size warning above 10000 faces.
void logReadComplete(Context& ctx);
// The verdict of the size warning; empty at or below 10000 faces.
std::string faceCountVerdict(std::int32_t faces);
// Whether ext is one of the "*.ext" entries of a knownTypes list.
bool knownTypeListed(const std::string& knownTypes, const std::string& ext);

}  // namespace molv
