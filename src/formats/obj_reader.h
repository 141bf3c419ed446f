// Wavefront .obj reader; its material libraries are read by mtl_reader.h.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct Context;
// Reads path into the model store. Until the driver takes the result, a
// failure is also shown and sets ctx.app.readAbort.
ReadResult LoadObj(Context& ctx, const std::string& path);
// The same for an object text already in memory; path names it in messages
// and its folder is where material libraries are looked for.
ReadResult LoadObjText(Context& ctx, std::string_view text, const std::string& path);
}  // namespace molv
