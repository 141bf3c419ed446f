// Collada .dae reader.
#pragma once
#include <string>

namespace molv {
struct Context;
bool LoadDae(Context& ctx, const std::string& path);
}  // namespace molv
