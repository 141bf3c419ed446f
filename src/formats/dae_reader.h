// Collada .dae reader: images, materials with their effects, mesh
// geometries (triangles, polylists, polygons, strips and fans) placed by
// the visual scene's nodes, into the model store.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct Context;
// Reads the document at path. Fails (and sets ctx.app.readAbort) when it
// cannot be read, is not a well-formed Collada document, or its scene asks
// for more than the reader follows; the message names the limit or the line.
ReadResult LoadDae(Context& ctx, const std::string& path);
// The same from bytes in memory; ctx.app.srcFile names the document in
// messages and ctx.app.modelName prefixes texture map names.
ReadResult LoadDaeBytes(Context& ctx, std::string_view bytes);
}  // namespace molv
