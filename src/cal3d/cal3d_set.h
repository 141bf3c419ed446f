// The Cal3D prop set: skeleton, viewer configuration, one material file per
// material, and the mesh.
#pragma once
#include <string>

namespace molv {
struct Context;
// Writes the whole set next to outFile; false when any file failed.
bool writeCal3d(Context& ctx, const std::string& outFile, bool outFlag);
bool writeMaterialCrf(Context& ctx, int material, const std::string& path);
bool writeSkeletonCsf(Context& ctx, const std::string& path, bool flag);
bool writeCaf(Context& ctx, const std::string& path);
}  // namespace molv
