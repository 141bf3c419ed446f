// Wavefront .mtl material library reader.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
// Appends the materials of a library text to the store, as an mtllib line
// does (including the synthesised "Default" when the library has none);
// path names it in messages.
ReadResult LoadMtlText(ReadEnv& env, std::string_view text, const std::string& path);
// The same for the object reader: dfltMtlID is the read's synthesised
// "Default" material, -1 until there is one; an empty text just makes sure
// of it.
void readMtlLibrary(ReadEnv& env, std::string_view text, const std::string& path, std::int32_t& dfltMtlID);
}  // namespace molv
