// The one compilation of tinygltf's implementation. Its writer, never
// called here, uses std::ofstream even when its file access is off.
#include <fstream>
#define TINYGLTF_IMPLEMENTATION
#include "formats/gltf_library.h"
