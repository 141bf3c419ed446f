// Cutting one polygon face into triangles, for the readers whose faces may
// have any number of corners (Wavefront faces, Collada polygons and
// polylists).
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "model/vec3.h"

namespace molv {

// How a polygon was cut.
enum class PolygonCut : std::uint8_t {
    Fan,               // from corner 0: every convex outline, and any other the fan covers exactly
    EarClipped,        // a concave outline, cut on its own plane
    Flat,              // no plane (the corners lie on one line or one point): fanned
    SelfIntersecting,  // its edges cross: fanned
    TooLarge,          // concave, but above kMaxClippedCorners or the work left: fanned
};

// Triangle of corner numbers (positions in the polygon's outline).
using CornerTri = std::array<std::int32_t, 3>;

// Concave outlines with more corners than this are fanned: clipping costs
// time up to the square of the corners.
inline constexpr std::size_t kMaxClippedCorners = 2048;
// Steps of clipping a read may take: this much to start with (well under
// a second), and more for every corner of every outline met. Real outlines
// take a few dozen steps a corner; a file made of outlines built to be slow
// to clip is cut up to there and fanned beyond, so it is still read in time
// proportional to its size.
inline constexpr std::int64_t kClipWorkPerRead = 50'000'000;
inline constexpr std::int64_t kClipWorkPerCorner = 64;

// Cuts the polygon whose corners, in outline order, are at pos into
// pos.size() - 2 triangles, written to out (cleared first; nothing for
// fewer than three corners). Every triangle keeps the outline's winding.
// While the fan from corner 0 — (0, k+1, k+2) for k = 0 .. n-3, in that
// order — covers the outline exactly, that fan is the answer, so convex
// faces come out as they always did; otherwise the outline is projected on
// its plane (Newell normal, dominant axis dropped) and its ears are
// clipped. Triangles and quads whose fan is right cost no more than a few
// products; nothing is allocated unless an outline is clipped. With
// workLeft, an outline adds kClipWorkPerCorner a corner to it, clipping
// counts its steps down from it and gives up (a fan, TooLarge) when it runs
// out.
PolygonCut triangulatePolygon(std::span<const Vec3> pos, std::vector<CornerTri>& out,
                              std::int64_t* workLeft = nullptr);

// The cuts of one read, for its log.
struct PolygonCutTally {
    std::int64_t count[5] = {};
    std::int64_t withHoles = 0;  // outlines fanned whole, their holes not cut out
    std::int64_t workLeft = kClipWorkPerRead;  // for triangulatePolygon

    void add(PolygonCut c) { ++count[static_cast<int>(c)]; }
    // Log lines naming `file`, each with its level: 0 where a fan may cover
    // more than the outline, 1 for outlines clipped and faces without area.
    std::vector<std::pair<std::string, int>> report(const std::string& file) const;
};

}  // namespace molv
