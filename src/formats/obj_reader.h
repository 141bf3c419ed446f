// Wavefront .obj reader with its .mtl material library.
#pragma once
#include <string>
#include <string_view>

namespace molv {
struct Context;
// Reads path into the model store; false (and readAbort) when it gives up.
bool LoadObj(Context& ctx, const std::string& path);
}  // namespace molv
