// Collada reader, build half. References are resolved whatever the library
// order: effects are applied to the materials that instance them, and every
// geometry is added to the store once per node that places it. Every index
// and count from the document is checked before it is used.
#include "formats/dae_build.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/store.h"
#include "model/store_fill.h"
#include "model/triangulate.h"
#include "model/vecmath.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv::dae {

namespace {

double det3(const Mat4& m) {
    const double a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
    const double d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
    const double g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

// Corner lists of the primitive kinds, as triangles of corner numbers;
// polygons (n corners from corner c, with or without holes) go to poly.
template <class F, class G>
void forEachTriangle(const Primitive& pr, std::int64_t corners, int stride, F&& tri, G&& poly, std::int64_t& skipped,
                     std::string& problem) {
    auto pEnd = [&](std::size_t k) {
        std::size_t e = k + 1 < pr.pStarts.size() ? pr.pStarts[k + 1] : pr.idx.size();
        return static_cast<std::int64_t>(e);
    };
    switch (pr.kind) {
        case K::Triangles: {
            std::int64_t nt = corners / 3;
            for (std::int64_t t = 0; t < nt; ++t) tri(t * 3, t * 3 + 1, t * 3 + 2);
            if (corners % 3 != 0) problem = "p ends with a triangle that has fewer than three corners";
            if (pr.count >= 0 && pr.count != nt)
                problem = "p holds " + std::to_string(nt) + " triangles, count says " + std::to_string(pr.count);
            break;
        }
        case K::Polylist: {
            std::int64_t c = 0;
            std::size_t k = 0;
            for (; k < pr.vcount.size(); ++k) {
                std::int64_t n = pr.vcount[k];
                if (n < 0 || c + n > corners) {
                    skipped += static_cast<std::int64_t>(pr.vcount.size() - k);
                    problem = "vcount asks for more corners than p holds; " +
                              std::to_string(pr.vcount.size() - k) + " polygons left out";
                    break;
                }
                poly(c, n, false);
                c += n;
            }
            if (problem.empty() && pr.count >= 0 && pr.count != static_cast<std::int64_t>(pr.vcount.size()))
                problem = "vcount holds " + std::to_string(pr.vcount.size()) + " polygons, count says " +
                          std::to_string(pr.count);
            break;
        }
        case K::Polygons:
        case K::Tristrips:
        case K::Trifans:
            for (std::size_t k = 0, h = 0; k < pr.pStarts.size(); ++k) {
                std::int64_t c0 = static_cast<std::int64_t>(pr.pStarts[k]) / stride;
                std::int64_t c1 = std::min<std::int64_t>(pEnd(k) / stride, corners);
                std::int64_t n = c1 - c0;
                if (pr.kind == K::Polygons) {
                    while (h < pr.holed.size() && pr.holed[h] < k) ++h;
                    poly(c0, n, h < pr.holed.size() && pr.holed[h] == k);
                    continue;
                }
                for (std::int64_t j = 0; j + 2 < n; ++j) {
                    if (pr.kind == K::Tristrips) {
                        if (j % 2 == 0)
                            tri(c0 + j, c0 + j + 1, c0 + j + 2);
                        else
                            tri(c0 + j + 1, c0 + j, c0 + j + 2);
                    } else {
                        tri(c0, c0 + j + 1, c0 + j + 2);
                    }
                }
            }
            break;
        default:
            break;
    }
}

struct Placement {
    Mat4 world;
    bool identity = true;
    const InstanceRef* inst = nullptr;
};

// How much one placement of a geometry adds to the store, at most.
struct Size {
    std::int64_t vertices = 0, triangles = 0;
    std::int64_t groups = 0;  // primitives: each placed one is a face group
};

class Builder {
public:
    Builder(Io& io, Doc& doc, StoreFill& fill) : io_(io), d_(doc), m_(fill.model()), fill_(fill) {}
    ReadResult run();

private:
    void addMaterials();
    void applyEffects();
    void applyEffect(std::size_t material, const Effect& e);
    void addMap(std::size_t material, const std::string& key);
    ReadResult placeGeometries();
    void traverse(int node, const Mat4& parent, int depth);
    void place(const Node& n, const InstanceRef& r, const Mat4& world);
    bool step(const Node& n);
    bool overLimit(const Node& n, std::int64_t have, std::int64_t limit, const char* what);
    void reserve();
    bool emitAll();
    bool emitGeometry(int gi, const Placement* pl, int instanceNo);
    void addVertices(const Source& ps, std::int64_t nPos, int stride, const Placement* pl);
    void emitPrimitive(Geometry& g, Primitive& pr, std::int64_t nPos, bool mirrored);
    int uvSourceFor(const Geometry& g, const Input* tin, bool& byVertex);
    std::int32_t uvBaseFor(int uvSrc, std::size_t n);
    void reportPrimitive(const Primitive& pr, int stride, const std::string& problem, std::int64_t badFaces,
                         const std::string& badWhat);
    const std::vector<UV>* uvTable(int src);
    const std::vector<Vec3>* normalTable(int src, const Placement* pl);
    void bindGroups(std::int32_t firstGroup, std::int32_t lastGroup, const InstanceRef* inst);
    bool bindTo(std::int32_t group, const std::string& symbol, const std::string& target);

    // The vertices' POSITION input, else a source named "-position". Kept
    // per geometry: every placement asks again.
    int positionSource(const Geometry& g) const {
        const auto gi = static_cast<std::size_t>(&g - d_.geoms.data());
        if (posSrc_.size() != d_.geoms.size()) posSrc_.assign(d_.geoms.size(), kUnknown);
        int& cached = posSrc_[gi];
        if (cached != kUnknown) return cached;
        cached = -1;
        for (const Input& in : g.vertexInputs)
            if (in.semantic == "POSITION") {
                int si = findSource(in.source);
                if (si >= 0) return cached = si;
            }
        for (int si : g.sources)
            if (toLowerAscii(d_.sources[static_cast<std::size_t>(si)].id).find("-position") != std::string::npos)
                return cached = si;
        return cached;
    }
    // The last of the geometry's sources named "-uv"; -1 when none.
    int uvNamedSource(const Geometry& g) const {
        const auto gi = static_cast<std::size_t>(&g - d_.geoms.data());
        if (uvNamed_.size() != d_.geoms.size()) uvNamed_.assign(d_.geoms.size(), kUnknown);
        int& cached = uvNamed_[gi];
        if (cached != kUnknown) return cached;
        cached = -1;
        for (int si : g.sources)
            if (toLowerAscii(d_.sources[static_cast<std::size_t>(si)].id).find("-uv") != std::string::npos) cached = si;
        return cached;
    }
    int findSource(const std::string& id) const {
        auto it = d_.sourceById.find(id);
        return it == d_.sourceById.end() ? -1 : it->second;
    }
    std::int64_t itemCount(const Source& s, int defaultStride, int& stride) const;
    Size sizeOf(const Geometry& g) const;
    // A reference to nothing is logged once, however often the walk meets it.
    bool firstMiss(const void* ref) { return missReported_.insert(ref).second; }
    bool stopped() const { return !refusal_.ok(); }

    Io& io_;
    Doc& d_;
    ModelStore& m_;
    StoreFill& fill_;

    // Polygon cutting, reused from polygon to polygon.
    std::vector<Vec3> cornerPos_;
    std::vector<CornerTri> tris_;
    // Normal sources in the store's axes, for the placement being emitted.
    std::unordered_map<int, std::vector<Vec3>> normalCache_;
    const Placement* placing_ = nullptr;
    PolygonCutTally cuts_;
    static constexpr int kUnknown = -2;
    mutable std::vector<int> posSrc_, uvNamed_;  // per geometry, kUnknown until asked

    std::vector<std::int32_t> materialIndex_;  // per MaterialDef: its index in the store
    // Store materials by lower-case name, each name's indices ascending;
    // taken in as the store's materials are met.
    std::unordered_map<std::string, std::vector<std::int32_t>> mtlByName_;
    std::int32_t mtlIndexed_ = 0;
    std::unordered_map<std::string, int> controllerById_;  // the first controller of each id
    bool controllersIndexed_ = false;
    std::vector<char> effectUsed_;

    // Scene walk.
    std::vector<std::vector<Placement>> byGeometry_;
    std::vector<Size> sizes_;     // per geometry
    std::vector<char> active_;    // per node: on the current path
    std::vector<char> identityLocal_;  // per node: no transform of its own
    std::int64_t placements_ = 0, steps_ = 0;
    Size placed_;
    bool nodeLoopReported_ = false;
    std::unordered_set<const void*> missReported_;
    ReadResult refusal_;

    // Emission.
    std::unordered_map<int, std::vector<UV>> uvCache_;
    std::int32_t uvBase_ = 0;                         // per mesh: texture-vertex numbers in use
    std::int32_t texVerts_ = 0;                       // texture coordinates taken, for the status line
    std::unordered_map<int, std::int32_t> uvBaseOf_;  // per mesh: source -> first number
    std::unordered_map<std::string, std::string> symbolTargets_;  // first binding of each symbol
    bool symbolTargetsBuilt_ = false;
};

// ---------------------------------------------------------------------------
// Materials and their effects

void Builder::addMaterials() {
    materialIndex_.reserve(d_.materials.size());
    for (const MaterialDef& md : d_.materials) {
        materialIndex_.push_back(fill_.AddMaterial(md.name));
    }
}

void Builder::applyEffects() {
    effectUsed_.assign(d_.effects.size(), 0);
    for (std::size_t mi = 0; mi < d_.materials.size(); ++mi) {
        const MaterialDef& md = d_.materials[mi];
        if (md.effect.empty()) continue;
        auto it = d_.effectById.find(md.effect);
        if (it == d_.effectById.end() || it->second < 0 || static_cast<std::size_t>(it->second) >= d_.effects.size()) {
            io_.log("Material " + m_.materialAt(materialIndex_[mi]).name + ": effect " +
                    md.effect + " not found");
            continue;
        }
        effectUsed_[static_cast<std::size_t>(it->second)] = 1;
        applyEffect(mi, d_.effects[static_cast<std::size_t>(it->second)]);
    }
    for (std::size_t ei = 0; ei < d_.effects.size(); ++ei)
        if (!effectUsed_[ei]) askAt(io_, "can't find material: " + d_.effects[ei].id, d_.effects[ei].where);
}

void Builder::applyEffect(std::size_t material, const Effect& e) {
    Material& mt = m_.materialAt(materialIndex_[material]);
    for (const ColourOp& op : e.colours) {
        Colour& c = op.which == 0 ? mt.ambient : op.which == 1 ? mt.diffuse : mt.specular;
        if (op.texture) {
            c.r = c.g = c.b = 255;
            if (op.which == 1) mt.ambient.r = mt.ambient.g = mt.ambient.b = 255;
        } else {
            c.r = colourByte(op.rgb[0]);
            c.g = colourByte(op.rgb[1]);
            c.b = colourByte(op.rgb[2]);
        }
    }
    if (e.hasShininess) mt.shininess = e.shininess;
    if (e.hasTransparency) mt.transparency = e.transparency;

    for (const std::string& key : e.surfaceImages) addMap(material, key);
    if (!e.surfaceImages.empty()) return;
    // Samplers that name their image directly (Collada 1.5), or texture
    // references that name an image.
    for (const std::string& ref : e.textureRefs) {
        std::string key;
        if (auto s = e.samplerOf.find(ref); s != e.samplerOf.end()) {
            if (auto f = e.surfaceOf.find(s->second); f != e.surfaceOf.end()) key = f->second;
        } else if (auto si = e.samplerImage.find(ref); si != e.samplerImage.end()) {
            key = si->second;
        } else if (d_.images.count(ref)) {
            key = ref;
        }
        if (!key.empty()) addMap(material, key);
    }
}

void Builder::addMap(std::size_t material, const std::string& key) {
    const std::int32_t index = materialIndex_[material];
    Material& mt = m_.materialAt(index);
    auto im = d_.images.find(key);
    if (im == d_.images.end()) {
        io_.log("Material " + mt.name + ": image " + key + " not found");
        return;
    }
    std::string file = io_.modelName + "_" + fileNameOf(percentDecoded(im->second));
    if (std::find(mt.maps.begin(), mt.maps.begin() + mt.nMaps, file) != mt.maps.begin() + mt.nMaps) return;
    if (io_.dbgLevel > 0)
        io_.logFile("  Effect surface-2d init_from for Material[" + std::to_string(index) + "] Image: " + file +
                    " for key " + key);
    mt.nMaps += 1;
    mt.maps.resize(static_cast<std::size_t>(mt.nMaps) + 1);
    mt.maps[static_cast<std::size_t>(mt.nMaps - 1)] = file;
}

// ---------------------------------------------------------------------------
// Scene walk

std::int64_t Builder::itemCount(const Source& s, int defaultStride, int& stride) const {
    stride = s.accStride > 0 ? s.accStride : (s.params > 0 ? s.params : defaultStride);
    std::int64_t avail = 0;
    if (static_cast<std::int64_t>(s.values.size()) > s.accOffset)
        avail = (static_cast<std::int64_t>(s.values.size()) - s.accOffset) / stride;
    if (s.accCount < 0) return avail;
    return std::min(avail, s.accCount);
}

// Positions, and triangles as the corners allow them: a triangle list makes
// one of three corners, any other kind at most one per corner.
Size Builder::sizeOf(const Geometry& g) const {
    Size s;
    if (!g.hasMesh) return s;
    const int ps = positionSource(g);
    if (ps < 0) return s;
    int stride = 3;
    s.vertices = itemCount(d_.sources[static_cast<std::size_t>(ps)], 3, stride);
    s.groups = static_cast<std::int64_t>(g.prims.size());
    for (const Primitive& pr : g.prims) {
        std::int64_t inputs = 1;
        for (const Input& in : pr.inputs) inputs = std::max<std::int64_t>(inputs, in.offset + 1);
        const std::int64_t corners = static_cast<std::int64_t>(pr.idx.size()) / inputs;
        s.triangles += pr.kind == K::Triangles ? corners / 3 : corners;
    }
    return s;
}

// Every node visit and every instance looked at is a step: a chain of
// nodes that each instance the next twice doubles them per level.
bool Builder::step(const Node& n) {
    if (++steps_ <= kMaxSceneSteps) return true;
    const std::string msg = "The scene's nodes and instances are visited more than " +
                            std::to_string(kMaxSceneSteps) + " times (node " + n.id + " at line " +
                            std::to_string(n.line) + " in " + io_.srcFile +
                            " is instanced over and over); the document is not read";
    refusal_ = ReadResult::failed(msg, io_.srcFile, n.line);
    return false;
}

bool Builder::overLimit(const Node& n, std::int64_t have, std::int64_t limit, const char* what) {
    if (have <= limit) return false;
    const std::string msg = "The scene places more than " + std::to_string(limit) + " " + what +
                            " (node " + n.id + " at line " + std::to_string(n.line) + " in " + io_.srcFile +
                            "); the document is not read";
    refusal_ = ReadResult::failed(msg, io_.srcFile, n.line);
    return true;
}

void Builder::place(const Node& n, const InstanceRef& r, const Mat4& world) {
    std::string gid = r.url;
    Mat4 w = world;
    if (r.controller) {
        if (!controllersIndexed_) {
            controllersIndexed_ = true;
            for (std::size_t i = 0; i < d_.controllers.size(); ++i)
                controllerById_.emplace(d_.controllers[i].id, static_cast<int>(i));
        }
        auto found = controllerById_.find(r.url);
        const Controller* c = found == controllerById_.end() ? nullptr : &d_.controllers[static_cast<std::size_t>(found->second)];
        if (!c || c->skinSource.empty()) {
            if (firstMiss(&r)) io_.log("instance_controller " + r.url + ": no skin controller of that id");
            return;
        }
        gid = c->skinSource;
        w = MatMul(c->bindShape, world);
    }
    auto g = d_.geomById.find(gid);
    if (g == d_.geomById.end() || g->second < 0 || static_cast<std::size_t>(g->second) >= d_.geoms.size()) {
        if (firstMiss(&r))
            io_.log("instance of " + gid + " at line " + std::to_string(r.where.line) + ": no geometry of that id");
        return;
    }
    if (placements_ >= kMaxPlacements) {
        // A prop cut off after so many pieces would be wrong without a
        // sign of it: the document is refused instead.
        const std::string msg = "The scene places geometries more than " + std::to_string(kMaxPlacements) +
                                " times (node " + n.id + " at line " + std::to_string(n.line) + " in " + io_.srcFile +
                                "); the document is not read";
        refusal_ = ReadResult::failed(msg, io_.srcFile, n.line);
        return;
    }
    ++placements_;
    const Size& s = sizes_[static_cast<std::size_t>(g->second)];
    placed_.vertices += s.vertices;
    placed_.triangles += s.triangles;
    placed_.groups += s.groups;
    if (overLimit(n, placed_.vertices, kMaxPlacedVertices, "vertices") ||
        overLimit(n, placed_.triangles, kMaxPlacedTriangles, "triangles") ||
        overLimit(n, placed_.groups, kMaxPlacedGroups, "primitives (face groups)"))
        return;
    Placement p;
    p.world = w;
    p.identity = w == MatIdentity();
    p.inst = &r;
    byGeometry_[static_cast<std::size_t>(g->second)].push_back(p);
}

void Builder::traverse(int ni, const Mat4& parent, int depth) {
    const Node& n = d_.nodes[static_cast<std::size_t>(ni)];
    if (!step(n)) return;
    if (depth > kMaxNodeDepth || active_[static_cast<std::size_t>(ni)]) {
        if (!nodeLoopReported_) {
            nodeLoopReported_ = true;
            io_.box("Node " + n.id + " instances itself or is nested deeper than " + std::to_string(kMaxNodeDepth) +
                    " levels; that branch of the scene is left out");
        }
        return;
    }
    active_[static_cast<std::size_t>(ni)] = 1;
    // Most nodes have no transform of their own; a walk of millions of
    // steps need not multiply by the identity each time.
    const Mat4 world = identityLocal_[static_cast<std::size_t>(ni)] ? parent : MatMul(n.local, parent);
    for (const InstanceRef& r : n.instances) {
        if (!step(n)) break;
        place(n, r, world);
        if (stopped()) break;
    }
    for (int c : n.children)
        if (!stopped()) traverse(c, world, depth + 1);
    for (const std::string& ref : n.nodeRefs) {
        if (stopped()) break;
        auto it = d_.nodeById.find(ref);
        if (it == d_.nodeById.end() || it->second < 0 || static_cast<std::size_t>(it->second) >= d_.nodes.size()) {
            if (firstMiss(&ref)) io_.log("instance_node " + ref + ": no node of that id");
            continue;
        }
        traverse(it->second, world, depth + 1);
    }
    active_[static_cast<std::size_t>(ni)] = 0;
}

ReadResult Builder::placeGeometries() {
    byGeometry_.assign(d_.geoms.size(), {});
    sizes_.clear();
    for (const Geometry& g : d_.geoms) sizes_.push_back(sizeOf(g));
    active_.assign(d_.nodes.size(), 0);
    identityLocal_.assign(d_.nodes.size(), 0);
    for (std::size_t i = 0; i < d_.nodes.size(); ++i) identityLocal_[i] = d_.nodes[i].local == MatIdentity();
    const VisualScene* vs = nullptr;
    for (const VisualScene& s : d_.scenes)
        if (!d_.sceneUrl.empty() && s.id == d_.sceneUrl) vs = &s;
    if (!vs && !d_.scenes.empty()) vs = &d_.scenes.front();
    if (!vs) return {};
    for (int r : vs->roots) {
        if (!refusal_.ok()) break;
        traverse(r, MatIdentity(), 0);
    }
    return refusal_;
}

// ---------------------------------------------------------------------------
// Geometry into the store

const std::vector<UV>* Builder::uvTable(int si) {
    auto it = uvCache_.find(si);
    if (it != uvCache_.end()) return &it->second;
    const Source& s = d_.sources[static_cast<std::size_t>(si)];
    int stride = 2;
    std::int64_t n = itemCount(s, 2, stride);
    if (s.accCount > n)
        askAt(io_,
              "Source " + s.id + " counts " + std::to_string(s.accCount) + " texture coordinates, its float_array holds " +
                  std::to_string(n),
              s.where);
    std::vector<UV>& t = uvCache_[si];
    if (stride < 2) return &t;  // one number per item is not a (u, v) pair
    t.resize(static_cast<std::size_t>(n));
    if (io_.dbgLevel > 1) io_.logFile(" ----- UVs -----   Mesh ID=" + m_.meshAt(fill_.cursor().MeshNdx).name);
    float minU = 99999, minV = 99999, maxU = -99999, maxV = -99999;
    for (std::int64_t i = 0; i < n; ++i) {
        const float* v = s.values.data() + s.accOffset + i * stride;
        UV uv{v[0], v[1]};
        t[static_cast<std::size_t>(i)] = uv;
        minU = std::min(minU, uv.u), maxU = std::max(maxU, uv.u);
        minV = std::min(minV, uv.v), maxV = std::max(maxV, uv.v);
        texVerts_ += 1;
        if (io_.statusDue()) io_.status("TV: " + std::to_string(texVerts_));
    }
    if (n == 0) return &t;
    const bool outOfRange = minU < 0 || minV < 0 || maxU > 1 || maxV > 1;
    // A source whose u or v are all equal (a strip, a solid-colour face) is
    // still flipped: its texture origin is the same as any other's.
    if ((maxU - minU == 0 || maxV - minV == 0) && io_.logWanted(1))
        io_.log("Source " + s.id + ": all of its u or all of its v are equal", 1);
    const bool wrap = outOfRange && io_.autoscaleUVs;
    const bool flip = io_.flipUVs;
    for (UV& uv : t) {
        if (wrap) {
            uv.u -= std::floor(uv.u);
            uv.v -= std::floor(uv.v);
        }
        if (flip) uv.v = 1 - uv.v;
    }
    return &t;
}

// A normal source's vectors carried like the positions: the placement's
// transform (inverse transpose), then the store's axes.
const std::vector<Vec3>* Builder::normalTable(int si, const Placement* pl) {
    auto it = normalCache_.find(si);
    if (it != normalCache_.end()) return &it->second;
    const Source& s = d_.sources[static_cast<std::size_t>(si)];
    int stride = 3;
    const std::int64_t n = itemCount(s, 3, stride);
    std::vector<Vec3>& t = normalCache_[si];
    if (stride < 3) return &t;
    t.resize(static_cast<std::size_t>(n));
    const bool raw = io_.rawLoad;
    const bool moved = pl && !pl->identity;
    const Up up = d_.up;
    const NormalMatrix normalMatrix = moved ? NormalMatrixOf(pl->world) : NormalMatrix{};
    for (std::int64_t i = 0; i < n; ++i) {
        const float* v = s.values.data() + s.accOffset + i * stride;
        Vec3 d{v[0], v[1], v[2]};
        if (moved) d = TransformNormal(d, normalMatrix);
        const Vec3 y = up == Up::Z ? Vec3{d.x, d.z, -d.y} : up == Up::X ? Vec3{-d.y, d.x, d.z} : d;
        const Vec3 r = raw ? d : Vec3{y.x, y.y, -y.z};
        // Not finite: no normal there, it is computed.
        t[static_cast<std::size_t>(i)] = std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z) ? r : Vec3{};
    }
    return &t;
}

// Texture coordinates: by the TEXCOORD input's source, by the vertices'
// TEXCOORD input (indexed like the positions), or by the "-uv" name.
int Builder::uvSourceFor(const Geometry& g, const Input* tin, bool& byVertex) {
    int uvSrc = -1;
    byVertex = false;
    if (tin) {
        uvSrc = findSource(tin->source);
        if (uvSrc < 0) uvSrc = uvNamedSource(g);
    } else {
        for (const Input& in : g.vertexInputs)
            if (in.semantic == "TEXCOORD" && uvSrc < 0) {
                uvSrc = findSource(in.source);
                byVertex = uvSrc >= 0;
            }
    }
    return uvSrc;
}

// First texture-vertex number of a source's coordinates in the current mesh.
std::int32_t Builder::uvBaseFor(int uvSrc, std::size_t n) {
    auto b = uvBaseOf_.find(uvSrc);
    if (b == uvBaseOf_.end()) {
        b = uvBaseOf_.emplace(uvSrc, uvBase_).first;
        uvBase_ += static_cast<std::int32_t>(n);
    }
    return b->second;
}

void Builder::emitPrimitive(Geometry& g, Primitive& pr, std::int64_t nPos, bool mirrored) {
    if (pr.pStarts.empty()) return;
    io_.setWhere(pr.where.line, pr.where.text);
    int stride = 1;
    const Input* vin = nullptr;
    const Input* tin = nullptr;
    const Input* nin = nullptr;
    for (const Input& in : pr.inputs) {
        stride = std::max(stride, in.offset + 1);
        if (in.semantic == "VERTEX" && !vin) vin = &in;
        if (in.semantic == "NORMAL" && !nin) nin = &in;
        if (in.semantic == "TEXCOORD" && (!tin || (in.set >= 0 && (tin->set < 0 || in.set < tin->set)))) tin = &in;
    }
    if (!vin) {
        askAt(io_, "Triangles without a VERTEX input are left out", pr.where);
        return;
    }
    bool uvByVertex = false;
    const int uvSrc = uvSourceFor(g, tin, uvByVertex);
    const std::vector<UV>* uvs = uvSrc >= 0 ? uvTable(uvSrc) : nullptr;
    io_.setWhere(pr.where.line, pr.where.text);
    const bool textured = uvs != nullptr && !uvs->empty();
    const std::int32_t tBase = textured ? uvBaseFor(uvSrc, uvs->size()) : 0;
    const std::int64_t nUV = textured ? static_cast<std::int64_t>(uvs->size()) : 0;
    const int vOff = vin->offset;
    const int tOff = textured && !uvByVertex ? tin->offset : -1;
    const std::int64_t corners = static_cast<std::int64_t>(pr.idx.size()) / stride;
    // Normals: by the NORMAL input's source, else by the vertices' NORMAL
    // input (indexed like the positions).
    const std::vector<Vec3>* nrms = nullptr;
    int nOff = -1;
    if (nin) {
        const int ns = findSource(nin->source);
        if (ns >= 0) nrms = normalTable(ns, placing_), nOff = nin->offset;
    } else {
        for (const Input& in : g.vertexInputs)
            if (in.semantic == "NORMAL" && !nrms) {
                const int ns = findSource(in.source);
                if (ns >= 0) nrms = normalTable(ns, placing_), nOff = vOff;
            }
    }
    if (nrms && nrms->empty()) nrms = nullptr;
    // A corner whose normal index names nothing gets none: computed.
    auto normalOf = [&](std::int64_t c) -> Vec3 {
        const std::int32_t k = pr.idx[static_cast<std::size_t>(c * stride + nOff)];
        return k >= 0 && static_cast<std::size_t>(k) < nrms->size() ? (*nrms)[static_cast<std::size_t>(k)] : Vec3{};
    };

    const FillCursor& at = fill_.cursor();
    const std::int32_t grp = fill_.AddFaceGroup(textured, -1, m_.meshAt(at.MeshNdx).face_ndx_stt);
    m_.groupAt(grp).MatlSymbol = pr.material;
    const std::string& meshName = m_.meshAt(at.MeshNdx).name;
    if (io_.dbgLevel > 1) io_.logFile(" ----- Faces -----   Mesh ID=" + meshName);
    if (io_.dbgLevel > 0)
        io_.logFile(meshName + " " + std::to_string(pr.count) + "  FaceGrp=" + std::to_string(grp) +
                    ", Matl Symbol=" + pr.material + " nfaces=" + std::to_string(pr.count));

    std::int64_t badCorners = 0, skippedPolys = 0, badFaces = 0;
    std::string badWhat, problem;
    const std::int32_t* idx = pr.idx.data();
    auto cornerOk = [&](std::int64_t c) {
        const std::int32_t n = idx[c * stride + vOff];
        if (n < 0 || n >= nPos) {
            if (badCorners++ == 0)
                badWhat = "Index " + std::to_string(n) + " in p is beyond the " + std::to_string(nPos) +
                          " positions of geometry " + g.id;
            return false;
        }
        if (tOff >= 0) {
            const std::int32_t t = idx[c * stride + tOff];
            if (t < 0 || t >= nUV) {
                if (badCorners++ == 0)
                    badWhat = "Texture index " + std::to_string(t) + " in p is beyond the " + std::to_string(nUV) +
                              " texture coordinates of source " + d_.sources[static_cast<std::size_t>(uvSrc)].id;
                return false;
            }
        }
        return true;
    };
    auto vertexOf = [&](std::int64_t c) -> std::int32_t {
        const std::int32_t n = idx[c * stride + vOff];
        if (!textured) return n;
        const std::int32_t t = uvByVertex ? n : idx[c * stride + tOff];
        return fill_.SetVertexUV(at.currVtxBase, n, tBase + t, (*uvs)[static_cast<std::size_t>(t)]);
    };
    auto tri = [&](std::int64_t c0, std::int64_t c1, std::int64_t c2) {
        if (!cornerOk(c0) || !cornerOk(c1) || !cornerOk(c2) || m_.ttlnum_Faces >= kMaxFaces) {
            ++badFaces;
            return;
        }
        std::int32_t a = vertexOf(c0), b = vertexOf(c1), c = vertexOf(c2);
        if (mirrored) std::swap(b, c), std::swap(c1, c2);
        const std::int32_t base = textured ? 0 : at.currVtxBase;
        std::int32_t r = fill_.AddFace(at.MeshNdx, base, a, b, c);
        fill_.AddFaceToGroup(at.MeshNdx, grp, textured, r, m_.ttlnum_Faces - 1);
        if (nrms) fill_.SetFaceNormals(m_.ttlnum_Faces - 1, normalOf(c0), normalOf(c1), normalOf(c2));
        if (io_.statusDue()) io_.status("F: " + std::to_string(m_.ttlnum_Faces));
    };
    // Polygons are cut on their own plane, from the positions their corners
    // name; one naming a missing position is fanned, and tri reports it.
    auto poly = [&](std::int64_t c0, std::int64_t n, bool holes) {
        bool cut = n > 3 && !holes;
        if (cut) {
            cornerPos_.clear();
            for (std::int64_t j = 0; j < n && cut; ++j) {
                const std::int32_t v = idx[(c0 + j) * stride + vOff];
                cut = v >= 0 && v < nPos && at.currVtxBase + std::int64_t{v} < m_.ttlnum_Vertices;
                if (cut) cornerPos_.push_back(m_.vertexAt(at.currVtxBase + v).pos);
            }
        }
        if (!cut) {
            if (holes && n >= 3) ++cuts_.withHoles;
            for (std::int64_t j = 0; j + 2 < n; ++j) tri(c0, c0 + j + 1, c0 + j + 2);
            return;
        }
        cuts_.add(triangulatePolygon(cornerPos_, tris_, &cuts_.workLeft));
        for (const CornerTri& t : tris_) tri(c0 + t[0], c0 + t[1], c0 + t[2]);
    };
    forEachTriangle(pr, corners, stride, tri, poly, skippedPolys, problem);
    reportPrimitive(pr, stride, problem, badFaces, badWhat);
}

void Builder::reportPrimitive(const Primitive& pr, int stride, const std::string& problem, std::int64_t badFaces,
                              const std::string& badWhat) {
    if (pr.badIndexTokens > 0)
        askAt(io_, std::to_string(pr.badIndexTokens) + " entries of p or vcount are not whole numbers", pr.where);
    if (static_cast<std::int64_t>(pr.idx.size()) % stride != 0)
        askAt(io_,
              "p holds " + std::to_string(pr.idx.size()) + " indices, not a multiple of its " + std::to_string(stride) +
                  " inputs",
              pr.where);
    if (!problem.empty()) askAt(io_, problem, pr.where);
    if (badFaces > 0) {
        std::string msg = badWhat.empty() ? std::string("Too many triangles") : badWhat;
        askAt(io_, msg + "; " + std::to_string(badFaces) + " triangles left out", pr.where);
    }
}

bool Builder::bindTo(std::int32_t g, const std::string& symbol, const std::string& target) {
    for (; mtlIndexed_ < m_.nMaterials; ++mtlIndexed_)
        mtlByName_[toLowerAscii(m_.materialAt(mtlIndexed_).name)].push_back(mtlIndexed_);
    auto it = mtlByName_.find(toLowerAscii(target));
    if (it == mtlByName_.end()) return false;
    for (std::int32_t mi : it->second) {
        const Material& mt = m_.materialAt(mi);
        if (m_.SetFaceGroupMaterial(g, mi) && io_.dbgLevel >= 1)
            io_.logFile("  Bind FaceGrp[" + std::to_string(g) + "] material symbol " + symbol + " to Materials[" +
                        std::to_string(mi) + "] " + mt.name);
    }
    return true;
}

void Builder::bindGroups(std::int32_t first, std::int32_t last, const InstanceRef* inst) {
    std::vector<char> bound(static_cast<std::size_t>(std::max(0, last - first + 1)), 0);
    if (inst && !inst->binds.empty()) {
        // Groups by symbol, so many bindings over many groups stay linear.
        std::unordered_map<std::string_view, std::vector<std::int32_t>> bySymbol;
        for (std::int32_t g = first; g <= last; ++g)
            bySymbol[m_.groupAt(g).MatlSymbol].push_back(g);
        for (const Binding& b : inst->binds) {
            bool matched = false;
            if (auto it = bySymbol.find(b.symbol); it != bySymbol.end())
                for (std::int32_t g : it->second)
                    if (bindTo(g, b.symbol, b.target)) {
                        matched = true;
                        bound[static_cast<std::size_t>(g - first)] = 1;
                    }
            // Once per binding, however often its instance is placed.
            if (!matched && firstMiss(&b))
                io_.log("Failed to Bind instance_material symbol " + b.symbol + " to target " + b.target);
        }
    }
    // Groups their own instance leaves unbound (or that no node places):
    // the symbol's binding anywhere in the scene, else a material of that name.
    for (std::int32_t g = first; g <= last; ++g) {
        if (bound[static_cast<std::size_t>(g - first)]) continue;
        const std::string& sym = m_.groupAt(g).MatlSymbol;
        if (sym.empty()) continue;
        if (!symbolTargetsBuilt_) {
            symbolTargetsBuilt_ = true;
            for (const Node& n : d_.nodes)
                for (const InstanceRef& r : n.instances)
                    for (const Binding& b : r.binds) symbolTargets_.emplace(b.symbol, b.target);
        }
        auto it = symbolTargets_.find(sym);
        bool done = it != symbolTargets_.end() && bindTo(g, sym, it->second);
        if (!done && !bindTo(g, sym, sym) && io_.logWanted(1))
            io_.log("FaceGrp[" + std::to_string(g) + "]: no material bound to symbol " + sym, 1);
    }
}

void Builder::addVertices(const Source& ps, std::int64_t nPos, int stride, const Placement* pl) {
    const bool raw = io_.rawLoad;
    const bool moved = pl && !pl->identity;
    const Up up = d_.up;
    for (std::int64_t i = 0; i < nPos; ++i) {
        const float* v = ps.values.data() + ps.accOffset + i * stride;
        Vec3 d{v[0], stride > 1 ? v[1] : 0.0f, stride > 2 ? v[2] : 0.0f};
        if (moved) d = TransformPoint(d, pl->world);
        // Into y-up terms first, then the store's axes (z back).
        Vec3 y = up == Up::Z ? Vec3{d.x, d.z, -d.y} : up == Up::X ? Vec3{-d.y, d.x, d.z} : d;
        Vec3 pos = raw ? d : Vec3{y.x, y.y, -y.z};
        std::int32_t index = -1;
        fill_.AddVertex(index, pos.x, pos.y, pos.z, y.x, -y.z, y.y, fill_.cursor().meshVtxCount, true);
        if (io_.statusDue()) io_.status("V:" + std::to_string(fill_.cursor().meshVtxCount));
    }
}

bool Builder::emitGeometry(int gi, const Placement* pl, int instanceNo) {
    Geometry& g = d_.geoms[static_cast<std::size_t>(gi)];
    if (!g.hasMesh) return true;
    io_.setWhere(g.where.line, g.where.text);
    const int posSrc = positionSource(g);
    if (posSrc < 0) {
        if (instanceNo == 0) askAt(io_, "Geometry " + g.id + " has no positions; it is left out", g.where);
        return true;
    }
    std::string name = toLowerAscii(g.id);
    if (instanceNo > 0) name += "_" + std::to_string(instanceNo + 1);
    std::int16_t mi = fill_.dssAddMesh(name, 0);
    if (mi < 0) return false;
    if (io_.dbgLevel > 0) io_.logFile("Mesh: " + std::to_string(mi));
    uvBase_ = 0;
    uvBaseOf_.clear();

    const Source& ps = d_.sources[static_cast<std::size_t>(posSrc)];
    int stride = 3;
    const std::int64_t nPos = itemCount(ps, 3, stride);
    if (ps.accCount > nPos && instanceNo == 0)
        askAt(io_,
              "Source " + ps.id + " counts " + std::to_string(ps.accCount) + " positions, its float_array holds " +
                  std::to_string(nPos),
              ps.where);
    if (io_.dbgLevel > 1) io_.logFile(" ----- Vertices -----   Mesh ID=" + name);
    addVertices(ps, nPos, stride, pl);
    placing_ = pl;
    normalCache_.clear();
    const bool mirrored = pl && !pl->identity && det3(pl->world) < 0;
    const std::int32_t firstGroup = m_.nFaceGrps;
    for (Primitive& pr : g.prims) emitPrimitive(g, pr, nPos, mirrored);
    fill_.SetMeshRanges();
    bindGroups(firstGroup, m_.nFaceGrps - 1, pl ? pl->inst : nullptr);
    return true;
}

// Room for what is coming, so the store's arrays never move meanwhile.
void Builder::reserve() {
    std::int64_t vertices = 0, faces = 0;
    for (std::size_t gi = 0; gi < d_.geoms.size(); ++gi) {
        const std::int64_t times = std::max<std::int64_t>(1, static_cast<std::int64_t>(byGeometry_[gi].size()));
        const int ps = positionSource(d_.geoms[gi]);
        std::int64_t v = ps < 0 ? 0 : static_cast<std::int64_t>(d_.sources[static_cast<std::size_t>(ps)].values.size() / 3);
        std::int64_t f = 0;  // triangles, or for polygons their corners: a bound
        for (const Primitive& pr : d_.geoms[gi].prims) {
            const auto corners = static_cast<std::int64_t>(pr.idx.size() / std::max<std::size_t>(1, pr.inputs.size()));
            f += pr.kind == K::Triangles ? corners / 3 : corners;
        }
        vertices += times * v;
        faces += times * f;
    }
    m_.reserveFor(std::min<std::int64_t>(vertices, 50000000), std::min<std::int64_t>(faces, 50000000));
}

bool Builder::emitAll() {
    for (std::size_t gi = 0; gi < d_.geoms.size(); ++gi) {
        const auto& pls = byGeometry_[gi];
        if (pls.empty()) {
            if (!emitGeometry(static_cast<int>(gi), nullptr, 0)) return false;
            continue;
        }
        for (std::size_t k = 0; k < pls.size(); ++k)
            if (!emitGeometry(static_cast<int>(gi), &pls[k], static_cast<int>(k))) return false;
    }
    return true;
}

ReadResult Builder::run() {
    addMaterials();
    applyEffects();
    if (ReadResult r = placeGeometries(); !r.ok()) return r;
    reserve();
    // Only the store refuses a mesh, and it has told the user why.
    if (!emitAll())
        return ReadResult::failed({}, io_.srcFile);
    for (const auto& [line, level] : cuts_.report(io_.srcFile))
        if (io_.logWanted(level)) io_.log(line, level);
    if (m_.ttlnum_Faces >= kMaxFaces) {
        const std::string msg = "The document " + io_.srcFile + " holds more than " + std::to_string(kMaxFaces) + " triangles";
        return ReadResult::failed(msg, io_.srcFile);
    }
    return {};
}

}  // namespace

ReadResult buildModel(Io& io, Doc& doc, StoreFill& fill) {
    Builder b(io, doc, fill);
    return b.run();
}

}  // namespace molv::dae
