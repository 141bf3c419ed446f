#include "model/normals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "core/diagnostics.h"
#include "model/store.h"

namespace molv {

Vec3 faceNormal(const ModelStore& m, std::int32_t face) {
    if (face < 0 || face >= m.ttlnum_Faces || static_cast<std::size_t>(face) >= m.VFaces.size()) return {};
    const Face& f = m.faceAt(face);
    const std::size_t nV = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.ttlnum_Vertices)), m.Vertices.size());
    for (std::int32_t v : f.vtx)
        if (v < 0 || static_cast<std::size_t>(v) >= nV) return {};
    const Vec3& a = m.vertexAt(f.vtx[0]).pos;
    const Vec3& b = m.vertexAt(f.vtx[1]).pos;
    const Vec3& c = m.vertexAt(f.vtx[2]).pos;
    const float ax = b.x - a.x, ay = b.y - a.y, az = b.z - a.z;
    const float bx = c.x - a.x, by = c.y - a.y, bz = c.z - a.z;
    return Vec3{ay * bz - az * by, -(ax * bz - az * bx), ax * by - ay * bx};
}

void calcVertexNormals(Diagnostics& diag, ModelStore& m) {
    diag.logMsg("Calculating Vertex Normals", 1);
    const std::int32_t nV = std::max(0, m.ttlnum_Vertices);
    m.num_Normals = nV;
    m.growVertices(static_cast<std::size_t>(nV) + 1);
    m.Normals.assign(m.Vertices.size(), Vec3{});
    for (std::int32_t f = 0; f < m.ttlnum_Faces; ++f) {
        const Vec3 n = faceNormal(m, f);
        if (n == Vec3{}) continue;  // also a face naming a missing vertex
        for (std::int32_t v : m.faceAt(f).vtx) {
            Vec3& t = m.Normals[static_cast<std::size_t>(v)];
            t.x += n.x;
            t.y += n.y;
            t.z += n.z;
        }
    }
    for (std::int32_t v = 0; v < nV; ++v) {
        Vec3& t = m.Normals[static_cast<std::size_t>(v)];
        const double len = std::sqrt(static_cast<double>(t.x) * t.x + static_cast<double>(t.y) * t.y +
                                     static_cast<double>(t.z) * t.z);
        if (len != 0) {
            t.x = static_cast<float>(t.x / len);
            t.y = static_cast<float>(t.y / len);
            t.z = static_cast<float>(t.z / len);
        }
    }
    diag.logMsg("Vertex Normals Done", 1);
}

}  // namespace molv

namespace molv {

namespace {

// A position's identity: its coordinates' bits, with -0 taken as 0.
struct PosKey {
    std::int32_t mesh;  // the surface: mesh and material
    std::uint32_t x, y, z;
    bool operator==(const PosKey&) const = default;
};
struct PosHash {
    std::size_t operator()(const PosKey& k) const {
        std::uint64_t h = (k.x ^ (static_cast<std::uint64_t>(static_cast<std::uint32_t>(k.mesh)) << 32)) * 0x9E3779B97F4A7C15ull;
        h ^= (h >> 29) + k.y * 0xBF58476D1CE4E5B9ull;
        h ^= (h >> 31) + k.z * 0x94D049BB133111EBull;
        return static_cast<std::size_t>(h ^ (h >> 32));
    }
};
std::uint32_t bitsOf(float f) {
    if (f == 0) f = 0;
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
bool sameBits(const Vec3& a, const Vec3& b) {
    return bitsOf(a.x) == bitsOf(b.x) && bitsOf(a.y) == bitsOf(b.y) && bitsOf(a.z) == bitsOf(b.z);
}
Vec3 unit(const Vec3& t) {
    const double len = std::sqrt(static_cast<double>(t.x) * t.x + static_cast<double>(t.y) * t.y +
                                 static_cast<double>(t.z) * t.z);
    if (!(len > 0) || !std::isfinite(len)) return {};
    // + 0.0f: no negative zeros in the written file.
    return Vec3{static_cast<float>(t.x / len) + 0.0f, static_cast<float>(t.y / len) + 0.0f,
                static_cast<float>(t.z / len) + 0.0f};
}
void add(Vec3& t, const Vec3& n) {
    t.x += n.x;
    t.y += n.y;
    t.z += n.z;
}
// Corners at one position compared pairwise up to this many; beyond it
// (only a degenerate or hostile model) they count as one smooth surface, so
// the work stays linear.
constexpr std::size_t kPairwiseMax = 256;

// Ids of keys numbered in the order first met: an open-addressed table of
// ids over the keys kept in id order (no node per key, and growing only
// rehashes the dense key list). Each slot carries the hash's high half
// beside the id, so a probe past another key rarely reads that key: those
// reads went to random places in the key list.
class PosIds {
public:
    explicit PosIds(std::size_t expected) {
        std::size_t cap = 16;
        while (cap < 2 * expected) cap *= 2;
        slots_.assign(cap, kEmpty);
        keys_.reserve(expected);
    }
    std::int32_t idOf(const PosKey& k) {
        const std::size_t mask = slots_.size() - 1;
        const std::size_t h = PosHash{}(k);
        const std::uint64_t tag = tagOf(h);
        for (std::size_t i = h & mask;; i = (i + 1) & mask) {
            const std::uint64_t slot = slots_[i];
            if (slot == kEmpty) {
                slots_[i] = tag | keys_.size();
                keys_.push_back(k);
                if (2 * keys_.size() > slots_.size()) grow();
                return static_cast<std::int32_t>(keys_.size()) - 1;
            }
            const auto id = static_cast<std::uint32_t>(slot);
            if ((slot & ~std::uint64_t{0xFFFFFFFF}) == tag && keys_[id] == k) return static_cast<std::int32_t>(id);
        }
    }
    // A key's first slot, to be fetched ahead of its lookup: the slots are
    // reached at random, and that miss was most of the grouping's time.
    // (The prefetch stays with the caller: GCC drops a call to a function
    // that only prefetches, as free of effects.)
    const std::uint64_t* firstSlot(const PosKey& k) const { return &slots_[PosHash{}(k) & (slots_.size() - 1)]; }
    std::int32_t size() const { return static_cast<std::int32_t>(keys_.size()); }
    const PosKey& key(std::int32_t id) const { return keys_[static_cast<std::size_t>(id)]; }

private:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    static std::uint64_t tagOf(std::size_t h) { return static_cast<std::uint64_t>(h) >> 32 << 32; }
    void grow() {
        slots_.assign(slots_.size() * 2, kEmpty);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t id = 0; id < keys_.size(); ++id) {
            const std::size_t h = PosHash{}(keys_[id]);
            std::size_t i = h & mask;
            while (slots_[i] != kEmpty) i = (i + 1) & mask;
            slots_[i] = tagOf(h) | id;
        }
    }
    std::vector<std::uint64_t> slots_;
    std::vector<PosKey> keys_;
};

}  // namespace

std::int32_t resolveNormals(Diagnostics& diag, ModelStore& m, const NormalChoice& choice) {
    const std::int32_t nV = std::max(0, std::min<std::int32_t>(m.ttlnum_Vertices, static_cast<std::int32_t>(m.Vertices.size())));
    const std::int32_t nF = std::max(0, std::min<std::int32_t>(m.ttlnum_Faces, static_cast<std::int32_t>(m.VFaces.size())));
    const bool hasCorner = !m.cornerNormals.empty() || !m.vertexNormals.empty();
    const bool hasSmooth = !m.faceSmoothing.empty();
    if (!hasCorner && !hasSmooth && m.num_Normals != 0 && !(choice.recalc && !choice.keepOwn)) return 0;
    diag.logMsg("Calculating Vertex Normals", 1);
    // Sized before the work arrays below, to take the room the reader freed.
    m.growVertices(static_cast<std::size_t>(nV) + 1);
    m.sizeNormals();
    auto usable = [&](std::int32_t f) {
        for (std::int32_t v : m.faceAt(f).vtx)
            if (v < 0 || v >= nV) return false;
        return true;
    };
    auto own = [&](std::size_t c) { return m.ownNormal(c); };
    auto mask = [&](std::int32_t f) -> std::uint32_t {
        // A face the groups do not cover smooths with every face.
        return static_cast<std::size_t>(f) < m.faceSmoothing.size() ? m.faceSmoothing[static_cast<std::size_t>(f)]
                                                                     : ~std::uint32_t{0};
    };

    // Every corner keeping a usable normal of the source's (a glTF or an
    // OBJ with normals) leaves nothing to group, and nothing to hold per
    // corner: each is its own normal made unit, worked out where used.
    std::vector<Vec3> cn;  // per corner, unless plain or ownOnly
    // Where no vertex has two corners (a mesh split per face) and the source
    // gave no normals, a corner's normal is its vertex's: worked out in the
    // store's normals, with no per-corner array.
    bool alone = false;
    auto cnAt = [&](std::size_t c) -> Vec3& {
        return alone ? m.Normals[static_cast<std::size_t>(m.faceAt(c / 3).vtx[c % 3])] : cn[c];
    };
    bool ownOnly = choice.keepOwn && hasCorner;
    // Normals given per vertex are the same at each of its corners: each
    // vertex is looked at once.
    const bool perVertex = m.cornerNormals.empty() && !m.vertexNormals.empty();
    std::vector<std::uint8_t> looked(perVertex && ownOnly ? static_cast<std::size_t>(nV) : 0, 0);
    for (std::int32_t f = 0; f < nF && ownOnly; ++f) {
        if (!usable(f)) continue;
        for (std::size_t c = static_cast<std::size_t>(f) * 3; c < static_cast<std::size_t>(f) * 3 + 3; ++c) {
            if (perVertex) {
                auto& seen = looked[static_cast<std::size_t>(m.faceAt(f).vtx[c % 3])];
                if (seen) continue;
                seen = 1;
            }
            if (unit(own(c)) == Vec3{}) ownOnly = false;
        }
    }
    std::vector<std::uint8_t>().swap(looked);
    // Without smoothing groups or source normals every corner takes the sum
    // of all weights at its position: summed as the ids are given out, with
    // no corner lists.
    const bool plain = !hasSmooth && !hasCorner;
    std::vector<std::int32_t> posOf;  // corner -> position group
    std::vector<Vec3> posNormal;      // plain: per position group
    if (!ownOnly) {
        // Corners grouped by position within one surface (CSR: start of each
        // group, corner list). A surface is one mesh and, unless smoothing
        // groups say otherwise, one material: meshes that touch and a change
        // of material are edges.
        // Meshes are fewer than 2^15 (dssAddMesh), materials count by their low 16 bits.
        std::vector<std::int16_t> meshOf(static_cast<std::size_t>(nV), -1);
        // Ranges a damaged source made overlap must not cost meshes times
        // vertices: beyond a few passes over the vertices the rest stay apart.
        std::int64_t budget = 4 * std::int64_t{nV} + 1024;
        for (std::size_t i = 0; i < m.Meshes.size() && budget > 0; ++i) {
            const Mesh& me = m.Meshes[i];
            if (me.num_Vertices <= 0) continue;
            const std::int32_t from = std::max(0, me.vtx_ndx_stt), to = std::min(me.vtx_ndx_end, nV - 1);
            budget -= std::max(0, to - from + 1);
            for (std::int32_t v = from; v <= to; ++v) meshOf[static_cast<std::size_t>(v)] = static_cast<std::int16_t>(i);
        }
        std::vector<std::uint16_t> materialOf(static_cast<std::size_t>(nF), 0xFFFF);
        if (!hasSmooth)
            for (std::int32_t g = 0; g < m.nFaceGrps && static_cast<std::size_t>(g) < m.FaceGrps.size(); ++g) {
                const FaceGroup& fg = m.groupAt(g);
                const std::size_t n = std::min(static_cast<std::size_t>(std::max(0, fg.nFcs)), fg.FgGlblFaces.size());
                for (std::size_t i = 0; i < n; ++i)
                    if (fg.FgGlblFaces[i] >= 0 && fg.FgGlblFaces[i] < nF)
                        materialOf[static_cast<std::size_t>(fg.FgGlblFaces[i])] = static_cast<std::uint16_t>(fg.MtlID & 0xFFFF);
            }
        // Each corner adds its face's unit normal times the face's angle there:
        // a polygon then counts the same however it was cut into triangles
        // (by area, the triangles of one quad could weigh 2:1 at a corner).
        // A face's three corners share its three edges: the edge from corner
        // k+2 to k is the negated edge from k to k+2, and negation is exact,
        // so each corner's numbers are the ones it would get on its own.
        auto faceWeights = [&](std::int32_t f, const Vec3& u, Vec3 out[3]) {
            const Face& face = m.faceAt(f);
            double e[3][3], len[3];
            for (int k = 0; k < 3; ++k) {
                const Vec3& p = m.vertexAt(face.vtx[k]).pos;
                const Vec3& q = m.vertexAt(face.vtx[(k + 1) % 3]).pos;
                e[k][0] = double(q.x) - p.x;
                e[k][1] = double(q.y) - p.y;
                e[k][2] = double(q.z) - p.z;
                len[k] = std::sqrt(e[k][0] * e[k][0] + e[k][1] * e[k][1] + e[k][2] * e[k][2]);
            }
            for (int k = 0; k < 3; ++k) {
                const double* a = e[k];
                const double b[3] = {-e[(k + 2) % 3][0], -e[(k + 2) % 3][1], -e[(k + 2) % 3][2]};
                const double la = len[k], lb = len[(k + 2) % 3];
                double angle = 0;
                if (la > 0 && lb > 0 && std::isfinite(la * lb))
                    // Rounded to float: the C libraries' acos differ in the last
                    // bits, and the written normals must not differ between systems.
                    angle = static_cast<float>(
                        std::acos(std::clamp((a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (la * lb), -1.0, 1.0)));
                out[k] = Vec3{static_cast<float>(u.x * angle), static_cast<float>(u.y * angle), static_cast<float>(u.z * angle)};
            }
        };
        // Faces that cancel out (the two sides of a sheet) leave rounding noise:
        // zero, and the corner's own face says more.
        auto resolved = [](const Vec3& sum, double size) {
            const double len = std::sqrt(static_cast<double>(sum.x) * sum.x + static_cast<double>(sum.y) * sum.y +
                                         static_cast<double>(sum.z) * sum.z);
            return len > 1e-6 * size ? unit(sum) : Vec3{};
        };

        posOf.assign(static_cast<std::size_t>(nF) * 3, -1);
        std::int32_t nPos = 0;
        struct Sum {
            Vec3 all;
            double size = 0;  // the faces' normals' lengths added up
        };
        std::vector<Sum> sums;
        {
            // A vertex's corners mostly share one surface: the id its last
            // corner got saves hashing the position again. Where vertices
            // are hardly shared (a 3DS mesh split per face) it saves nothing,
            // and several vertices share each position.
            const bool shared = std::int64_t{nF} * 3 > std::int64_t{nV} * 2;
            PosIds ids(static_cast<std::size_t>(nV) / (shared ? 1 : 4));
            std::vector<std::int32_t> last(shared ? static_cast<std::size_t>(nV) : 0, -1);
            // Mesh and material in one number: meshes are fewer than 2^15.
            auto surfaceOf = [&](std::int32_t f, std::int32_t v) {
                return meshOf[static_cast<std::size_t>(v)] * 65536 + materialOf[static_cast<std::size_t>(f)];
            };
            auto keyOf = [&](std::int32_t f, std::int32_t v) {
                const Vec3& p = m.vertexAt(v).pos;
                return PosKey{surfaceOf(f, v), bitsOf(p.x), bitsOf(p.y), bitsOf(p.z)};
            };
            constexpr std::int32_t kAhead = 8;
            for (std::int32_t f = 0; f < nF; ++f) {
                if (f + kAhead < nF && usable(f + kAhead))
                    for (std::int32_t v : m.faceAt(f + kAhead).vtx)
                        if (!shared || last[static_cast<std::size_t>(v)] < 0) __builtin_prefetch(ids.firstSlot(keyOf(f + kAhead, v)));
                if (!usable(f)) continue;
                Vec3 fw[3];
                if (plain) faceWeights(f, unit(faceNormal(m, f)), fw);
                for (int k = 0; k < 3; ++k) {
                    const std::int32_t v = m.faceAt(f).vtx[k];
                    std::int32_t unshared = -1;
                    std::int32_t& id = shared ? last[static_cast<std::size_t>(v)] : unshared;
                    if (id < 0 || ids.key(id).mesh != surfaceOf(f, v)) id = ids.idOf(keyOf(f, v));
                    posOf[static_cast<std::size_t>(f) * 3 + static_cast<std::size_t>(k)] = id;
                    if (plain) {
                        // Added in corner order, as the grouped path adds them.
                        if (static_cast<std::size_t>(id) == sums.size()) sums.emplace_back();
                        Sum& t = sums[static_cast<std::size_t>(id)];
                        const Vec3& w = fw[k];
                        add(t.all, w);
                        t.size += std::sqrt(static_cast<double>(w.x) * w.x + static_cast<double>(w.y) * w.y +
                                            static_cast<double>(w.z) * w.z);
                    }
                }
            }
            nPos = ids.size();
        }
        std::vector<std::int16_t>().swap(meshOf);
        std::vector<std::uint16_t>().swap(materialOf);
        // Plain: a position's normal, or zero where its faces cancel out.
        if (plain) {
            posNormal.resize(sums.size());
            for (std::size_t p = 0; p < sums.size(); ++p) posNormal[p] = resolved(sums[p].all, sums[p].size);
            std::vector<Sum>().swap(sums);
        }
        if (!plain) {
            std::vector<std::int32_t> start(static_cast<std::size_t>(nPos) + 1, 0);
            for (std::int32_t g : posOf)
                if (g >= 0) ++start[static_cast<std::size_t>(g) + 1];
            for (std::size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
            std::vector<std::int32_t> corners(static_cast<std::size_t>(start.back()));
            {
                std::vector<std::int32_t> fill(start.begin(), start.end() - 1);
                for (std::size_t c = 0; c < posOf.size(); ++c)
                    if (posOf[c] >= 0) corners[static_cast<std::size_t>(fill[static_cast<std::size_t>(posOf[c])]++)] = static_cast<std::int32_t>(c);
            }
            std::vector<std::int32_t>().swap(posOf);

            // Corner normals; without kept normals they first hold every corner's
            // weight, worked out face by face (one unit normal each, in memory
            // order). A position's weights are all read before its normals are
            // written, and no two positions share a corner.
            alone = !hasCorner && std::int64_t{nF} * 3 <= std::int64_t{nV};
            if (alone) {
                std::vector<std::uint8_t> seen(static_cast<std::size_t>(nV), 0);
                for (std::int32_t f = 0; f < nF && alone; ++f) {
                    if (!usable(f)) continue;
                    for (std::int32_t v : m.faceAt(f).vtx) {
                        if (seen[static_cast<std::size_t>(v)]) alone = false;
                        seen[static_cast<std::size_t>(v)] = 1;
                    }
                }
            }
            if (!alone) cn.resize(static_cast<std::size_t>(nF) * 3);
            const bool early = !(choice.keepOwn && hasCorner);
            if (early)
                for (std::int32_t f = 0; f < nF; ++f) {
                    if (!usable(f)) continue;
                    Vec3 fw[3];
                    faceWeights(f, unit(faceNormal(m, f)), fw);
                    for (std::int32_t k = 0; k < 3; ++k) cnAt(static_cast<std::size_t>(f) * 3 + static_cast<std::size_t>(k)) = fw[k];
                }
            auto weight = [&](std::int32_t corner) {
                if (early) return cnAt(static_cast<std::size_t>(corner));
                Vec3 fw[3];
                faceWeights(corner / 3, unit(faceNormal(m, corner / 3)), fw);
                return fw[corner % 3];
            };

            // The normal of every corner. Weights are worked out per position, and
            // only where a corner there does not keep its own normal.
            std::vector<Vec3> w;  // the weights of one position's corners
            for (std::int32_t p = 0; p < nPos; ++p) {
                const std::int32_t* b = corners.data() + start[static_cast<std::size_t>(p)];
                const std::size_t n = static_cast<std::size_t>(start[static_cast<std::size_t>(p) + 1] - start[static_cast<std::size_t>(p)]);
                bool computed = false;
                for (std::size_t i = 0; i < n; ++i) {
                    const std::size_t c = static_cast<std::size_t>(b[i]);
                    const Vec3 o = own(c);
                    if (choice.keepOwn && !(o == Vec3{})) {
                        cnAt(c) = unit(o);
                        if (!(cnAt(c) == Vec3{})) continue;
                    }
                    computed = true;
                }
                if (!computed) continue;
                w.resize(n);
                bool allDone = false;
                Vec3 allNormal;
                Vec3 all{};
                double size = 0;  // the faces' normals' lengths added up
                for (std::size_t i = 0; i < n; ++i) {
                    const Vec3& f = w[i] = weight(b[i]);
                    add(all, f);
                    size += std::sqrt(static_cast<double>(f.x) * f.x + static_cast<double>(f.y) * f.y +
                                      static_cast<double>(f.z) * f.z);
                }
                for (std::size_t i = 0; i < n; ++i) {
                    const std::size_t c = static_cast<std::size_t>(b[i]);
                    const std::int32_t f = b[i] / 3;
                    const Vec3 o = own(c);
                    const bool authored = !(o == Vec3{});
                    if (authored && choice.keepOwn && !(cnAt(c) == Vec3{})) continue;
                    Vec3 sum{};
                    if (n > kPairwiseMax || (!hasSmooth && !authored)) {
                        // The same sum for each such corner: its normal once.
                        if (!allDone) {
                            allDone = true;
                            allNormal = resolved(all, size);
                        }
                        if (!(allNormal == Vec3{})) {
                            cnAt(c) = allNormal;
                            continue;
                        }
                        sum = all;
                    } else {
                        for (std::size_t j = 0; j < n; ++j) {
                            const std::int32_t g = b[j] / 3;
                            const bool same = g == f || (hasSmooth ? (mask(f) & mask(g)) != 0
                                                                   : sameBits(own(static_cast<std::size_t>(b[j])), o));
                            if (same) add(sum, w[j]);
                        }
                    }
                    cnAt(c) = resolved(sum, size);
                    if (cnAt(c) == Vec3{}) cnAt(c) = unit(faceNormal(m, f));
                }
            }
        }
    }
    auto cornerNormal = [&](std::int32_t f, std::size_t c) {
        if (ownOnly) return unit(own(c));
        if (!plain) return cnAt(c);
        const Vec3& n = posNormal[static_cast<std::size_t>(posOf[c])];
        return n == Vec3{} ? unit(faceNormal(m, f)) : n;
    };

    // Vertices: the first corner's normal; a corner that differs takes (or
    // makes) a copy carrying its own.
    // Written over the store's normals, which an unused vertex keeps.
    std::vector<std::uint8_t> set(static_cast<std::size_t>(nV), 0);
    const bool hadNormals = m.num_Normals != 0;
    std::vector<Vec3>& vn = m.Normals;
    struct Copy {
        std::int32_t of;
        Vec3 n;
    };
    std::vector<Copy> copies;
    std::unordered_map<std::int32_t, std::vector<std::int32_t>> copiesOf;  // vertex -> indices into copies
    std::vector<std::int32_t> cornerCopy;  // corner -> copy index, -1 none (only once copies exist)
    for (std::int32_t f = 0; f < nF; ++f) {
        if (!usable(f)) continue;
        for (int k = 0; k < 3; ++k) {
            const std::int32_t v = m.faceAt(f).vtx[k];
            const std::size_t c = static_cast<std::size_t>(f) * 3 + static_cast<std::size_t>(k);
            const auto vi = static_cast<std::size_t>(v);
            if (ownOnly && perVertex && set[vi]) continue;  // the vertex's one normal, already set
            const Vec3 n = cornerNormal(f, c);
            if (!set[vi]) {
                set[vi] = 1;
                vn[vi] = n;
                continue;
            }
            if (sameBits(vn[vi], n)) continue;
            std::vector<std::int32_t>& mine = copiesOf[v];
            std::int32_t found = -1;
            for (std::int32_t ci : mine)
                if (sameBits(copies[static_cast<std::size_t>(ci)].n, n)) found = ci;
            if (found < 0) {
                found = static_cast<std::int32_t>(copies.size());
                copies.push_back(Copy{v, n});
                mine.push_back(found);
            }
            if (cornerCopy.empty()) cornerCopy.assign(static_cast<std::size_t>(nF) * 3, -1);
            cornerCopy[c] = found;
        }
    }
    // A vertex no face uses keeps the normal it had, or none.
    if (!hadNormals)
        for (std::int32_t v = 0; v < nV; ++v)
            if (!set[static_cast<std::size_t>(v)]) vn[static_cast<std::size_t>(v)] = Vec3{};

    const auto added = static_cast<std::int32_t>(copies.size());
    if (added > 0) {
        // New numbering: each vertex, then its copies.
        std::vector<std::int32_t> newOf(static_cast<std::size_t>(nV) + 1);
        std::vector<std::int32_t> copyAt(copies.size());
        std::vector<std::int32_t> from;  // new vertex -> the one it copies
        std::vector<Vec3> norms;
        const std::size_t total = static_cast<std::size_t>(nV) + copies.size();
        from.reserve(total);
        norms.reserve(total + 1001);
        for (std::int32_t v = 0; v < nV; ++v) {
            newOf[static_cast<std::size_t>(v)] = static_cast<std::int32_t>(from.size());
            from.push_back(v);
            norms.push_back(vn[static_cast<std::size_t>(v)]);
            if (auto it = copiesOf.find(v); it != copiesOf.end())
                for (std::int32_t ci : it->second) {
                    copyAt[static_cast<std::size_t>(ci)] = static_cast<std::int32_t>(from.size());
                    from.push_back(v);
                    norms.push_back(copies[static_cast<std::size_t>(ci)].n);
                }
        }
        newOf[static_cast<std::size_t>(nV)] = static_cast<std::int32_t>(from.size());
        for (std::int32_t f = 0; f < nF; ++f) {
            Face& face = m.faceAt(f);
            if (!usable(f)) continue;
            for (int k = 0; k < 3; ++k) {
                const std::size_t c = static_cast<std::size_t>(f) * 3 + static_cast<std::size_t>(k);
                const std::int32_t ci = cornerCopy[c];
                face.vtx[k] = ci >= 0 ? copyAt[static_cast<std::size_t>(ci)] : newOf[static_cast<std::size_t>(face.vtx[k])];
            }
        }
        for (Mesh& me : m.Meshes) {
            if (me.num_Vertices <= 0 || me.vtx_ndx_stt < 0 || me.vtx_ndx_end < me.vtx_ndx_stt || me.vtx_ndx_end >= nV)
                continue;
            me.vtx_ndx_stt = newOf[static_cast<std::size_t>(me.vtx_ndx_stt)];
            me.vtx_ndx_end = newOf[static_cast<std::size_t>(me.vtx_ndx_end) + 1] - 1;
            me.num_Vertices = me.vtx_ndx_end - me.vtx_ndx_stt + 1;
        }
        norms.resize(total + 1001);
        m.gatherVertices(from, 1001);
        m.Normals = std::move(norms);
        m.ttlnum_Vertices = static_cast<std::int32_t>(total);
        if (diag.logWanted(1))
            diag.logMsg(std::to_string(added) + " vertices copied where their faces' normals differ", 1);
    }
    m.num_Normals = m.ttlnum_Vertices;
    diag.logMsg("Vertex Normals Done", 1);
    return added;
}

}  // namespace molv
