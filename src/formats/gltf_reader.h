// glTF 2.0 reader (.gltf with its .bin files and data URIs, and binary
// .glb): the default scene's node tree places each mesh, every primitive
// of triangles, strips or fans becomes a face group; positions, the first
// texture-coordinate set and the base colour (factor and texture file) are
// taken; normals are recalculated later as for every other source.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
// Reads the file at path; a .glb is told by its first four bytes, not its
// name. Fails with a message naming the file when the document is broken,
// refers to data it does not hold (accessors beyond their buffers, indices
// beyond the vertices, missing buffers) or to a file outside its folder.
ReadResult LoadGltf(ReadEnv& env, const std::string& path);
// The same from bytes in memory; buffer files are looked for in
// env.srcFolder, env.srcFile names the document in messages.
ReadResult LoadGltfBytes(ReadEnv& env, std::string_view bytes);
}  // namespace molv
