// An Anim8or figure (.ans) from the skeleton store: one figure whose bones
// follow the skeleton's hierarchy, every root bone with its descendants.
#pragma once
#include <cstdint>
#include <string>

namespace molv {
struct WriteEnv;
struct SkeletonStore;

// Writes the figure whole to path; false (and told) when no skeleton is
// loaded or the file could not be written.
bool writeAn8Figure(WriteEnv& env, const std::string& path);
// The file's text. Each bone is written once: a child list that leads back
// to a bone already written, or names no bone, is passed over and counted
// in `skipped`.
std::string buildAn8Figure(const SkeletonStore& skel, std::int32_t* skipped = nullptr);
// One bone's opening statements (name, length, orientation) at its level.
void writeFigureBone(std::string& out, const SkeletonStore& skel, std::int32_t bone, int level);
// One line: four blanks per level (up to 32 levels, so that a deep chain
// grows the file linearly), the text, CR LF.
void writeFigureLine(std::string& out, std::string_view text, int level);
}  // namespace molv
