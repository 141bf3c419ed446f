// Wavefront .obj writer and its .mtl material library: positions (each
// distinct position once) and triangles, one library entry per material.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace molv {
struct WriteEnv;
class ModelStore;
struct Colour;

// For each store vertex, the vertex it is written as: itself when it is the
// first (lowest index) at its exact position, else that first one.
// duplicates receives the number of vertices merged away.
std::vector<std::int32_t> MergeDuplicateVertices(const ModelStore& m, std::int32_t& duplicates);
// " r g b" as fractions of 255 with up to 15 significant digits.
std::string MtlColourText(const Colour& c);
// The library text. percentTransparency: the store keeps transparency in
// percent (as the 3DS reader does), not as a fraction.
std::string buildMtl(const ModelStore& m, bool percentTransparency);
// The object text; libraryName is named by its mtllib line.
std::string buildObj(WriteEnv& env, const std::string& libraryName);
// Writes the library to path whole; false (and shown) when it failed.
bool WriteMtl(WriteEnv& env, const std::string& path);
// Writes <path without extension>.mtl and .obj. An empty store writes
// nothing and fails.
bool WriteObj(WriteEnv& env, const std::string& path);
}  // namespace molv
