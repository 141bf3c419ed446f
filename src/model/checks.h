// Consistency checks and text dumps of the model store.
#pragma once
#include <cstdint>
#include <string>

namespace molv {

struct Context;
struct Vec3;

// Logs and shows a broken reference with the face's context; changes nothing.
void ReportFaceError(Context& ctx, const std::string& message, std::int32_t mesh = 0, std::int32_t face = 0,
                     std::int32_t count = 0, std::int32_t group = 0);

}  // namespace molv
