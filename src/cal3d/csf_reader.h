// Binary Cal3D skeleton (.csf) reader into the skeleton store. The file is
// read whole into a new store first: a failed read leaves the skeleton that
// was loaded before.
#pragma once
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
struct SkeletonStore;
ReadResult readCsf(ReadEnv& env, const std::string& path);
// The same on bytes in memory, into out (replaced only on success).
ReadResult readCsfBytes(ReadEnv& env, std::string_view bytes, const std::string& sourceName, SkeletonStore& out);
}  // namespace molv
