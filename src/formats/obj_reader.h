// Wavefront .obj reader; its material libraries are read by mtl_reader.h.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
// Reads path into the model store.
ReadResult LoadObj(ReadEnv& env, const std::string& path);
// The same for an object text already in memory; path names it in messages
// and its folder is where material libraries are looked for.
ReadResult LoadObjText(ReadEnv& env, std::string_view text, const std::string& path);
}  // namespace molv
