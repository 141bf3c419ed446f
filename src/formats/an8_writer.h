// Anim8or .an8 writer: the store as one object holding one material per
// store material and one mesh per face group that has faces.
#pragma once
#include <string>

namespace molv {
struct WriteEnv;
// The whole file as text; objectName names the object. Writes nothing.
std::string buildAn8(WriteEnv& env, const std::string& objectName);
// Writes path whole; the object is named after the file. A failure is
// shown naming the file.
bool WriteAn8(WriteEnv& env, const std::string& path);
}  // namespace molv
