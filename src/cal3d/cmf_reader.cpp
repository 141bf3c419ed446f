#include "cal3d/cmf_reader.h"

#include <algorithm>
#include <cstdint>

#include "cal3d/cal3d_store.h"
#include "core/diagnostics.h"
#include "core/settings.h"
#include "model/io_env.h"
#include "model/store.h"
#include "model/store_fill.h"
#include "util/binio.h"
#include "util/fileio.h"
#include "util/numfmt.h"

namespace molv {

namespace {

constexpr std::int64_t kVertexFixedBytes = 6 * 4 + 2 * 4 + 4;  // position, normal, collapse, influence count

// A byte offset for the store's read position and the messages, which hold
// 32 bits; a file past 2 GB shows its last representable offset.
std::int32_t offset32(std::size_t at) { return static_cast<std::int32_t>(std::min<std::size_t>(at, 0x7FFFFFFF)); }

class CmfReader {
public:
    CmfReader(ReadEnv& env, std::string_view bytes, const std::string& source)
        : env_(env), m_(env.model), fill_(env), r_(bytes), source_(source) {}

    ReadResult run() {
        if (r_.size() < 12)
            return fail("The file " + source_ + " is too short for a Cal3D mesh: " + std::to_string(r_.size()) +
                        " bytes");
        const std::string_view magic = r_.bytes(4);
        if (magic != std::string_view("CMF\0", 4))
            return fail("The file " + source_ + " is not a Cal3D mesh: it does not start with CMF");
        const std::int32_t version = r_.i32();
        const std::int32_t n = r_.i32();
        fill_.readPos = 12;
        // Every submesh takes at least its 24-byte header.
        if (n < 0 || std::int64_t{n} * 24 > static_cast<std::int64_t>(r_.left()))
            return failAt(8, "submesh count " + std::to_string(n) + " does not fit the " +
                                 std::to_string(r_.left()) + " bytes that follow");
        m_.nSubMeshes = n;
        env_.diag.logMsg("Read Mesh: " + source_ + ", nSubMeshes=" + std::to_string(n) +
                         "   FileVer=" + std::to_string(version));
        mesh_ = fill_.dssAddMesh("cmf", 0);
        if (mesh_ < 0) return fail("No room for another mesh in the store");
        m_.meshAt(mesh_).cmf_version = version;
        for (std::int32_t i = 0; i < n; ++i) {
            ReadResult res = submesh(i);
            if (!res.ok()) return res;
        }
        env_.diag.logMsg("DONE");
        return {};
    }

private:
    ReadResult fail(std::string message) { return ReadResult::failedAt(std::move(message), source_, 0); }
    ReadResult failAt(std::size_t at, const std::string& what) {
        return ReadResult::failedAt(source_ + " at byte " + std::to_string(at) + " (0x" +
                                        hexOf(offset32(at), 6) + "): " + what,
                                    source_, static_cast<std::int64_t>(at));
    }
    ReadResult cutShort(const std::string& inside) {
        return failAt(r_.size(), "the file ends inside " + inside);
    }

    ReadResult submesh(std::int32_t index) {
        const std::size_t at = r_.pos();
        if (r_.left() < 24) return cutShort("the header of submesh " + std::to_string(index));
        const std::int32_t mt = r_.i32(), nv = r_.i32(), nf = r_.i32(), lod = r_.i32(), springs = r_.i32(),
                           maps = r_.i32();
        env_.diag.logMsg("subMesh: MatThrd=" + std::to_string(mt) + " nVtcs=" + std::to_string(nv) +
                         "  nFcs=" + std::to_string(nf) + " LOD=" + std::to_string(lod) +
                         "  Sprngs=" + std::to_string(springs) + "  nMaps = " + std::to_string(maps));
        // Counts are bounded by the bytes they need, not by fixed limits:
        // the mesh writer itself writes submeshes of any size.
        const std::int64_t vertexBytes = kVertexFixedBytes + 8 * std::int64_t{std::max(maps, 0)} + (springs > 0 ? 4 : 0);
        const bool bad = mt < -1 || nv < 0 || nf < 0 || lod < 0 || lod > kMaxLodSteps || springs < 0 || maps < 0 ||
                         maps > kMaxUvSets ||
                         std::int64_t{nv} * vertexBytes + std::int64_t{springs} * 16 + std::int64_t{nf} * 12 >
                             static_cast<std::int64_t>(r_.left());
        if (bad) {
            const std::string values = std::to_string(mt) + " " + std::to_string(nv) + " " + std::to_string(nf) + " " +
                                       std::to_string(lod) + " " + std::to_string(springs) + " " + std::to_string(maps);
            const std::string text = hexOf(offset32(at), 6) + ": Bad data: " +
                                     " material_thread_id=" + std::to_string(mt) +
                                     " num_submesh_Vertices=" + std::to_string(nv) +
                                     " num_submesh_Faces=" + std::to_string(nf) + " num_lod_steps=" +
                                     std::to_string(lod) + " num_springs=" + std::to_string(springs) +
                                     " num_maps=" + std::to_string(maps) + "\r\n" + values;
            env_.diag.logMsg(text);
            return ReadResult::failedAt(text + "\r\n(submesh " + std::to_string(index) + " of " + source_ +
                                            " at byte " + std::to_string(at) + ")",
                                        source_, static_cast<std::int64_t>(at));
        }
        // With materials loaded (a viewer configuration), the thread id must name one.
        if (m_.nMaterials > 0 && (mt < 0 || mt >= m_.nMaterials))
            return failAt(at, "submesh " + std::to_string(index) + " names material thread " + std::to_string(mt) +
                                  ", beyond the " + std::to_string(m_.nMaterials) + " materials read");
        m_.reserveFor(nv, nf);
        const std::int32_t base = fill_.AddMeshVertices(mesh_, nv);
        Mesh& mesh = m_.meshAt(mesh_);
        mesh.num_UVsets = maps;
        const std::int32_t g = addSubmeshGroup(fill_, mt, nf, maps, lod, springs);
        fill_.readPos = offset32(r_.pos());

        for (std::int32_t i = 0; i < nv; ++i) {
            ReadResult res = vertex(maps, springs, i, base);
            if (!res.ok()) return res;
            if (i % 100 == 0 && env_.diag.statusDue()) {
                env_.diag.showStatus("V:" + std::to_string(i));
                env_.diag.progress(static_cast<std::int64_t>(r_.pos()), static_cast<std::int64_t>(r_.size()));
            }
        }
        r_.skip(static_cast<std::size_t>(springs) * 16);  // within the bytes checked above

        for (std::int32_t j = 0; j < nf; ++j) {
            const std::size_t fat = r_.pos();
            const std::int32_t c1 = r_.i32(), c2 = r_.i32(), c3 = r_.i32();
            if (!r_.ok()) return cutShort("face " + std::to_string(j) + " of submesh " + std::to_string(index));
            for (std::int32_t c : {c1, c2, c3})
                if (c < 0 || c >= nv)
                    return failAt(fat, "face " + std::to_string(j) + " of submesh " + std::to_string(index) +
                                           " names vertex " + std::to_string(c) + " of its " + std::to_string(nv));
            fill_.readPos = offset32(fat);
            fill_.AddFace(mesh_, base, c1, c2, c3);
            FaceGroup& fg = m_.groupAt(g);
            const std::int32_t global = m_.ttlnum_Faces - 1;
            fg.FgFaces[static_cast<std::size_t>(j)] = global - m_.meshAt(mesh_).face_ndx_stt;
            fg.FgGlblFaces[static_cast<std::size_t>(j)] = global;
            fg.nFcs = j + 1;
            if (j % 100 == 0 && env_.diag.statusDue()) env_.diag.showStatus("F:" + std::to_string(j));
        }
        return {};
    }

    ReadResult vertex(std::int32_t maps, std::int32_t springs, std::int32_t i, std::int32_t base) {
        const std::size_t at = r_.pos();
        const float X = r_.f32(), Y = r_.f32(), Z = r_.f32();
        const float NX = r_.f32(), NY = r_.f32(), NZ = r_.f32();
        const std::int32_t cid = r_.i32(), ccount = r_.i32();
        std::int32_t v = base + i;
        Vertex* vx = nullptr;
        if (env_.settings.rawDataLoad)
            fill_.AddVertex(v, X, Y, Z, X, Z, Y, i, false);
        else
            fill_.AddVertex(v, X, Z, Y, X, Y, Z, i, false);
        vx = &m_.vertexAt(v);
        m_.normalAt(v) = Vec3{NX, NZ, NY};
        m_.num_Normals += 1;
        m_.setCollapse(v, cid, ccount);
        vx->UVs.clear();
        vx->UVs.resize(static_cast<std::uint32_t>(maps));
        vx->num_UVs = static_cast<std::int16_t>(maps);
        for (std::int32_t k = 0; k < maps; ++k) {
            const float u = r_.f32(), w = r_.f32();
            vx->UVs[static_cast<std::uint32_t>(k)] = UV{u, w};
        }
        const std::size_t inflAt = r_.pos();
        const std::int32_t k = r_.i32();
        if (!r_.ok()) return cutShort("vertex " + std::to_string(i));
        if (k < 0 || k > kMaxInfluences)
            return failAt(inflAt, "Bad number influences: " + std::to_string(k) + " (vertex " + std::to_string(i) + ")");
        // Every influence is kept: the store has no limit of four.
        VertexSkin& skin = m_.skinAt(v);
        skin.Influences.clear();
        skin.Influences.resize(static_cast<std::uint32_t>(k));
        for (std::int32_t n = 0; n < k; ++n) {
            const std::int32_t bone = r_.i32();
            const float weight = r_.f32();
            skin.Influences[static_cast<std::uint32_t>(n)] = Influence{bone, weight};
        }
        skin.num_Influences = k;
        if (springs > 0) r_.f32();  // the spring weight is not kept
        if (!r_.ok()) return cutShort("vertex " + std::to_string(i));
        if (env_.diag.dbgLevel >= 3 && env_.diag.detailWanted(i, 3)) dump(at, i);
        return {};
    }

    // The developer dump: the record's words in hexadecimal, as read.
    void dump(std::size_t at, std::int32_t i) {
        ByteReader w(r_);
        w.seek(at);
        std::string t = hexOf(offset32(at), 6) + ": V[" + std::to_string(i) + "] : vtxXYZ:";
        for (int n = 0; n < 3; ++n) t += " " + hexOf(w.i32(), 8);
        t += " : nmlXYZ:";
        for (int n = 0; n < 3; ++n) t += " " + hexOf(w.i32(), 8);
        t += " : cid: " + hexOf(w.i32(), 0) + " " + hexOf(w.i32(), 0);
        env_.diag.logFileIfDebug(t, 3);
    }

    ReadEnv& env_;
    ModelStore& m_;
    StoreFill fill_;
    ByteReader r_;
    std::string source_;
    std::int32_t mesh_ = 0;
};

}  // namespace

ReadResult readCmfBytes(ReadEnv& env, std::string_view bytes, const std::string& sourceName) {
    return CmfReader(env, bytes, sourceName).run();
}

ReadResult readCmf(ReadEnv& env, const std::string& path) {
    std::string bytes, err;
    if (!fileExists(path) || !readWholeFile(path, bytes, err)) return ReadResult::failed("Not found: " + path, path);
    return readCmfBytes(env, bytes, path);
}

}  // namespace molv
