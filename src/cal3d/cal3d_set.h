// The Cal3D prop set: skeleton, viewer configuration, one material file per
// material, and the mesh.
#pragma once
#include <cstdint>
#include <string>

#include "model/vec3.h"

namespace molv {
struct Context;
class ModelStore;
struct Material;
struct SkeletonStore;

// Writes the whole set next to outFile; false when any file failed (the
// failure is shown naming the file).
bool writeCal3d(Context& ctx, const std::string& outFile, bool outFlag);
// One material file; false when the material does not exist or the file
// could not be written.
bool writeMaterialCrf(Context& ctx, int material, const std::string& path);
// The skeleton store as a Cal3D skeleton file. The flag is the dispatch's
// and changes nothing.
bool writeSkeletonCsf(Context& ctx, const std::string& path, bool flag);
// A bare animation header: the store holds no animation data.
bool writeCaf(Context& ctx, const std::string& path);

// Recomputes Normals for all vertices: per vertex the normalised sum of the
// unnormalised normals of the faces that use it (larger faces weigh more).
void calcVertexNormals(Context& ctx);
// (b - a) x (c - a) for the corners a, b, c of one face; zero for a face or
// corner that does not exist.
Vec3 faceNormal(const ModelStore& model, std::int32_t face);

// The fixed one-bone prop skeleton, 87 bytes.
std::string defaultCsfBytes();
// Writes defaultCsfBytes to outBase + ".csf"; returns the file name without
// folder, or "" when the file could not be written.
std::string writeDefaultCsf(Context& ctx, const std::string& outBase);
std::string skeletonCsfBytes(const SkeletonStore& skel);
std::string materialCrfBytes(const Material& mt);

// The material's name made fit for a file name: "-" and blanks become "_",
// "__" twice collapses to "_"; then path separators, "..", control
// characters and characters file systems reject become "_".
std::string cleanMaterialName(const std::string& name);
// outBase + "_" + cleaned name + "[" + material ID + "].crf".
std::string materialFileFor(const std::string& outBase, const Material& mt);

// Writes outBase + ".cfg" and, for each material with an ID, its material
// file; templatePath receives the template's material entries.
bool writeViewerCfg(Context& ctx, const std::string& outBase, const std::string& skeletonName,
                    const std::string& templatePath);

}  // namespace molv
