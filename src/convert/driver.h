// The conversion driver: names the output, dispatches reads and writes by
// extension and runs the automatic fix-ups in between.
#pragma once
#include <cstdint>
#include <string>

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
bool LoadFile(Context& ctx);
// Reads srcFile into the model store. True when the reader succeeded (a
// missing file, an unknown type or a reader that gave up give false).
bool readDispatch(Context& ctx);
// Writes the model to outFile (derived from srcFile when empty). True only
// when a writer ran and every file it wrote was written.
bool writeDispatch(Context& ctx);

// After a successful read: whether there is a model to write. A geometry
// source that gave no face would become an empty prop, so the user is told
// and the answer is false.
bool modelToWrite(Context& ctx);

// One whole conversion as the command line runs it: read srcFile, then,
// unless the reader gave up, write (to outFile when not empty, else the
// derived name). True only when both succeeded.
bool convertFile(Context& ctx, const std::string& srcFile, const std::string& outFile);

// The "Read complete" lines, with the size warning above 10000 faces.
void logReadComplete(Context& ctx);
// The verdict of the size warning; empty at or below 10000 faces.
std::string faceCountVerdict(std::int32_t faces);
// Whether ext is one of the "*.ext" entries of a knownTypes list.
bool knownTypeListed(const std::string& knownTypes, const std::string& ext);

}  // namespace molv
