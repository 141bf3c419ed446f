// Wavefront .obj reader with its .mtl material library.
#pragma once
#include <string>
#include <string_view>

namespace molv {
struct Context;
// Reads path into the model store; false (and readAbort) when it gives up.
bool LoadObj(Context& ctx, const std::string& path);
// The same for an object text already in memory; path names it in messages
// and its folder is where material libraries are looked for.
bool LoadObjText(Context& ctx, std::string_view text, const std::string& path);
// Appends the materials of a library text to the store, as an mtllib line
// does (including the synthesised "Default" when the library has none);
// path names it in messages.
bool LoadMtlText(Context& ctx, std::string_view text, const std::string& path);
}  // namespace molv
