// The shape of a written mesh as the real Cal3D library reads it: every
// triangle of every submesh with its corner positions (Cal3D's axes, z up),
// and the measures the shape tests compare with the source's outline.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace molv::test {

struct Cal3dShape {
    bool loaded = false;
    std::string error;
    std::vector<int> threadIds;  // per submesh
    std::vector<std::array<std::array<double, 3>, 3>> triangles;

    // Sum of the triangles' areas, each counted positive.
    double area() const;
    // Smallest and largest coordinate per axis over the triangles' corners.
    std::array<double, 3> min() const;
    std::array<double, 3> max() const;
    // Whether every triangle faces the way of `normal` (or has no area).
    bool allFace(const std::array<double, 3>& normal) const;
};

// Loads outBase + ".csf" and outBase + ".cmf" with Cal3D.
Cal3dShape loadCal3dShape(const std::string& outBase);

}  // namespace molv::test
