// Local vertex numbers of one face group, as the writers that emit one
// block per face group need them.
#pragma once
#include <cstdint>
#include <vector>

namespace molv {

class ModelStore;

// Numbers the store vertices one face group uses, 0 upwards in ascending
// store order. Only the entries a group set are cleared before the next
// group, so numbering every group of a store costs time in proportion to the
// groups, not to groups times store vertices. Shared with the other writers
// that emit one block per face group.
class GroupVertexNumbering {
public:
    // Collects group g. Faces the group lists that do not exist, or whose
    // corners name a vertex that does not exist, are left out and counted.
    void collect(const ModelStore& model, std::int32_t g);
    // Store vertex indices of the group, ascending; local number = position.
    const std::vector<std::int32_t>& vertices() const { return verts_; }
    // Global indices of the group's usable faces, in group order.
    const std::vector<std::int32_t>& faces() const { return faces_; }
    // Local number of store vertex v, valid for vertices of the group.
    std::int32_t localOf(std::int32_t v) const { return local_[static_cast<std::size_t>(v)]; }
    std::int32_t skippedFaces() const { return skipped_; }

private:
    std::vector<std::int32_t> local_;  // -1 outside the current group
    std::vector<std::int32_t> verts_;
    std::vector<std::int32_t> faces_;
    std::int32_t skipped_ = 0;
};

// Whether group g has a face that collect() keeps: a group without one
// gives no submesh. Stops at the first such face.
bool groupHasUsableFace(const ModelStore& model, std::int32_t g);

}  // namespace molv
