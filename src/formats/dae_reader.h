// Collada .dae reader: images, materials with their effects, mesh
// geometries (triangles, polylists, polygons, strips and fans) placed by
// the visual scene's nodes, into the model store.
#pragma once
#include <string>
#include <string_view>

namespace molv {
struct Context;
// Reads the document at path. False (and ctx.app.readAbort set) when it
// cannot be read or is not a well-formed Collada document.
bool LoadDae(Context& ctx, const std::string& path);
// The same from bytes in memory; ctx.app.srcFile names the document in
// messages and ctx.app.modelName prefixes texture map names.
bool LoadDaeBytes(Context& ctx, std::string_view bytes);
}  // namespace molv
