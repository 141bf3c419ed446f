// How a reader adds to the store: the store's add operations, plus what the
// user is told about them (counts refused, broken references) and the
// detail log lines, which quote where the reader is. Each read makes one.
#pragma once
#include <cstdint>
#include <string>

#include "model/store.h"

namespace molv {

class Diagnostics;
struct ReadEnv;

class StoreFill {
public:
    StoreFill(ModelStore& model, Diagnostics& diag, AxisSwitch axes) : m_(model), diag_(diag), axes_(axes) {}
    // The env's store and diagnostics, with the axis switches of its settings.
    explicit StoreFill(ReadEnv& env);

    ModelStore& model() const { return m_; }

    // The reader's offset in its source, quoted by the detail lines.
    std::int32_t readPos = 0;

    std::int16_t dssAddMesh(const std::string& name, std::int32_t n);
    std::int32_t AddMeshVertices(std::int32_t mesh, std::int32_t n);
    std::int32_t AddMaterial(const std::string& name);
    std::int32_t AddFaceGroup(bool flag, std::int32_t material, std::int32_t faceBase);
    void AddFaceToGroup(std::int32_t mesh, std::int32_t group, bool flag, std::int32_t face, std::int32_t global);
    std::int32_t AddFace(std::int32_t mesh, std::int32_t base, std::int32_t a, std::int32_t b, std::int32_t c);
    // srcNum and log: the vertex's number in the source and whether it gets a detail line.
    std::int32_t AddVertex(std::int32_t& index, float x, float y, float z, float zx, float zy, float zz,
                           std::int32_t srcNum, bool log);
    void SetFaceNormals(std::int32_t face, const Vec3& na, const Vec3& nb, const Vec3& nc) {
        m_.SetFaceNormals(face, na, nb, nc, axes_);
    }
    std::int32_t SetVertexUV(std::int32_t base, std::int32_t n, std::int32_t t, UV uv);

private:
    void tooManyVertices(std::int32_t n);

    ModelStore& m_;
    Diagnostics& diag_;
    AxisSwitch axes_;
};

}  // namespace molv
