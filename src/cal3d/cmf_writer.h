// The binary Cal3D mesh (.cmf): one submesh per face group that holds
// faces, its vertices renumbered from 0 in ascending store order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/group_numbering.h"

namespace molv {

struct WriteEnv;
class ModelStore;
class ByteWriter;

struct CmfResult {
    std::int32_t submeshes = 0;
    std::int32_t skippedFaces = 0;    // faces left out: missing face or vertex
    std::int32_t droppedSprings = 0;  // groups whose spring count was not written
};

constexpr std::int32_t kDefaultCmfVersion = 778;

// The whole mesh file as bytes. Writes nothing to disk.
std::string buildCmf(WriteEnv& env, CmfResult* result = nullptr);
// Writes outBase + ".cmf" whole; a failure is shown naming the file.
bool writeCmf(WriteEnv& env, const std::string& outBase);

}  // namespace molv
