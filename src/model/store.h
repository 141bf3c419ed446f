// The one in-memory model every reader fills and every writer reads.
// Vertices, faces and face groups are numbered globally from 0; each mesh
// owns one contiguous run of each. Arrays are kept ahead of their content,
// so loops run to the counters, never to the arrays' sizes.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/vec3.h"
#include "util/smallvec.h"

namespace molv {

struct UV {
    float u = 0, v = 0;
};

struct Influence {
    std::int32_t boneId = 0;
    float weight = 0;
};

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};
// A channel from 0..1 as a byte, rounded; NaN and below 0 give 0, above 1 255.
std::uint8_t colourByte(double v);

struct Mesh {
    std::int32_t num_Vertices = 0, vtx_ndx_stt = 0, vtx_ndx_end = -1;
    std::int32_t num_Faces = 0, face_ndx_stt = 0, face_ndx_end = -1;
    std::int32_t num_FaceGrps = 0, face_grp_ndx_stt = 0, face_grp_ndx_end = -1;
    std::int32_t num_UVsets = 0;
    Vec3 scale{1, 1, 1};
    Vec3 rotation;
    Vec3 position;
    std::int16_t parent = -1;
    std::string name;
    std::int32_t cmf_version = 0;
};

struct FaceGroup {
    std::int32_t gFgID = 0;
    std::int32_t MtlID = 0;
    std::int32_t nFcs = 0;
    std::vector<std::int32_t> FgFaces;      // relative to the mesh's face_ndx_stt
    std::vector<std::int32_t> FgGlblFaces;  // global face indices
    std::int32_t num_maps = 0;
    std::int32_t num_lod_steps = 0, num_springs = 0;
    std::string MatlSymbol;  // Collada material symbol
    std::int32_t face_base = 0;
};

struct Material {
    std::int32_t id = 0;
    std::string name;
    Colour ambient, diffuse, specular;
    float shininess = 0;
    float transparency = 0;
    std::int32_t nMaps = 0;
    std::vector<std::string> maps;
    std::int16_t use_count = 0;
    std::int32_t version = 0;  // material file version, set by the material reader
};

// A zeroed record is what the arrays hold ahead of their content; AddVertex
// sets uv_id to -1. Only what every vertex carries is here, 32 bytes; the
// rest lives beside Vertices in ModelStore (zup_pos, and the Cal3D fields
// only Cal3D sources and the 3DS reader set).
struct Vertex {
    Vec3 pos;
    std::int32_t uv_id = 0;
    std::int16_t num_UVs = 0;
    SmallVec<UV, 1> UVs;
};
static_assert(sizeof(Vertex) <= 32, "a vertex record is on the hot path of a million-vertex model");

// Influences come only from Cal3D sources, and a rigid prop has one: more
// than one is the rare case that goes to the heap.
struct VertexSkin {
    std::int32_t num_Influences = 0;
    SmallVec<Influence, 1> Influences;
};

struct Face {
    std::int32_t vtx[3] = {0, 0, 0};
};

// The "Rotate 90 up" and "Rotate 90 right" settings, as the reader hands
// them to the add operations.
struct AxisSwitch {
    bool yz = false, xz = false;
};
// A position or direction in the store's axes.
Vec3 switchAxes(const Vec3& d, AxisSwitch axes);

struct MeshRange {
    std::int16_t first = 0, count = 0, last = -1;
};

class ModelStore {
public:
    // Only data: the add operations tell the user nothing and keep no
    // reader's place. Readers add through StoreFill (model/store_fill.h),
    // which keeps where the read is and reports what they refuse.
    ModelStore() { ClearModel(); }
    ModelStore(const ModelStore&) = delete;
    ModelStore& operator=(const ModelStore&) = delete;

    std::vector<Mesh> Meshes;
    std::vector<Material> Materials;
    // Texture pictures held inside the source (a glTF buffer view, a data:
    // URI): map name → the file's bytes, written beside the set.
    std::vector<std::pair<std::string, std::string>> embeddedMaps;
    std::vector<FaceGroup> FaceGrps;
    std::vector<Vertex> Vertices;
    // Per vertex, as long as Vertices once a reader or the normals step has
    // set one (normalAt); empty before, so a large read does not hold them.
    std::vector<Vec3> Normals;
    // Per vertex, the position with the vertical axis third, as the reader
    // gave it (zupOf). Empty while every vertex's is its pos with y and z
    // swapped, as in any read without axis switches: a million-vertex model
    // then holds no copy. Filled, as long as Vertices, once one is not.
    std::vector<Vec3> zup_pos;
    // Per vertex, but empty until a reader sets one; a vertex past the end
    // holds 0 (collapse fields) or no influences.
    std::vector<std::int32_t> collapse_id, face_collapse_count;
    // The collapse id of a vertex past the end of collapse_id: a reader
    // whose every vertex has the same one (3DS: -1) sets it once here.
    std::int32_t defaultCollapseId = 0;
    std::vector<VertexSkin> skins;
    std::vector<Face> VFaces;
    // Normals the source gives per face corner (face * 3 + corner, in the
    // stored corner order); zero where a corner has none. Empty when the
    // source gave none: most faces then cost nothing here.
    std::vector<Vec3> cornerNormals;
    // Normals a source gives per vertex (glTF), for every corner at that
    // vertex: a twelfth of the corner array's size. Switched like
    // cornerNormals, zero where a vertex has none, empty when none is given.
    // A reader sets one kind or the other.
    std::vector<Vec3> vertexNormals;
    // 3DS smoothing-group masks per face; empty when the source gave none.
    std::vector<std::uint32_t> faceSmoothing;

    // Element i of an array, for an index of any integer type the caller
    // has checked (the store's numbers are 32-bit, the arrays' sizes not).
    template <class I> Vertex& vertexAt(I i) { return Vertices[static_cast<std::size_t>(i)]; }
    template <class I> const Vertex& vertexAt(I i) const { return Vertices[static_cast<std::size_t>(i)]; }
    template <class I> Face& faceAt(I i) { return VFaces[static_cast<std::size_t>(i)]; }
    template <class I> const Face& faceAt(I i) const { return VFaces[static_cast<std::size_t>(i)]; }
    template <class I> FaceGroup& groupAt(I i) { return FaceGrps[static_cast<std::size_t>(i)]; }
    template <class I> const FaceGroup& groupAt(I i) const { return FaceGrps[static_cast<std::size_t>(i)]; }
    template <class I> Material& materialAt(I i) { return Materials[static_cast<std::size_t>(i)]; }
    template <class I> const Material& materialAt(I i) const { return Materials[static_cast<std::size_t>(i)]; }
    template <class I> Mesh& meshAt(I i) { return Meshes[static_cast<std::size_t>(i)]; }
    template <class I> const Mesh& meshAt(I i) const { return Meshes[static_cast<std::size_t>(i)]; }

    std::int32_t nMaterials = 0, ttlnum_Vertices = 0, nFaceGrps = 0, ttlnum_Faces = 0;
    MeshRange meshRange;
    std::int32_t meshCount = 0;
    std::int32_t maxVert = 0;  // highest vertex index any face referenced
    std::int32_t badFaceReports = 0;  // faces added naming missing vertices
    std::int32_t badGroupFaceReports = 0;  // face-group members added naming missing faces
    std::int32_t num_Normals = 0;  // 0 while Normals holds none
    // The submesh count a Cal3D mesh declared, or the Anim8or mesh chunks;
    // the mesh writer shows it.
    std::int32_t nSubMeshes = 0;

    // Extents, measured by SetMaxMinsM.
    Vec3 minPos, maxPos, ctrPos, spanPos;
    Vec3 minZup, maxZup, ctrZup, spanZup;
    float maxSpan = 0;
    bool modelCentred = false;

    void ClearModel();
    // -1 when the store holds as many meshes as it can.
    std::int16_t dssAddMesh(const std::string& name, std::int32_t n);
    // The mesh AddFaceGroup and an appending AddVertex add to: the one added
    // last (0, the spare, before any).
    std::int32_t lastMesh() const { return meshCount > 0 ? meshCount - 1 : 0; }
    // A count that would overflow the total adds nothing (see roomForVertices).
    std::int32_t AddMeshVertices(std::int32_t mesh, std::int32_t n);
    bool roomForVertices(std::int32_t n) const;
    void SetMeshRanges(std::int32_t mesh, std::int32_t nV, std::int32_t nF, std::int32_t nG, std::int32_t sV,
                       std::int32_t sF, std::int32_t sG);
    std::int32_t AddMaterial(const std::string& name);
    std::int32_t AddFaceGroup(bool flag, std::int32_t material, std::int32_t faceBase);
    bool SetFaceGroupMaterial(std::int32_t group, std::int32_t material);
    // A member naming no face is kept and counted in badGroupFaceReports.
    void AddFaceToGroup(std::int32_t mesh, std::int32_t group, bool flag, std::int32_t face, std::int32_t global);
    // The global index AddFaceToGroup keeps for a member (global -1: counted
    // from the mesh's first face), and whether a member names a face.
    std::int32_t memberGlobal(std::int32_t mesh, std::int32_t face, std::int32_t global) const;
    bool memberNamesFace(std::int32_t face, std::int32_t global) const;
    // The new face's index. A face naming missing vertices is kept and
    // counted in badFaceReports.
    std::int32_t AddFace(std::int32_t mesh, std::int32_t base, std::int32_t a, std::int32_t b, std::int32_t c);
    // Whether AddFace would find a corner missing, and the one its report
    // names: the first missing, or the last below 0.
    bool missingCorner(std::int32_t base, std::int32_t a, std::int32_t b, std::int32_t c, std::int64_t& named) const;
    std::int32_t AddVertex(std::int32_t& index, float x, float y, float z, float zx, float zy, float zz,
                           AxisSwitch axes = {});
    // Normals for the corners a, b, c of a face as AddFace took them (it
    // stores them in reverse), switched as AddVertex switches positions.
    void SetFaceNormals(std::int32_t face, const Vec3& na, const Vec3& nb, const Vec3& nc, AxisSwitch axes = {});
    // The normal of every corner at vertex v, switched as above.
    void SetVertexNormal(std::int32_t v, const Vec3& n, AxisSwitch axes = {});
    // The normal the source gave corner c (face * 3 + corner), or zero.
    Vec3 ownNormal(std::size_t c) const;
    std::int32_t SetVertexUV(std::int32_t base, std::int32_t n, std::int32_t t, UV uv);

    // Grows Vertices (and Normals and zup_pos, once they hold any) together
    // to at least n elements.
    void growVertices(std::size_t n);
    // Normals as long as Vertices, zero where none was set.
    void sizeNormals() {
        if (Normals.size() < Vertices.size()) Normals.resize(Vertices.size());
    }
    // Vertex v's normal, Normals first sized with the vertices.
    Vec3& normalAt(std::int32_t v) {
        sizeNormals();
        return Normals[static_cast<std::size_t>(v)];
    }
    // Vertex v's position with the vertical axis third.
    Vec3 zupOf(std::int32_t v) const {
        if (!zup_pos.empty()) return zup_pos[static_cast<std::size_t>(v)];
        const Vec3& p = Vertices[static_cast<std::size_t>(v)].pos;
        return Vec3{p.x, p.z, p.y};
    }
    // Fills zup_pos from the positions, before a step that moves pos and
    // zup_pos apart.
    void keepZupApart();
    // Vertex v's normal; zero for one Normals does not reach.
    Vec3 normalOf(std::int32_t v) const {
        return v >= 0 && static_cast<std::size_t>(v) < Normals.size() ? Normals[static_cast<std::size_t>(v)] : Vec3{};
    }

    std::int32_t collapseId(std::int32_t v) const { return sideAt(collapse_id, v, defaultCollapseId); }
    std::int32_t faceCollapseCount(std::int32_t v) const { return sideAt(face_collapse_count, v, 0); }
    void setCollapse(std::int32_t v, std::int32_t id, std::int32_t count);
    // The vertex's influences; an empty one for a vertex that has none.
    const VertexSkin& skinOf(std::int32_t v) const;
    VertexSkin& skinAt(std::int32_t v);
    // Vertex `to` becomes a copy of vertex `from`, its side fields included
    // (its normal excepted).
    void copyVertex(std::int32_t to, std::int32_t from);
    // Renumbers the vertices: new vertex i is old vertex from[i], with its
    // side fields; `spare` zeroed records follow. Normals are the caller's.
    void gatherVertices(const std::vector<std::int32_t>& from, std::size_t spare);

    // Room for this many more vertices and faces, for a reader that knows
    // (or has counted) them: the arrays then never move while it adds them.
    // Only a hint: growth works the same without it.
    void reserveFor(std::int64_t vertices, std::int64_t faces);
    // The same for the members of one face group.
    void reserveGroupFaces(std::int32_t group, std::int64_t faces);

    // Whether `mesh` indexes an element of Meshes (the spare included).
    bool validMesh(std::int32_t mesh) const;

private:
    static std::int32_t sideAt(const std::vector<std::int32_t>& a, std::int32_t v, std::int32_t dflt) {
        return v >= 0 && static_cast<std::size_t>(v) < a.size() ? a[static_cast<std::size_t>(v)] : dflt;
    }
};

}  // namespace molv
