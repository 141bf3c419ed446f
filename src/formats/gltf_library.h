// tinygltf as this program uses it: JSON by nlohmann, no image decoding
// and no file access of its own (the glTF reader hands it a file reader
// that stays inside the model's folder). Include this, never tiny_gltf.h.
#pragma once
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_FS
#include <tiny_gltf.h>
