// Anim8or .an8 reader: objects, materials and meshes of the files this
// program's own Anim8or writer produces (each mesh carries the comment line
// with its point, face and texture-coordinate counts).
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
// Reads path into the model store.
ReadResult LoadAn8(ReadEnv& env, const std::string& path);
// The same for a text already in memory; path names it in messages.
ReadResult LoadAn8Text(ReadEnv& env, std::string_view text, const std::string& path);
}  // namespace molv
