// Binary Cal3D material (.crf) reader into one material record. The file is
// read into a new record first: a failed read leaves the material as it was.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_result.h"

namespace molv {
struct ReadEnv;
// The dispatch's reader: the file becomes material 0, named after the model.
ReadResult readCrf(ReadEnv& env, const std::string& path);
// Into material `number`; -1 takes the number from the "[n]" in the file
// name and the name from the file name.
ReadResult readCrfFile(ReadEnv& env, const std::string& path, std::int32_t number);
ReadResult readCrfBytes(ReadEnv& env, std::string_view bytes, const std::string& sourceName, std::int32_t number);
// The material number in a name such as "chair_Red[3].crf"; -1 when it has none.
std::int32_t materialNumberOf(std::string_view fileName);
}  // namespace molv
