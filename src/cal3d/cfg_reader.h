// Cal3D viewer configuration (.cfg): reads the skeleton and the materials it
// names as they come, then the mesh (binary before XML). Named files must
// lie in the configuration's folder or below it.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
ReadResult readCfg(ReadEnv& env, const std::string& path);
// The configuration's text; named files are looked for beside sourceName.
ReadResult readCfgText(ReadEnv& env, std::string_view text, const std::string& sourceName);
}  // namespace molv
