// How a reader adds to the store: the store's add operations, plus where the
// read is (the current mesh and face group, what was added to them), what
// the user is told about them (counts refused, broken references) and the
// detail log lines, which quote where the reader is. Each read makes one.
#pragma once
#include <cstdint>
#include <string>

#include "model/store.h"

namespace molv {

class Diagnostics;
struct ReadEnv;

// The line a text reader is at (numbered from 1; 0 before the first),
// which the bad-face box and the face detail lines quote. The reader owns
// it and points its StoreFill at it.
struct SourceLine {
    std::int32_t no = 0;
    std::string text;
};

// Kept by StoreFill's add operations; readers only read it.
struct FillCursor {
    std::int32_t MeshNdx = 0;      // the mesh most recently added
    std::int32_t currVtxBase = 0;  // ttlnum_Vertices when it was added
    std::int32_t currFgnum = 0;    // the face group most recently added
    // Added since the last dssAddMesh: faces, vertices (split copies
    // included) and face groups; and faces since the last AddFaceGroup.
    std::int32_t meshFaceCount = 0, meshVtxCount = 0, meshFgCount = 0;
    std::int32_t fg_face_count = 0;
};

class StoreFill {
public:
    // A read that goes on in a store already filled (a configuration's mesh
    // after its materials) goes on at its last mesh and face group.
    StoreFill(ModelStore& model, Diagnostics& diag, AxisSwitch axes);
    // The env's store and diagnostics, with the axis switches of its settings.
    explicit StoreFill(ReadEnv& env);

    ModelStore& model() const { return m_; }
    const FillCursor& cursor() const { return at_; }

    // The reader's offset in its source, quoted by the detail lines, and
    // its line, for a reader of text that keeps one.
    std::int32_t readPos = 0;
    const SourceLine* line = nullptr;

    std::int16_t dssAddMesh(const std::string& name, std::int32_t n);
    std::int32_t AddMeshVertices(std::int32_t mesh, std::int32_t n);
    std::int32_t AddMaterial(const std::string& name);
    std::int32_t AddFaceGroup(bool flag, std::int32_t material, std::int32_t faceBase);
    void AddFaceToGroup(std::int32_t mesh, std::int32_t group, bool flag, std::int32_t face, std::int32_t global);
    // The face's place in the current face group (fg_face_count before it).
    std::int32_t AddFace(std::int32_t mesh, std::int32_t base, std::int32_t a, std::int32_t b, std::int32_t c);
    // srcNum and log: the vertex's number in the source and whether it gets a detail line.
    std::int32_t AddVertex(std::int32_t& index, float x, float y, float z, float zx, float zy, float zz,
                           std::int32_t srcNum, bool log);
    void SetFaceNormals(std::int32_t face, const Vec3& na, const Vec3& nb, const Vec3& nc) {
        m_.SetFaceNormals(face, na, nb, nc, axes_);
    }
    void SetVertexNormal(std::int32_t v, const Vec3& n) { m_.SetVertexNormal(v, n, axes_); }
    std::int32_t SetVertexUV(std::int32_t base, std::int32_t n, std::int32_t t, UV uv);
    // The current mesh's three runs set to what was added to it since
    // dssAddMesh, for a reader that added them itself.
    void SetMeshRanges() {
        m_.SetMeshRanges(at_.MeshNdx, at_.meshVtxCount, at_.meshFaceCount, at_.meshFgCount, 0, 0, 0);
    }

private:
    void tooManyVertices(std::int32_t n);

    ModelStore& m_;
    Diagnostics& diag_;
    AxisSwitch axes_;
    FillCursor at_;
};

}  // namespace molv
