#include "model/store.h"

#include <algorithm>
#include <bit>
#include <cmath>


namespace molv {

namespace {
constexpr std::int32_t kInt16Max = 32767;

constexpr std::int32_t kInt32Max = 2147483647;

bool bitIdentical(const Vec3& a, const Vec3& b) {
    return std::bit_cast<std::uint32_t>(a.x) == std::bit_cast<std::uint32_t>(b.x) &&
           std::bit_cast<std::uint32_t>(a.y) == std::bit_cast<std::uint32_t>(b.y) &&
           std::bit_cast<std::uint32_t>(a.z) == std::bit_cast<std::uint32_t>(b.z);
}

template <class T>
void resetOne(std::vector<T>& v) {
    v.clear();
    v.resize(1);
    v.shrink_to_fit();
}

// Re-sizes to n elements, keeping contents. When the storage must move it
// grows by a quarter (not the library's doubling): a million-face model then
// carries at most a fifth of spare room, and the many small steps of the
// readers still cost amortised constant time.
template <class T>
void growTo(std::vector<T>& v, std::size_t n) {
    if (n > v.capacity()) v.reserve(std::max(n, v.capacity() + v.capacity() / 4));
    v.resize(n);
}
}  // namespace

std::uint8_t colourByte(double v) {
    const double r = std::nearbyint(v * 255.0);
    if (!(r >= 0)) return 0;
    return r > 255 ? 255 : static_cast<std::uint8_t>(r);
}

void ModelStore::ClearModel() {
    meshRange = MeshRange{0, 0, -1};
    meshCount = 0;
    resetOne(Meshes);
    resetOne(Materials);
    embeddedMaps.clear();
    resetOne(FaceGrps);
    resetOne(Vertices);
    Normals = {};
    zup_pos = {};
    collapse_id = {};
    defaultCollapseId = 0;
    face_collapse_count = {};
    skins = {};
    resetOne(VFaces);
    cornerNormals.clear();
    cornerNormals.shrink_to_fit();
    vertexNormals = {};
    faceSmoothing.clear();
    faceSmoothing.shrink_to_fit();
    ttlnum_Vertices = ttlnum_Faces = nFaceGrps = nMaterials = 0;
    maxVert = num_Normals = nSubMeshes = 0;
    badFaceReports = 0;
    badGroupFaceReports = 0;
    minPos = maxPos = ctrPos = spanPos = Vec3{};
    minZup = maxZup = ctrZup = spanZup = Vec3{};
    maxSpan = 0;
}

void ModelStore::growVertices(std::size_t n) {
    if (Vertices.size() < n) growTo(Vertices, n);
    if (!Normals.empty() && Normals.size() < n) growTo(Normals, n);
    if (!zup_pos.empty() && zup_pos.size() < n) growTo(zup_pos, n);
}

void ModelStore::keepZupApart() {
    if (!zup_pos.empty()) return;
    zup_pos.reserve(Vertices.capacity());
    for (const Vertex& v : Vertices) zup_pos.push_back(Vec3{v.pos.x, v.pos.z, v.pos.y});
}

namespace {
// A side array grown to hold vertex v (and as long as Vertices).
template <class T>
T& sideSlot(std::vector<T>& a, std::int32_t v, std::size_t vertices) {
    const auto i = static_cast<std::size_t>(v);
    if (a.size() <= i) growTo(a, std::max(i + 1, vertices));
    return a[i];
}
}  // namespace

void ModelStore::setCollapse(std::int32_t v, std::int32_t id, std::int32_t count) {
    if (v < 0) return;
    sideSlot(collapse_id, v, Vertices.size()) = id;
    sideSlot(face_collapse_count, v, Vertices.size()) = count;
}

const VertexSkin& ModelStore::skinOf(std::int32_t v) const {
    static const VertexSkin none;
    return v >= 0 && static_cast<std::size_t>(v) < skins.size() ? skins[static_cast<std::size_t>(v)] : none;
}

VertexSkin& ModelStore::skinAt(std::int32_t v) { return sideSlot(skins, std::max(v, 0), Vertices.size()); }

namespace {
template <class T>
std::vector<T> gathered(const std::vector<T>& a, const std::vector<std::int32_t>& from, std::size_t spare) {
    std::vector<T> out;
    out.reserve(from.size() + spare);
    for (std::int32_t f : from) out.push_back(static_cast<std::size_t>(f) < a.size() ? a[static_cast<std::size_t>(f)] : T{});
    out.resize(from.size() + spare);
    return out;
}
}  // namespace

void ModelStore::gatherVertices(const std::vector<std::int32_t>& from, std::size_t spare) {
    Vertices = gathered(Vertices, from, spare);
    if (!zup_pos.empty()) zup_pos = gathered(zup_pos, from, spare);
    if (!collapse_id.empty()) collapse_id = gathered(collapse_id, from, spare);
    if (!face_collapse_count.empty()) face_collapse_count = gathered(face_collapse_count, from, spare);
    if (!skins.empty()) skins = gathered(skins, from, spare);
    if (!vertexNormals.empty()) vertexNormals = gathered(vertexNormals, from, spare);
}

void ModelStore::copyVertex(std::int32_t to, std::int32_t from) {
    const auto t = static_cast<std::size_t>(to), f = static_cast<std::size_t>(from);
    Vertices[t] = Vertices[f];
    if (!zup_pos.empty()) zup_pos[t] = zup_pos[f];
    if (!collapse_id.empty()) sideSlot(collapse_id, to, Vertices.size()) = collapseId(from);
    if (!face_collapse_count.empty()) sideSlot(face_collapse_count, to, Vertices.size()) = faceCollapseCount(from);
    if (f < vertexNormals.size() || t < vertexNormals.size()) {
        const Vec3 n = f < vertexNormals.size() ? vertexNormals[f] : Vec3{};
        sideSlot(vertexNormals, to, Vertices.size()) = n;
    }
    if (f < skins.size() || t < skins.size()) {
        const VertexSkin copy = skinOf(from);
        skinAt(to) = copy;
    }
}

void ModelStore::reserveFor(std::int64_t vertices, std::int64_t faces) {
    // The step rules grow the arrays up to 1000 past the last item; room for
    // that too saves the last move.
    auto room = [](std::int64_t have, std::int64_t more) {
        more = std::clamp<std::int64_t>(more, 0, kInt32Max);
        return static_cast<std::size_t>(std::min<std::int64_t>(have + more + 1001, kInt32Max));
    };
    if (vertices > 0) {
        const std::size_t n = room(ttlnum_Vertices, vertices);
        Vertices.reserve(n);
        if (!zup_pos.empty()) zup_pos.reserve(n);
    }
    if (faces > 0) VFaces.reserve(room(ttlnum_Faces, faces));
}

bool ModelStore::validMesh(std::int32_t mesh) const {
    return mesh >= 0 && static_cast<std::size_t>(mesh) < Meshes.size();
}

void ModelStore::reserveGroupFaces(std::int32_t group, std::int64_t faces) {
    if (group < 0 || group >= nFaceGrps || faces <= 0) return;
    FaceGroup& g = groupAt(group);
    // AddFaceToGroup keeps up to 101 entries ahead of the last member.
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(std::int64_t{g.nFcs} + faces + 102, kInt32Max));
    g.FgFaces.reserve(n);
    g.FgGlblFaces.reserve(n);
}

std::int16_t ModelStore::dssAddMesh(const std::string& name, std::int32_t n) {
    if (meshCount >= kInt16Max) return -1;
    const std::int32_t i = meshCount;
    meshCount += 1;
    growTo(Meshes, static_cast<std::size_t>(meshCount) + 1);
    Mesh& m = meshAt(i);
    m = Mesh{};
    m.vtx_ndx_stt = ttlnum_Vertices;
    m.vtx_ndx_end = ttlnum_Vertices - 1;
    m.face_ndx_stt = ttlnum_Faces;
    m.face_ndx_end = ttlnum_Faces - 1;
    m.face_grp_ndx_stt = nFaceGrps;
    m.face_grp_ndx_end = nFaceGrps - 1;
    AddMeshVertices(i, n);
    m.parent = -1;
    m.scale = Vec3{1, 1, 1};
    m.name = name;
    meshRange.count += 1;
    meshRange.last += 1;
    return static_cast<std::int16_t>(i);
}

bool ModelStore::roomForVertices(std::int32_t n) const {
    return std::max(n, std::int32_t{0}) <= kInt32Max - 1001 - ttlnum_Vertices;
}

std::int32_t ModelStore::AddMeshVertices(std::int32_t mesh, std::int32_t n) {
    if (n < 0) n = 0;
    // Counts come from files; one that would overflow the 32-bit total adds nothing.
    if (!roomForVertices(n)) n = 0;
    if (validMesh(mesh)) {
        Mesh& m = meshAt(mesh);
        if (m.num_Vertices == 0) m.vtx_ndx_stt = ttlnum_Vertices;
        m.num_UVsets = 0;
        m.num_Vertices += n;
        m.vtx_ndx_end = m.vtx_ndx_stt + m.num_Vertices - 1;
    }
    std::int32_t first = ttlnum_Vertices;
    ttlnum_Vertices += n;
    // Block adds size exactly (one spare element), but never shrink.
    growVertices(static_cast<std::size_t>(ttlnum_Vertices) + 1);
    return first;
}

void ModelStore::SetMeshRanges(std::int32_t mesh, std::int32_t nV, std::int32_t nF, std::int32_t nG,
                               std::int32_t sV, std::int32_t sF, std::int32_t sG) {
    if (!validMesh(mesh)) return;
    Mesh& m = meshAt(mesh);
    auto run = [](std::int32_t n, std::int32_t s, std::int32_t& cnt, std::int32_t& stt, std::int32_t& end) {
        if (n < 0) return;
        if (s > 0) stt = s;
        cnt = n;
        end = stt + cnt - 1;
    };
    run(nV, sV, m.num_Vertices, m.vtx_ndx_stt, m.vtx_ndx_end);
    run(nF, sF, m.num_Faces, m.face_ndx_stt, m.face_ndx_end);
    run(nG, sG, m.num_FaceGrps, m.face_grp_ndx_stt, m.face_grp_ndx_end);
}

std::int32_t ModelStore::AddMaterial(const std::string& name) {
    std::int32_t i = nMaterials;
    nMaterials += 1;
    growTo(Materials, static_cast<std::size_t>(nMaterials) + 1);
    Material& mt = materialAt(i);
    mt.id = i;
    mt.name = name;
    return i;
}

std::int32_t ModelStore::AddFaceGroup(bool flag, std::int32_t material, std::int32_t faceBase) {
    if (const std::int32_t mesh = lastMesh(); validMesh(mesh)) {
        Mesh& m = meshAt(mesh);
        if (m.num_FaceGrps == 0) m.face_grp_ndx_stt = nFaceGrps;
        m.num_FaceGrps += 1;
        m.face_grp_ndx_end = m.face_grp_ndx_stt + m.num_FaceGrps - 1;
    }
    std::int32_t i = nFaceGrps;
    nFaceGrps += 1;
    growTo(FaceGrps, static_cast<std::size_t>(nFaceGrps) + 1);
    if (material >= 0) SetFaceGroupMaterial(i, material);
    FaceGroup& g = groupAt(i);
    if (flag) g.num_maps = 1;
    g.face_base = faceBase;
    g.gFgID = i;
    g.FgFaces.assign(2, 0);
    g.FgGlblFaces.assign(2, 0);
    return i;
}

bool ModelStore::SetFaceGroupMaterial(std::int32_t group, std::int32_t material) {
    if (group < 0 || group >= nFaceGrps || material < 0 || material >= nMaterials) return false;
    Material& mt = materialAt(material);
    if (mt.use_count < kInt16Max) mt.use_count += 1;
    FaceGroup& g = groupAt(group);
    if (g.MtlID != material) {
        g.MtlID = material;
        return true;
    }
    return false;
}

void ModelStore::AddFaceToGroup(std::int32_t mesh, std::int32_t group, bool flag, std::int32_t face,
                                std::int32_t global) {
    if (group < 0 || group >= nFaceGrps) return;
    global = memberGlobal(mesh, face, global);
    FaceGroup& g = groupAt(group);
    // A member that names no face is kept (the check reports it again).
    if (!memberNamesFace(face, global)) ++badGroupFaceReports;
    const std::size_t need = static_cast<std::size_t>(g.nFcs) + 1;
    // Steps of 100, but no more than the group already holds: a file of
    // thousands of one-face groups (a material switch before every face)
    // must not cost a hundred entries each.
    if (g.FgFaces.size() < 2 || need >= g.FgFaces.size() - 1)
        growTo(g.FgFaces, need + std::min<std::size_t>(need, 100));
    if (g.FgGlblFaces.size() < g.FgFaces.size()) growTo(g.FgGlblFaces, g.FgFaces.size());
    g.FgFaces[static_cast<std::size_t>(g.nFcs)] = face;
    g.FgGlblFaces[static_cast<std::size_t>(g.nFcs)] = global;
    g.nFcs += 1;
    if (flag) g.num_maps = 1;
}

std::int32_t ModelStore::memberGlobal(std::int32_t mesh, std::int32_t face, std::int32_t global) const {
    if (global != -1) return global;
    return (validMesh(mesh) ? meshAt(mesh).face_ndx_stt : 0) + face;
}

bool ModelStore::memberNamesFace(std::int32_t face, std::int32_t global) const {
    return face <= ttlnum_Faces && global >= 0 && global < ttlnum_Faces;
}

std::int32_t ModelStore::AddFace(std::int32_t mesh, std::int32_t base, std::int32_t a, std::int32_t b,
                                 std::int32_t c) {
    if (validMesh(mesh)) {
        Mesh& m = meshAt(mesh);
        if (m.num_Faces == 0) m.face_ndx_stt = ttlnum_Faces;
        m.num_Faces += 1;
        m.face_ndx_end = m.face_ndx_stt + m.num_Faces - 1;
    }
    if (static_cast<std::size_t>(ttlnum_Faces) + 1 >= VFaces.size() - 1)
        growTo(VFaces, static_cast<std::size_t>(ttlnum_Faces) + 1001);
    Face& f = faceAt(ttlnum_Faces);
    // Sums of file values: computed wide so a wild number cannot overflow.
    const std::int64_t corner[3] = {std::int64_t{base} + c, std::int64_t{base} + b, std::int64_t{base} + a};
    bool faceBad = false;
    for (int k = 0; k < 3; ++k) {
        const std::int64_t v = corner[k];
        f.vtx[k] = v < -kInt32Max ? -kInt32Max : v > kInt32Max ? kInt32Max : static_cast<std::int32_t>(v);
        if (f.vtx[k] > maxVert) maxVert = f.vtx[k];
        // The element at ttlnum_Vertices is the spare, not a vertex.
        faceBad = faceBad || v < 0 || v >= ttlnum_Vertices;
    }
    // The face is kept and counted for the report and the summary.
    if (faceBad) ++badFaceReports;
    return ttlnum_Faces++;
}

bool ModelStore::missingCorner(std::int32_t base, std::int32_t a, std::int32_t b, std::int32_t c,
                               std::int64_t& named) const {
    bool any = false;
    for (const std::int64_t v : {std::int64_t{base} + c, std::int64_t{base} + b, std::int64_t{base} + a}) {
        if (v >= 0 && v < ttlnum_Vertices) continue;
        if (!any || v < 0) named = v;
        any = true;
    }
    return any;
}

std::int32_t ModelStore::AddVertex(std::int32_t& index, float x, float y, float z, float zx, float zy, float zz,
                                   AxisSwitch axes) {
    if (index < 0) {
        index = ttlnum_Vertices;
        ttlnum_Vertices += 1;
        if (const std::int32_t mesh = lastMesh(); validMesh(mesh)) {
            Mesh& m = meshAt(mesh);
            m.num_Vertices += 1;
            m.vtx_ndx_end = m.vtx_ndx_stt + m.num_Vertices - 1;
        }
    }
    if (static_cast<std::size_t>(index) + 1 > Vertices.size() - 1)
        growVertices(static_cast<std::size_t>(index) + 1001);
    Vertex& v = vertexAt(index);
    v.UVs.clear();
    v.UVs.resize(1);
    v.pos = switchAxes(Vec3{x, y, z}, axes);
    const Vec3 zup{zx, zy, zz};
    if (zup_pos.empty() && !bitIdentical(zup, Vec3{v.pos.x, v.pos.z, v.pos.y})) keepZupApart();
    if (!zup_pos.empty()) zup_pos[static_cast<std::size_t>(index)] = zup;
    v.uv_id = -1;
    return index;
}

Vec3 switchAxes(const Vec3& d, AxisSwitch axes) {
    const bool yz = axes.yz, xz = axes.xz;
    if (yz && xz) return Vec3{-d.y, -d.z, d.x};
    if (yz) return Vec3{d.x, -d.z, d.y};
    if (xz) return Vec3{-d.z, d.y, d.x};
    return d;
}

void ModelStore::SetFaceNormals(std::int32_t face, const Vec3& na, const Vec3& nb, const Vec3& nc, AxisSwitch axes) {
    if (face < 0 || face >= ttlnum_Faces) return;
    const std::size_t at = static_cast<std::size_t>(face) * 3;
    if (cornerNormals.size() < at + 3) {
        // Grown with the faces, in the same steps.
        if (cornerNormals.capacity() < at + 3) cornerNormals.reserve(std::max(VFaces.capacity(), VFaces.size()) * 3);
        cornerNormals.resize(at + 3);
    }
    cornerNormals[at] = switchAxes(nc, axes);
    cornerNormals[at + 1] = switchAxes(nb, axes);
    cornerNormals[at + 2] = switchAxes(na, axes);
}

void ModelStore::SetVertexNormal(std::int32_t v, const Vec3& n, AxisSwitch axes) {
    if (v < 0 || v >= ttlnum_Vertices) return;
    sideSlot(vertexNormals, v, Vertices.size()) = switchAxes(n, axes);
}

Vec3 ModelStore::ownNormal(std::size_t c) const {
    if (c < cornerNormals.size()) return cornerNormals[c];
    if (vertexNormals.empty() || c / 3 >= VFaces.size()) return {};
    const std::int32_t v = VFaces[c / 3].vtx[c % 3];
    return v >= 0 && static_cast<std::size_t>(v) < vertexNormals.size() ? vertexNormals[static_cast<std::size_t>(v)] : Vec3{};
}

std::int32_t ModelStore::SetVertexUV(std::int32_t base, std::int32_t n, std::int32_t t, UV uv) {
    std::int32_t currVtxNdx = base + n;
    if (currVtxNdx < 0 || currVtxNdx >= ttlnum_Vertices) return currVtxNdx;  // caller checks; never index outside
    if (vertexAt(currVtxNdx).uv_id == t) return currVtxNdx;
    if (vertexAt(currVtxNdx).uv_id != -1) {
        if (static_cast<std::size_t>(ttlnum_Vertices) + 1 > Vertices.size() - 1)
            growVertices(static_cast<std::size_t>(ttlnum_Vertices) + 1001);
        std::int32_t copy = ttlnum_Vertices;
        copyVertex(copy, currVtxNdx);
        vertexAt(copy).num_UVs = 0;
        if (!Normals.empty()) Normals[static_cast<std::size_t>(copy)] = Vec3{};
        currVtxNdx = copy;
        ttlnum_Vertices += 1;
    }
    Vertex& v = vertexAt(currVtxNdx);
    v.num_UVs += 1;
    v.uv_id = t;
    // Earlier pairs are dropped; only the newest pair is meaningful.
    v.UVs.clear();
    v.UVs.resize(static_cast<std::uint32_t>(v.num_UVs));
    v.UVs[static_cast<std::uint32_t>(v.num_UVs - 1)] = uv;
    return currVtxNdx;
}

}  // namespace molv
