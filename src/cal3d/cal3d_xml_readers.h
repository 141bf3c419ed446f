// Cal3D XML readers: mesh (.xmf), skeleton (.xsf) and material (.xrf), as
// the Cal3D library writes them today (root element with VERSION) and in the
// older form (a HEADER element first). Element and attribute names are
// matched in either case; every count, ID and index is checked against what
// the file announced. Skeleton and material are read into a temporary and
// replace the old one only on success.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
struct SkeletonStore;

ReadResult readXmf(ReadEnv& env, const std::string& path);
ReadResult readXmfText(ReadEnv& env, std::string_view text, const std::string& sourceName);

ReadResult readXsf(ReadEnv& env, const std::string& path);
ReadResult readXsfText(ReadEnv& env, std::string_view text, const std::string& sourceName, SkeletonStore& out);

// Into material `number`, named after the file.
ReadResult readXrf(ReadEnv& env, const std::string& path, std::int32_t number);
ReadResult readXrfText(ReadEnv& env, std::string_view text, const std::string& sourceName, std::int32_t number);
}  // namespace molv
