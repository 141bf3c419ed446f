// 3D Studio .3ds reader.
#pragma once
#include <string>

namespace molv {
struct Context;
bool Read3DS(Context& ctx, const std::string& path);
}  // namespace molv
