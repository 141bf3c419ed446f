// Binary Cal3D mesh (.cmf) reader: one mesh named "cmf" whose face groups
// are the file's submeshes, holding everything the mesh writer writes back.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
ReadResult readCmf(ReadEnv& env, const std::string& path);
// The same on bytes in memory; sourceName names the file in messages.
ReadResult readCmfBytes(ReadEnv& env, std::string_view bytes, const std::string& sourceName);
}  // namespace molv
