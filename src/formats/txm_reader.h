// The host's text material description (.txm): name=value lines giving one
// material's name, colours, shininess and texture maps.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
// Reads one material into the store; env.outFile becomes the material file
// it names, beside the source.
ReadResult readTextMaterial(ReadEnv& env, const std::string& path);
// The same for a text already in memory; path names it in messages and its
// folder is where the material file goes.
ReadResult readTextMaterialText(ReadEnv& env, std::string_view text, const std::string& path);
}  // namespace molv
