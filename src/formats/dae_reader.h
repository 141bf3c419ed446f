// Collada .dae reader: images, materials with their effects, mesh
// geometries (triangles, polylists, polygons, strips and fans) placed by
// the visual scene's nodes, into the model store.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
// Reads the document at path. Fails when it cannot be read, is not a
// well-formed Collada document, or its scene asks for more than the reader
// follows; the message names the limit or the line.
ReadResult LoadDae(ReadEnv& env, const std::string& path);
// The same from bytes in memory; env.srcFile names the document in
// messages and env.modelName prefixes texture map names.
ReadResult LoadDaeBytes(ReadEnv& env, std::string_view bytes);
}  // namespace molv
