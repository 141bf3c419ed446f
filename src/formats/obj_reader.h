// Wavefront .obj reader with its .mtl material library.
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
// Appends the materials of a library text to the store, as an mtllib line
// does (including the synthesised "Default" when the library has none);
// path names it in messages.
ReadResult LoadMtlText(ReadEnv& env, std::string_view text, const std::string& path);
}  // namespace molv
