// 3D Studio .3ds reader.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
ReadResult Read3DS(ReadEnv& env, const std::string& path);
// The same on bytes already in memory; sourceName names the file in
// messages, and relative texture names are looked up beside it (or in
// env.currentFolder when that is set).
ReadResult Read3DSBytes(ReadEnv& env, std::string_view bytes, const std::string& sourceName);
// Log name of a chunk ID; "" for IDs outside the table.
const char* ChunkName(std::uint16_t id);
}  // namespace molv
