// 3D Studio .3ds reader.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace molv {
struct Context;
bool Read3DS(Context& ctx, const std::string& path);
// The same on bytes already in memory; sourceName names the file in
// messages, and relative texture names are looked up beside it (or in
// ctx.currentFolder when that is set).
bool Read3DSBytes(Context& ctx, std::string_view bytes, const std::string& sourceName);
// Log name of a chunk ID; "" for IDs outside the table.
const char* ChunkName(std::uint16_t id);
}  // namespace molv
