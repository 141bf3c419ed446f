// The whole store as text, one part per line, for golden comparisons: a
// difference names the part (vertex 12, face 3, material "red") that moved.
#pragma once
#include <string>

namespace molv {
class ModelStore;
}

namespace molv::test {

std::string storeListing(const ModelStore& m);

}  // namespace molv::test
