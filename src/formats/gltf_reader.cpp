// glTF 2.0 reader. tinygltf parses the JSON (and the .glb container) and
// loads the buffers through our file reader; everything it hands back is
// then checked here before use: accessors and buffer views against their
// buffers, indices against the vertices, the node tree against loops and
// against placing more than the store can take.
#include "formats/gltf_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <string_view>
#include <vector>

#include "core/diagnostics.h"
#include "core/settings.h"
#include "formats/gltf_library.h"
#include "model/io_env.h"
#include "model/store.h"
#include "model/store_fill.h"
#include "model/vecmath.h"
#include "util/encoding.h"
#include "util/fileio.h"
#include "util/paths.h"

namespace molv {

namespace {

// What the scene walk follows; as for Collada, a small document must not
// be able to ask for unbounded work or geometry.
constexpr int kMaxNodeDepth = 256;
constexpr std::int64_t kMaxPlacements = 30000;
constexpr std::int64_t kMaxSceneSteps = 2000000;
constexpr std::int64_t kMaxPlacedVertices = 10000000;
constexpr std::int64_t kMaxPlacedTriangles = 20000000;
constexpr std::int64_t kMaxPlacedGroups = 200000;
// The JSON parser and the tree it builds recurse once per level; real
// documents nest about ten deep, and tens of thousands exhaust the stack.
constexpr int kMaxJsonDepth = 512;
// An accessor without a buffer view reads as zeros; that many zeros are
// no model, only memory.
constexpr std::size_t kMaxDatalessElements = 65536;

// tinygltf joins each URI it loads to the base folder we hand it, and then
// also tries the current folder. The base is this marker, so the file
// reader sees exactly the URI (and refuses every other path).
constexpr std::string_view kUriBase = "\x01gltf";

struct FileAccess {
    std::string folder;
    std::string srcFile;
    std::string refusal;  // the first URI refused, as the user is told
};

// The URI of a path tinygltf asks for; false (and the refusal noted) when
// it is not one of the document's URIs or leaves the document's folder.
bool uriOf(const std::string& path, FileAccess& fa, std::string& uri) {
    if (path.size() <= kUriBase.size() + 1 || path.compare(0, kUriBase.size(), kUriBase) != 0 ||
        path[kUriBase.size()] != '/')
        return false;
    uri = path.substr(kUriBase.size() + 1);
    if (!staysInside(uri)) {
        if (fa.refusal.empty())
            fa.refusal = "The glTF file " + fa.srcFile + " refers to \"" + uri +
                         "\", which is outside its folder; only files beside it are read";
        return false;
    }
    return true;
}

bool fsExists(const std::string& path, void* user) {
    auto& fa = *static_cast<FileAccess*>(user);
    std::string uri;
    return uriOf(path, fa, uri) && fileExists(joinPath(fa.folder, uri));
}

std::string fsExpand(const std::string& path, void*) { return path; }

bool fsRead(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user) {
    auto& fa = *static_cast<FileAccess*>(user);
    std::string uri, bytes, why;
    if (!uriOf(path, fa, uri)) return false;
    if (!readWholeFile(joinPath(fa.folder, uri), bytes, why)) {
        if (err) *err = why;
        return false;
    }
    out->assign(bytes.begin(), bytes.end());
    return true;
}

bool fsWrite(std::string*, const std::string&, const std::vector<unsigned char>&, void*) { return false; }

// Images are never decoded: their file names are kept, and the bytes of a
// data: URI so it can be written out. A buffer view's bytes are not taken
// here: tinygltf hands over the view without checking it lies inside its
// buffer, so keepEmbedded copies them after the checks.
bool keepImageUndecoded(tinygltf::Image* image, const int index, std::string*, std::string*, int, int,
                        const unsigned char* bytes, int size, void* user) {
    auto* kept = static_cast<std::vector<std::string>*>(user);
    if (image && image->bufferView >= 0) return true;
    if (kept && bytes && size > 0 && index >= 0 && index < 65536) {
        if (kept->size() <= static_cast<std::size_t>(index)) kept->resize(static_cast<std::size_t>(index) + 1);
        (*kept)[static_cast<std::size_t>(index)].assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    }
    return true;
}

// The JSON parser's "... at line 3, column 7: ..." as a line number.
std::int64_t lineOfJsonError(const std::string& err) {
    const std::size_t at = err.find("at line ");
    if (at == std::string::npos) return 0;
    std::int64_t line = 0;
    for (std::size_t i = at + 8; i < err.size() && err[i] >= '0' && err[i] <= '9' && line < 1000000000; ++i)
        line = line * 10 + (err[i] - '0');
    return line;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    // Several errors come one per line; the first says enough.
    if (const std::size_t nl = s.find('\n'); nl != std::string::npos) s.erase(nl);
    return s;
}

int componentSize(int type) {
    switch (type) {
        case TINYGLTF_COMPONENT_TYPE_BYTE:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return 1;
        case TINYGLTF_COMPONENT_TYPE_SHORT:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return 2;
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        case TINYGLTF_COMPONENT_TYPE_FLOAT: return 4;
        default: return 0;
    }
}

int componentCount(int type) {
    switch (type) {
        case TINYGLTF_TYPE_SCALAR: return 1;
        case TINYGLTF_TYPE_VEC2: return 2;
        case TINYGLTF_TYPE_VEC3: return 3;
        case TINYGLTF_TYPE_VEC4: return 4;
        case TINYGLTF_TYPE_MAT2: return 4;
        case TINYGLTF_TYPE_MAT3: return 9;
        case TINYGLTF_TYPE_MAT4: return 16;
        default: return 0;
    }
}

// An accessor checked against its buffer view and buffer: every element
// read through it lies inside the buffer's bytes.
struct Elements {
    const unsigned char* data = nullptr;  // first element; null: all zeros
    std::size_t count = 0, stride = 0;
    int comps = 0, type = 0;
    bool normalized = false;

    float get(std::size_t i, int c) const {
        if (!data) return 0;
        const unsigned char* p = data + i * stride;
        switch (type) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT: {
                float f;
                std::memcpy(&f, p + 4 * c, 4);
                return f;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: {
                const float v = p[c];
                return normalized ? v / 255.0f : v;
            }
            case TINYGLTF_COMPONENT_TYPE_BYTE: {
                const float v = static_cast<signed char>(p[c]);
                return normalized ? std::max(v / 127.0f, -1.0f) : v;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
                std::uint16_t u;
                std::memcpy(&u, p + 2 * c, 2);
                return normalized ? u / 65535.0f : static_cast<float>(u);
            }
            case TINYGLTF_COMPONENT_TYPE_SHORT: {
                std::int16_t s;
                std::memcpy(&s, p + 2 * c, 2);
                return normalized ? std::max(s / 32767.0f, -1.0f) : static_cast<float>(s);
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
                std::uint32_t u;
                std::memcpy(&u, p + 4 * c, 4);
                return static_cast<float>(u);
            }
            default: return 0;
        }
    }
    std::uint32_t index(std::size_t i) const {
        if (!data) return 0;
        const unsigned char* p = data + i * stride;
        if (type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) return p[0];
        if (type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
            std::uint16_t u;
            std::memcpy(&u, p, 2);
            return u;
        }
        std::uint32_t u;
        std::memcpy(&u, p, 4);
        return u;
    }
};

struct Placement {
    int mesh = 0;
    Mat4 world;
    bool identity = true;
};

class Builder {
public:
    Builder(ReadEnv& env, const tinygltf::Model& doc, const std::vector<std::string>& imageBytes)
        : env_(env), d_(doc), m_(env.model), fill_(env), imageBytes_(imageBytes) {}
    ReadResult run();

private:
    ReadResult fail(const std::string& what) const {
        return ReadResult::failed("The glTF file " + env_.srcFile + ": " + what, env_.srcFile);
    }
    bool elements(int accessor, const std::string& what, Elements& out, std::string& err) const;
    void addMaterials();
    std::int32_t defaultMaterial();
    ReadResult placeScene();
    void walk(int node, const Mat4& parent, int depth);
    void place(int mesh, const Mat4& world, int node);
    ReadResult emitMesh(const Placement& p, int instanceNo);
    ReadResult emitPrimitive(const tinygltf::Primitive& pr, const std::string& what, const Placement& p);

    ReadEnv& env_;
    const tinygltf::Model& d_;
    ModelStore& m_;
    StoreFill fill_;
    const std::vector<std::string>& imageBytes_;
    void keepEmbedded(const std::string& map, std::size_t image);

    std::vector<std::int32_t> materialIndex_;
    std::int32_t defaultMaterial_ = -1;
    std::vector<Placement> placements_;
    std::vector<char> active_;
    std::int64_t steps_ = 0, vertices_ = 0, triangles_ = 0, faces_ = 0, groups_ = 0;
    std::string refusal_;
    bool loopReported_ = false;
    bool otherModesLogged_ = false;
};

bool Builder::elements(int ai, const std::string& what, Elements& out, std::string& err) const {
    const std::string name = "accessor " + std::to_string(ai) + " (" + what + ")";
    if (ai < 0 || static_cast<std::size_t>(ai) >= d_.accessors.size()) {
        err = what + " names accessor " + std::to_string(ai) + ", which does not exist";
        return false;
    }
    const tinygltf::Accessor& a = d_.accessors[static_cast<std::size_t>(ai)];
    out = Elements{};
    out.type = a.componentType;
    out.comps = componentCount(a.type);
    out.count = a.count;
    out.normalized = a.normalized;
    const int csize = componentSize(a.componentType);
    if (csize == 0 || out.comps == 0) {
        err = name + " has an unknown component type or type";
        return false;
    }
    if (a.sparse.isSparse) {
        err = name + " is sparse, which is not supported";
        return false;
    }
    const std::size_t elemSize = static_cast<std::size_t>(csize) * static_cast<std::size_t>(out.comps);
    if (a.bufferView < 0) return true;  // no data: every value is zero
    if (static_cast<std::size_t>(a.bufferView) >= d_.bufferViews.size()) {
        err = name + " names buffer view " + std::to_string(a.bufferView) + ", which does not exist";
        return false;
    }
    const tinygltf::BufferView& bv = d_.bufferViews[static_cast<std::size_t>(a.bufferView)];
    if (bv.buffer < 0 || static_cast<std::size_t>(bv.buffer) >= d_.buffers.size()) {
        err = "buffer view " + std::to_string(a.bufferView) + " names buffer " + std::to_string(bv.buffer) +
              ", which does not exist";
        return false;
    }
    const std::vector<unsigned char>& buf = d_.buffers[static_cast<std::size_t>(bv.buffer)].data;
    if (bv.byteOffset > buf.size() || bv.byteLength > buf.size() - bv.byteOffset) {
        err = "buffer view " + std::to_string(a.bufferView) + " (bytes " + std::to_string(bv.byteOffset) + " to " +
              std::to_string(static_cast<unsigned long long>(bv.byteOffset) + bv.byteLength) +
              ") lies beyond the " + std::to_string(buf.size()) + " bytes of buffer " + std::to_string(bv.buffer);
        return false;
    }
    out.stride = bv.byteStride != 0 ? bv.byteStride : elemSize;
    if (out.stride < elemSize) {
        err = "buffer view " + std::to_string(a.bufferView) + " has a byte stride of " + std::to_string(bv.byteStride) +
              ", less than the " + std::to_string(elemSize) + " bytes of " + name + "'s elements";
        return false;
    }
    if (a.count == 0) return true;
    // Computed wide: offsets and counts from the file may be anything.
    const long double need = static_cast<long double>(a.byteOffset) +
                             static_cast<long double>(a.count - 1) * static_cast<long double>(out.stride) +
                             static_cast<long double>(elemSize);
    if (a.byteOffset > bv.byteLength || need > static_cast<long double>(bv.byteLength)) {
        err = name + " needs " + std::to_string(static_cast<unsigned long long>(std::min<long double>(need, 1e18L))) +
              " bytes of buffer view " + std::to_string(a.bufferView) + ", which holds " +
              std::to_string(bv.byteLength);
        return false;
    }
    out.data = buf.data() + bv.byteOffset + a.byteOffset;
    return true;
}

void Builder::addMaterials() {
    for (std::size_t i = 0; i < d_.materials.size(); ++i) {
        const tinygltf::Material& gm = d_.materials[i];
        const std::int32_t mi = fill_.AddMaterial(gm.name.empty() ? "material_" + std::to_string(i) : gm.name);
        materialIndex_.push_back(mi);
        Material& mt = m_.materialAt(mi);
        const std::vector<double>& f = gm.pbrMetallicRoughness.baseColorFactor;
        // Alpha stays 0 as every other reader leaves it; opacity goes to
        // transparency. glTF has no ambient colour: the base colour serves.
        Colour c{255, 255, 255, 0};
        if (f.size() >= 3) c = Colour{colourByte(f[0]), colourByte(f[1]), colourByte(f[2]), 0};
        mt.diffuse = mt.ambient = c;
        if (f.size() >= 4 && f[3] >= 0 && f[3] <= 1) mt.transparency = static_cast<float>(1 - f[3]);

        const int ti = gm.pbrMetallicRoughness.baseColorTexture.index;
        if (ti < 0) continue;
        if (static_cast<std::size_t>(ti) >= d_.textures.size()) {
            env_.diag.logMsg("Material " + mt.name + ": texture " + std::to_string(ti) + " does not exist");
            continue;
        }
        const int ii = d_.textures[static_cast<std::size_t>(ti)].source;
        if (ii < 0 || static_cast<std::size_t>(ii) >= d_.images.size()) {
            env_.diag.logMsg("Material " + mt.name + ": the texture's image does not exist");
            continue;
        }
        const tinygltf::Image& im = d_.images[static_cast<std::size_t>(ii)];
        std::string map;
        if (!im.uri.empty()) {
            map = percentDecoded(im.uri);
            // Inside the folder it keeps its sub-folders; otherwise only
            // the file name is kept, and looked for beside the model.
            if (!staysInside(map)) map = std::string(companionFileName(map));
        } else {
            // Embedded in the document: named, but no file is written for it.
            const std::string ext = im.mimeType == "image/jpeg" ? ".jpg" : im.mimeType == "image/png" ? ".png" : "";
            map = env_.modelName + "_" + (im.name.empty() ? "image" + std::to_string(ii) : im.name) + ext;
            env_.diag.logMsg("Material " + mt.name + ": texture " + map + " is embedded in the glTF file");
            keepEmbedded(map, static_cast<std::size_t>(ii));
        }
        if (map.empty()) continue;
        mt.nMaps = 1;
        mt.maps.assign(2, std::string());
        mt.maps[0] = map;
    }
}

void Builder::keepEmbedded(const std::string& map, std::size_t image) {
    for (const auto& e : m_.embeddedMaps)
        if (e.first == map) return;
    std::string bytes = image < imageBytes_.size() ? imageBytes_[image] : std::string();
    const tinygltf::Image& im = d_.images[image];
    if (bytes.empty() && im.bufferView >= 0 && static_cast<std::size_t>(im.bufferView) < d_.bufferViews.size()) {
        const tinygltf::BufferView& bv = d_.bufferViews[static_cast<std::size_t>(im.bufferView)];
        if (bv.buffer >= 0 && static_cast<std::size_t>(bv.buffer) < d_.buffers.size()) {
            const std::vector<unsigned char>& data = d_.buffers[static_cast<std::size_t>(bv.buffer)].data;
            if (bv.byteOffset <= data.size() && bv.byteLength <= data.size() - bv.byteOffset)
                bytes.assign(reinterpret_cast<const char*>(data.data()) + bv.byteOffset, bv.byteLength);
        }
    }
    if (!bytes.empty()) m_.embeddedMaps.emplace_back(map, std::move(bytes));
}

std::int32_t Builder::defaultMaterial() {
    if (defaultMaterial_ < 0) {
        defaultMaterial_ = fill_.AddMaterial("Default");
        Material& mt = m_.materialAt(defaultMaterial_);
        mt.diffuse = mt.ambient = Colour{255, 255, 255, 0};
    }
    return defaultMaterial_;
}

Mat4 localOf(const tinygltf::Node& n) {
    if (n.matrix.size() == 16) {
        // Column-major for column vectors is row-major for row vectors.
        Mat4 m;
        for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = static_cast<float>(n.matrix[static_cast<std::size_t>(i)]);
        return m;
    }
    Mat4 s = MatIdentity(), r = MatIdentity(), t = MatIdentity();
    if (n.scale.size() == 3)
        s = MatScale(Vec3{static_cast<float>(n.scale[0]), static_cast<float>(n.scale[1]), static_cast<float>(n.scale[2])});
    if (n.rotation.size() == 4) {
        double x = n.rotation[0], y = n.rotation[1], z = n.rotation[2], w = n.rotation[3];
        const double len = std::sqrt(x * x + y * y + z * z + w * w);
        if (len > 0 && std::isfinite(len)) {
            x /= len, y /= len, z /= len, w /= len;
            // The column-vector rotation, stored transposed.
            const double c[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                                    {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                                    {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) r.m[i][j] = static_cast<float>(c[j][i]);
        }
    }
    if (n.translation.size() == 3)
        t = MatTranslate(Vec3{static_cast<float>(n.translation[0]), static_cast<float>(n.translation[1]),
                              static_cast<float>(n.translation[2])});
    return MatMul(MatMul(s, r), t);
}

double det3(const Mat4& m) {
    const double a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
    const double d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
    const double g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

// Vertices and triangles one placement of a mesh adds, at most: t counts
// corners (what the limits are set on), f the triangles they make, which
// sizes the store.
void meshSize(const tinygltf::Model& d, int mi, std::int64_t& v, std::int64_t& t, std::int64_t& f, std::int64_t& g) {
    v = t = f = g = 0;
    for (const tinygltf::Primitive& pr : d.meshes[static_cast<std::size_t>(mi)].primitives) {
        ++g;
        auto pos = pr.attributes.find("POSITION");
        if (pos != pr.attributes.end() && pos->second >= 0 && static_cast<std::size_t>(pos->second) < d.accessors.size())
            v += static_cast<std::int64_t>(std::min<std::size_t>(d.accessors[static_cast<std::size_t>(pos->second)].count, 1u << 31));
        std::size_t corners = 0;
        if (pr.indices >= 0 && static_cast<std::size_t>(pr.indices) < d.accessors.size())
            corners = d.accessors[static_cast<std::size_t>(pr.indices)].count;
        else if (pos != pr.attributes.end() && pos->second >= 0 && static_cast<std::size_t>(pos->second) < d.accessors.size())
            corners = d.accessors[static_cast<std::size_t>(pos->second)].count;
        const auto c = static_cast<std::int64_t>(std::min<std::size_t>(corners, 1u << 31));
        t += c;
        f += pr.mode < 0 || pr.mode == TINYGLTF_MODE_TRIANGLES ? c / 3 : c;
    }
}

void Builder::place(int mi, const Mat4& world, int node) {
    if (mi < 0 || static_cast<std::size_t>(mi) >= d_.meshes.size()) {
        env_.diag.logMsg("Node " + std::to_string(node) + " names mesh " + std::to_string(mi) + ", which does not exist");
        return;
    }
    std::int64_t v, t, f, g;
    meshSize(d_, mi, v, t, f, g);
    vertices_ += v, triangles_ += t, faces_ += f, groups_ += g;
    const std::int64_t count = static_cast<std::int64_t>(placements_.size()) + 1;
    const char* what = count > kMaxPlacements ? "meshes"
                       : vertices_ > kMaxPlacedVertices ? "vertices"
                       : triangles_ > kMaxPlacedTriangles ? "triangles"
                       : groups_ > kMaxPlacedGroups ? "primitives" : nullptr;
    if (what) {
        const std::int64_t limit = count > kMaxPlacements ? kMaxPlacements
                                   : vertices_ > kMaxPlacedVertices ? kMaxPlacedVertices
                                   : triangles_ > kMaxPlacedTriangles ? kMaxPlacedTriangles : kMaxPlacedGroups;
        refusal_ = "the scene places more than " + std::to_string(limit) + " " + what + " (node " +
                   std::to_string(node) + "); the file is not read";
        return;
    }
    Placement p;
    p.mesh = mi;
    p.world = world;
    p.identity = world == MatIdentity();
    placements_.push_back(p);
}

void Builder::walk(int ni, const Mat4& parent, int depth) {
    if (!refusal_.empty()) return;
    if (++steps_ > kMaxSceneSteps) {
        refusal_ = "the scene's nodes are visited more than " + std::to_string(kMaxSceneSteps) +
                   " times; the file is not read";
        return;
    }
    if (ni < 0 || static_cast<std::size_t>(ni) >= d_.nodes.size()) {
        env_.diag.logMsg("Node " + std::to_string(ni) + " does not exist; it is left out");
        return;
    }
    if (depth > kMaxNodeDepth || active_[static_cast<std::size_t>(ni)]) {
        if (!loopReported_) {
            loopReported_ = true;
            env_.diag.msgBox("Node " + std::to_string(ni) + " of " + env_.srcFile + " is its own ancestor or nested deeper than " +
                             std::to_string(kMaxNodeDepth) + " levels; that branch of the scene is left out");
        }
        return;
    }
    const tinygltf::Node& n = d_.nodes[static_cast<std::size_t>(ni)];
    const Mat4 world = MatMul(localOf(n), parent);
    active_[static_cast<std::size_t>(ni)] = 1;
    if (n.mesh >= 0) place(n.mesh, world, ni);
    for (int c : n.children) walk(c, world, depth + 1);
    active_[static_cast<std::size_t>(ni)] = 0;
}

ReadResult Builder::placeScene() {
    active_.assign(d_.nodes.size(), 0);
    std::vector<int> roots;
    if (!d_.scenes.empty()) {
        int si = d_.defaultScene;
        if (si < 0 || static_cast<std::size_t>(si) >= d_.scenes.size()) si = 0;
        roots = d_.scenes[static_cast<std::size_t>(si)].nodes;
    } else {
        // No scene: every node that is nobody's child.
        std::vector<char> child(d_.nodes.size(), 0);
        for (const tinygltf::Node& n : d_.nodes)
            for (int c : n.children)
                if (c >= 0 && static_cast<std::size_t>(c) < child.size()) child[static_cast<std::size_t>(c)] = 1;
        for (std::size_t i = 0; i < d_.nodes.size(); ++i)
            if (!child[i]) roots.push_back(static_cast<int>(i));
    }
    for (int r : roots) walk(r, MatIdentity(), 0);
    if (!refusal_.empty()) return fail(refusal_);
    // Nothing placed, no nodes at all: each mesh once, where it stands.
    if (placements_.empty() && d_.nodes.empty())
        for (std::size_t i = 0; i < d_.meshes.size() && refusal_.empty(); ++i)
            place(static_cast<int>(i), MatIdentity(), -1);
    if (!refusal_.empty()) return fail(refusal_);
    return {};
}

ReadResult Builder::emitPrimitive(const tinygltf::Primitive& pr, const std::string& what, const Placement& pl) {
    const int mode = pr.mode < 0 ? TINYGLTF_MODE_TRIANGLES : pr.mode;
    if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN) {
        if (!otherModesLogged_) env_.diag.logMsg(what + ": points and lines are left out");
        otherModesLogged_ = true;
        return {};
    }
    auto posIt = pr.attributes.find("POSITION");
    if (posIt == pr.attributes.end()) {
        env_.diag.logMsg(what + " has no positions; it is left out");
        return {};
    }
    std::string err;
    Elements pos, uv, idx;
    if (!elements(posIt->second, "POSITION of " + what, pos, err)) return fail(err);
    if (pos.comps != 3) return fail("POSITION of " + what + " is not a three-component vector");
    if (pos.count > static_cast<std::size_t>(kMaxPlacedVertices)) return fail(what + " holds too many vertices");
    bool textured = false;
    if (auto it = pr.attributes.find("TEXCOORD_0"); it != pr.attributes.end()) {
        if (!elements(it->second, "TEXCOORD_0 of " + what, uv, err)) return fail(err);
        if (uv.comps != 2) return fail("TEXCOORD_0 of " + what + " is not a two-component vector");
        if (uv.count < pos.count)
            return fail("TEXCOORD_0 of " + what + " holds " + std::to_string(uv.count) + " pairs for " +
                        std::to_string(pos.count) + " positions");
        textured = true;
    }
    // Normals, carried like the positions; one that is missing, short or
    // not finite leaves its corners to the computed normals.
    Elements nr;
    bool withNormals = false;
    if (auto it = pr.attributes.find("NORMAL"); it != pr.attributes.end()) {
        withNormals = elements(it->second, "NORMAL of " + what, nr, err) && nr.comps == 3 && nr.count >= pos.count;
        if (!withNormals) env_.diag.logMsg("NORMAL of " + what + " is not usable; its normals are computed");
    }
    const bool indexed = pr.indices >= 0;
    std::size_t corners = pos.count;
    if (indexed) {
        if (!elements(pr.indices, "indices of " + what, idx, err)) return fail(err);
        if (idx.comps != 1 || (idx.type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
                               idx.type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                               idx.type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT))
            return fail("the indices of " + what + " are not unsigned whole numbers");
        corners = idx.count;
        for (std::size_t i = 0; i < corners; ++i)
            if (idx.index(i) >= pos.count)
                return fail("index " + std::to_string(idx.index(i)) + " (corner " + std::to_string(i) + ") of " + what +
                            " is beyond its " + std::to_string(pos.count) + " vertices");
    }

    // Vertices: placed, then from glTF's y-up into the store's axes (z back).
    const FillCursor& at = fill_.cursor();
    const std::int32_t first = at.meshVtxCount;
    const bool raw = env_.settings.rawDataLoad;
    const bool moved = !pl.identity;
    const NormalMatrix normalMatrix = moved && withNormals ? NormalMatrixOf(pl.world) : NormalMatrix{};
    for (std::size_t i = 0; i < pos.count; ++i) {
        Vec3 p{pos.get(i, 0), pos.get(i, 1), pos.get(i, 2)};
        if (moved) p = TransformPoint(p, pl.world);
        // Infinities would poison the extents and the scale of the prop.
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            return fail("position " + std::to_string(i) + " of " + what + " is not a finite number where it is placed");
        const Vec3 s = raw ? p : Vec3{p.x, p.y, -p.z};
        std::int32_t index = -1;
        fill_.AddVertex(index, s.x, s.y, s.z, p.x, -p.z, p.y, at.meshVtxCount, true);
        if (withNormals) {
            Vec3 n{nr.get(i, 0), nr.get(i, 1), nr.get(i, 2)};
            if (moved) n = TransformNormal(n, normalMatrix);
            if (!raw) n.z = -n.z;
            fill_.SetVertexNormal(index, std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z) ? n : Vec3{});
        }
        if (env_.diag.statusDue()) env_.diag.showStatus("V:" + std::to_string(at.meshVtxCount));
    }
    if (textured) {
        // glTF's v runs down the picture; the other sources' runs up, and
        // the same settings then apply.
        float minU = 0, maxU = 0, minV = 0, maxV = 0;
        std::vector<UV> t(pos.count);
        for (std::size_t i = 0; i < pos.count; ++i) {
            t[i] = UV{uv.get(i, 0), 1 - uv.get(i, 1)};
            if (i == 0 || t[i].u < minU) minU = t[i].u;
            if (i == 0 || t[i].u > maxU) maxU = t[i].u;
            if (i == 0 || t[i].v < minV) minV = t[i].v;
            if (i == 0 || t[i].v > maxV) maxV = t[i].v;
        }
        const bool wrap = env_.settings.autoscale_UVs && (minU < 0 || minV < 0 || maxU > 1 || maxV > 1);
        for (std::size_t i = 0; i < pos.count; ++i) {
            UV u = t[i];
            if (wrap) u.u -= std::floor(u.u), u.v -= std::floor(u.v);
            if (env_.settings.flip_3DS_UV_Vs) u.v = 1 - u.v;
            const std::int32_t n = first + static_cast<std::int32_t>(i);
            fill_.SetVertexUV(at.currVtxBase, n, n, u);
        }
    }

    std::int32_t material = -1;
    if (pr.material >= 0 && static_cast<std::size_t>(pr.material) < materialIndex_.size())
        material = materialIndex_[static_cast<std::size_t>(pr.material)];
    else if (pr.material >= 0)
        env_.diag.logMsg(what + " names material " + std::to_string(pr.material) + ", which does not exist");
    if (material < 0) material = defaultMaterial();
    const Mesh& mesh = m_.meshAt(at.MeshNdx);
    const std::int32_t grp = fill_.AddFaceGroup(textured, material, mesh.face_ndx_stt);
    const std::size_t triangles = mode == TINYGLTF_MODE_TRIANGLES ? corners / 3 : corners > 2 ? corners - 2 : 0;
    m_.reserveGroupFaces(grp, static_cast<std::int64_t>(triangles));
    const bool mirrored = moved && det3(pl.world) < 0;
    const std::int32_t base = at.currVtxBase + first;
    auto corner = [&](std::size_t c) -> std::int32_t {
        return static_cast<std::int32_t>(indexed ? idx.index(c) : c);
    };
    auto tri = [&](std::size_t c0, std::size_t c1, std::size_t c2) {
        std::int32_t a = corner(c0), b = corner(c1), c = corner(c2);
        if (mirrored) std::swap(b, c);
        const std::int32_t r = fill_.AddFace(at.MeshNdx, base, a, b, c);
        fill_.AddFaceToGroup(at.MeshNdx, grp, textured, r, m_.ttlnum_Faces - 1);
        if (env_.diag.statusDue()) env_.diag.showStatus("F: " + std::to_string(m_.ttlnum_Faces));
    };
    if (mode == TINYGLTF_MODE_TRIANGLES) {
        for (std::size_t c = 0; c + 2 < corners; c += 3) tri(c, c + 1, c + 2);
        if (corners % 3 != 0)
            env_.diag.logMsg(what + ": " + std::to_string(corners % 3) + " corners after the last triangle are left out");
    } else {
        for (std::size_t j = 0; j + 2 < corners; ++j) {
            if (mode == TINYGLTF_MODE_TRIANGLE_FAN)
                tri(0, j + 1, j + 2);
            else if (j % 2 == 0)
                tri(j, j + 1, j + 2);
            else
                tri(j + 1, j, j + 2);
        }
    }
    return {};
}

ReadResult Builder::emitMesh(const Placement& p, int instanceNo) {
    const tinygltf::Mesh& gm = d_.meshes[static_cast<std::size_t>(p.mesh)];
    std::string name = gm.name.empty() ? "mesh" + std::to_string(p.mesh) : gm.name;
    if (instanceNo > 0) name += "_" + std::to_string(instanceNo + 1);
    if (fill_.dssAddMesh(name, 0) < 0) return ReadResult::failed({}, env_.srcFile);  // the store told the user
    for (std::size_t k = 0; k < gm.primitives.size(); ++k) {
        const std::string what = "primitive " + std::to_string(k) + " of mesh \"" + name + "\"";
        if (ReadResult r = emitPrimitive(gm.primitives[k], what, p); !r.ok()) return r;
    }
    fill_.SetMeshRanges();
    return {};
}

ReadResult Builder::run() {
    for (const std::string& ext : d_.extensionsRequired)
        if (ext.find("compression") != std::string::npos)
            return fail("its meshes are compressed (" + ext + "), which is not supported");
    // Before the scene walk sizes the store from the declared counts.
    for (std::size_t i = 0; i < d_.accessors.size(); ++i) {
        const tinygltf::Accessor& a = d_.accessors[i];
        if (a.bufferView < 0 && !a.sparse.isSparse && a.count > kMaxDatalessElements)
            return fail("accessor " + std::to_string(i) + " declares " + std::to_string(a.count) +
                        " elements without a buffer view to hold them (at most " +
                        std::to_string(kMaxDatalessElements) + " are taken as zeros)");
    }
    addMaterials();
    if (ReadResult r = placeScene(); !r.ok()) return r;
    m_.reserveFor(vertices_, faces_);
    std::vector<int> seen(d_.meshes.size(), 0);
    for (const Placement& p : placements_)
        if (ReadResult r = emitMesh(p, seen[static_cast<std::size_t>(p.mesh)]++); !r.ok()) return r;
    return {};
}

// The deepest nesting of arrays and objects in JSON text, counted outside
// strings; stops counting once beyond limit.
int jsonDepth(std::string_view json, int limit) {
    int depth = 0, deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) break;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

// The JSON text of a document: all of it, or a .glb file's first chunk.
std::string_view jsonText(std::string_view bytes, bool binary) {
    if (!binary) return bytes;
    if (bytes.size() < 20) return {};
    std::uint32_t len = 0;
    std::memcpy(&len, bytes.data() + 12, 4);  // the container is little-endian, as are our targets
    return bytes.substr(20, std::min<std::size_t>(len, bytes.size() - 20));
}

// tinygltf checks a .glb's BIN chunk length without the chunk's 8-byte
// header, so a chunk that claims the file's last bytes is read past its end.
bool binChunkFits(std::string_view bytes) {
    if (bytes.size() < 20) return true;  // tinygltf refuses it
    const auto le32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    const std::uint64_t end = std::min<std::uint64_t>(le32(8), bytes.size());
    const std::uint64_t at = 20ull + le32(12);
    if (at + 8 > end) return true;  // no BIN chunk, or one tinygltf refuses
    return at + 8 + le32(static_cast<std::size_t>(at)) <= end;
}

// `owned`, when given, holds `bytes`: freed once the document is parsed (its
// copy of the binary chunk is all the rest needs), before the store fills.
ReadResult loadGltf(ReadEnv& env, std::string_view bytes, std::string* owned) {
    if (bytes.size() > std::numeric_limits<unsigned int>::max())
        return ReadResult::failed("The glTF file " + env.srcFile + " is larger than 4 GB", env.srcFile);
    // The JSON parser refuses text that is not UTF-8, and older exporters
    // write names in Latin-1: such bytes are read as Latin-1 instead, so
    // names (and the file names made of them) are the same everywhere.
    std::string repaired;
    if (const bool glb = bytes.size() >= 4 && bytes.substr(0, 4) == "glTF"; !glb) {
        if (latin1Repaired(bytes, repaired)) bytes = repaired;
    } else if (const std::string_view json = jsonText(bytes, true); latin1Repaired(json, repaired)) {
        // The container again around the longer JSON chunk, padded with blanks.
        while (repaired.size() % 4) repaired += ' ';
        const std::size_t rest = 20 + json.size();  // the chunks after the JSON, kept as they are
        std::string glbBytes(bytes.substr(0, 12));
        const auto put32 = [&](std::size_t at, std::size_t v) {
            for (int k = 0; k < 4; ++k) glbBytes[at + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
        };
        glbBytes += std::string(8, '\0');
        glbBytes.replace(16, 4, bytes.substr(16, 4));
        put32(12, repaired.size());
        glbBytes += repaired;
        if (rest < bytes.size()) glbBytes += bytes.substr(rest);
        put32(8, glbBytes.size());
        repaired = std::move(glbBytes);
        bytes = repaired;
    }
    if (!repaired.empty())
        env.diag.logMsg("glTF: " + env.srcFile + " holds text that is not UTF-8; it is read as Latin-1", 0);
    FileAccess fa{env.srcFolder, env.srcFile, {}};
    tinygltf::TinyGLTF loader;
    std::vector<std::string> imageBytes;
    loader.SetImageLoader(&keepImageUndecoded, &imageBytes);
    loader.SetFsCallbacks(tinygltf::FsCallbacks{&fsExists, &fsExpand, &fsRead, &fsWrite, &fa});
    tinygltf::Model doc;
    std::string err, warn;
    bool ok = false;
    const bool binary = bytes.size() >= 4 && bytes.substr(0, 4) == "glTF";
    if (jsonDepth(jsonText(bytes, binary), kMaxJsonDepth) > kMaxJsonDepth)
        return ReadResult::failed("Cannot read the glTF file " + env.srcFile + ": its JSON nests deeper than " +
                                      std::to_string(kMaxJsonDepth) + " levels",
                                  env.srcFile);
    if (binary && !binChunkFits(bytes))
        return ReadResult::failed("The glTF file " + env.srcFile + " is damaged: its binary chunk runs past the end of the file",
                                  env.srcFile);
    try {
        const std::string base(kUriBase);
        const auto size = static_cast<unsigned int>(bytes.size());
        ok = binary ? loader.LoadBinaryFromMemory(&doc, &err, &warn, reinterpret_cast<const unsigned char*>(bytes.data()),
                                                  size, base)
                    : loader.LoadASCIIFromString(&doc, &err, &warn, bytes.data(), size, base);
    } catch (const std::exception& e) {
        ok = false;
        err = e.what();
    }
    if (!fa.refusal.empty()) return ReadResult::failed(fa.refusal, env.srcFile);
    if (!ok) {
        if (err.empty()) err = "not a glTF 2.0 document";
        std::string text = trimmed(err);
        // tinygltf stops at the first accessor without data; the reason is
        // more use to the user.
        for (const char* ext : {"KHR_draco_mesh_compression", "EXT_meshopt_compression"})
            if (bytes.find(ext) != std::string_view::npos)
                text += "; its meshes are compressed (" + std::string(ext) + "), which is not supported";
        if (!warn.empty()) text += " (" + trimmed(warn) + ")";
        return ReadResult::failed("Cannot read the glTF file " + env.srcFile + ": " + text, env.srcFile,
                                  binary ? 0 : lineOfJsonError(err));
    }
    if (!warn.empty() && env.diag.logWanted(1)) env.diag.logMsg("glTF: " + trimmed(warn), 1);
    std::string().swap(repaired);
    if (owned) std::string().swap(*owned);
    try {
        Builder b(env, doc, imageBytes);
        return b.run();
    } catch (const std::bad_alloc&) {
        return ReadResult::failed("The glTF file " + env.srcFile + " asks for more memory than there is", env.srcFile);
    }
}

}  // namespace

ReadResult LoadGltfBytes(ReadEnv& env, std::string_view bytes) { return loadGltf(env, bytes, nullptr); }

ReadResult LoadGltf(ReadEnv& env, const std::string& path) {
    std::string bytes, err;
    if (!readWholeFile(path, bytes, err)) return ReadResult::failed("Cannot read " + path + ": " + err, path);
    return loadGltf(env, bytes, &bytes);
}

}  // namespace molv
