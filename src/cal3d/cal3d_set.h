// The Cal3D prop set: skeleton, viewer configuration, one material file per
// material, and the mesh.
#pragma once
#include <cstdint>
#include <string>

#include "model/vec3.h"

namespace molv {
struct WriteEnv;
class ModelStore;
struct Material;
struct SkeletonStore;

// Writes the whole set next to outFile; false when any file failed (the
// failure is shown naming the file).
bool writeCal3d(WriteEnv& env, const std::string& outFile, bool outFlag);
// One material file; false when the material does not exist or the file
// could not be written.
bool writeMaterialCrf(WriteEnv& env, int material, const std::string& path);
// The skeleton store as a Cal3D skeleton file. The flag is the dispatch's
// and changes nothing.
bool writeSkeletonCsf(WriteEnv& env, const std::string& path, bool flag);
// A bare animation header: the store holds no animation data.
bool writeCaf(WriteEnv& env, const std::string& path);

// The fixed one-bone prop skeleton, 87 bytes.
std::string defaultCsfBytes();
// Writes defaultCsfBytes to outBase + ".csf"; returns the file name without
// folder, or "" when the file could not be written.
std::string writeDefaultCsf(WriteEnv& env, const std::string& outBase);
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
bool writeViewerCfg(WriteEnv& env, const std::string& outBase, const std::string& skeletonName,
                    const std::string& templatePath);

}  // namespace molv
