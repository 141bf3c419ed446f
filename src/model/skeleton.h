// The skeleton store: bones of a Cal3D skeleton that was read; survives
// ClearModel so a skeleton read once serves every later prop set.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace molv {

struct Bone {
    std::int32_t name_len = 0;
    std::string name;
    float TrXYZ[3] = {0, 0, 0};
    float RotXYZW[4] = {0, 0, 0, 0};
    float LocTrXYZ[3] = {0, 0, 0};
    float LocRotXYZ[4] = {0, 0, 0, 0};
    std::int32_t PBID = -1;
    std::int32_t num_chldrn = 0;
    std::vector<std::int32_t> chldrn;
};

struct SkeletonStore {
    std::int32_t skl_version = 0;
    std::int32_t num_Bones = 0;  // 0: no skeleton loaded
    std::vector<Bone> Bones;
};

}  // namespace molv
