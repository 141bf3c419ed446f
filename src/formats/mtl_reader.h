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
// What the object reader's material libraries share with it: the material
// its next face group takes (each library leaves its last one, or the
// "Default"), -1 for none; and the read's synthesised "Default", -1 until
// there is one.
struct MtlState {
    std::int32_t currMtlID = -1;
    std::int32_t dfltMtlID = -1;
};
// The same for the object reader; an empty text just makes sure of the
// "Default".
void readMtlLibrary(ReadEnv& env, std::string_view text, const std::string& path, MtlState& state);
}  // namespace molv
