// Small Cal3D files for the readers' tests (tests/data/cases/hostile/sample.*,
// see tests/data/cal3d/README.md): what the writers here never produce (springs, six
// influences, two texture coordinate sets) is in them.
#pragma once
#include <string>

#include "support/test_support.h"

namespace molv::test {

inline std::string cal3dSample(const char* ext) { return readFile(dataPath(std::string("cases/hostile/sample.") + ext)); }

// Two submeshes: material thread 0 with 3 vertices, 2 texture coordinate
// sets, 1 spring, vertex 1 with six influences, 1 face; material thread 1
// with 4 vertices, no maps, 2 faces.
inline std::string cmfSample() { return cal3dSample("cmf"); }
// Root "Pelvis" with two children, the second with a name of 20 characters.
inline std::string csfSample() { return cal3dSample("csf"); }
inline std::string crfSample() { return cal3dSample("crf"); }

// As the Cal3D library writes XML today: two submeshes, springs and six
// influences in the first.
inline const std::string kXmfSample = cal3dSample("xmf");
inline const std::string kXsfSample = cal3dSample("xsf");
inline const std::string kXrfSample = cal3dSample("xrf");

}  // namespace molv::test
