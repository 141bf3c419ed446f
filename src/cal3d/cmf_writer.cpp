#include "cal3d/cmf_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "model/store.h"
#include "core/diagnostics.h"
#include "core/settings.h"
#include "model/io_env.h"
#include "util/binio.h"
#include "util/fileio.h"
#include "util/numfmt.h"

namespace molv {

namespace {

// Where the mesh's bytes go: kept whole in memory, or handed to a file in
// pieces of about kChunk bytes, so a million-triangle mesh never needs its
// whole file in memory.
class CmfSink {
public:
    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    explicit CmfSink(AtomicFile* file) : file_(file) {
        if (file_) w.reserve(kChunk + 4096);
    }
    ByteWriter w;
    // Offset of the next byte in the whole file.
    std::size_t offset() const { return flushed_ + w.size(); }
    void drainIfFull() {
        if (file_ && w.size() >= kChunk) drain();
    }
    // Writes out what is held and sets the submesh count in the header.
    void finish(std::int32_t submeshes) {
        if (!file_) {
            w.patchI32(8, submeshes);
            return;
        }
        drain();
        ByteWriter count;
        count.i32(submeshes);
        file_->patch(8, count.bytes());
    }

private:
    void drain() {
        flushed_ += w.size();
        file_->write(w.bytes());
        w.bytes().clear();
    }
    AtomicFile* file_;
    std::size_t flushed_ = 0;
};

void writeCmfHeader(ByteWriter& w, std::int32_t version, std::int32_t submeshes) {
    w.raw(std::string_view("CMF\0", 4));
    w.i32(version);
    w.i32(submeshes);
}

// Little-endian fields into a record buffer, whatever the host's order: a
// vertex goes out in one append (a few for many UV sets or influences)
// rather than one per field.
struct Record {
    char b[128];
    std::size_t n = 0;
    void u32(std::uint32_t v) {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(b + n, &v, 4);
            n += 4;
        } else {
            for (int i = 0; i < 4; ++i) b[n++] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        u32(u);
    }
    void flushTo(ByteWriter& w) {
        w.raw(std::string_view(b, n));
        n = 0;
    }
    // Flushes first unless k more bytes fit.
    void roomFor(ByteWriter& w, std::size_t k) {
        if (n + k > sizeof b) flushTo(w);
    }
};

// One vertex record. UV pairs and influences the store does not hold are
// written as zeros / the prop bone, so the record always has the length the
// header promises.
void writeCmfVertex(WriteEnv& env, ByteWriter& w, std::int32_t v, std::int32_t maps) {
    const ModelStore& m = env.model;
    const Vertex& vx = m.vertexAt(v);
    const Vec3 n = m.normalOf(v);
    Record r;
    r.f32(vx.pos.x);
    r.f32(vx.pos.z);
    r.f32(vx.pos.y);
    r.f32(n.x);
    r.f32(n.z);
    r.f32(n.y);
    r.i32(m.collapseId(v));
    r.i32(m.faceCollapseCount(v));
    for (std::int32_t k = 0; k < maps; ++k) {
        r.roomFor(w, 8);
        if (static_cast<std::uint32_t>(k) < vx.UVs.size()) {
            r.f32(vx.UVs[static_cast<std::uint32_t>(k)].u);
            r.f32(vx.UVs[static_cast<std::uint32_t>(k)].v);
        } else {
            r.f32(0);
            r.f32(0);
        }
    }
    const VertexSkin& skin = m.skinOf(v);
    const std::uint32_t nInfl = std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max(0, skin.num_Influences)),
                                                        skin.Influences.size());
    r.roomFor(w, 12);
    if (nInfl < 1) {
        r.i32(1);
        r.i32(env.settings.dflt_boneID);
        r.f32(1.0f);
    } else {
        r.i32(static_cast<std::int32_t>(nInfl));
        for (std::uint32_t k = 0; k < nInfl; ++k) {
            r.roomFor(w, 8);
            r.i32(skin.Influences[k].boneId);
            r.f32(skin.Influences[k].weight);
        }
    }
    r.flushTo(w);
}

void traceVertex(WriteEnv& env, std::size_t offset, std::int32_t v, std::int32_t local) {
    const ModelStore& m = env.model;
    const Vertex& vx = m.vertexAt(v);
    const Vec3 n = m.normalOf(v);
    const VertexSkin& skin = m.skinOf(v);
    std::string t = hexOf(static_cast<std::int32_t>(offset), 6) + ": V[" + std::to_string(local) + "] " +
                    numText(vx.pos.x) + " " + numText(vx.pos.z) + " " + numText(vx.pos.y) + ": Nml " +
                    numText(n.x) + " " + numText(n.z) + " " + numText(n.y) + ": Cid/cnt " +
                    std::to_string(m.collapseId(v)) + " " + std::to_string(m.faceCollapseCount(v));
    if (vx.UVs.size() > 0) t += " UV " + numText(vx.UVs[0].u) + " " + numText(vx.UVs[0].v);
    t += ": Ninfl " + std::to_string(skin.num_Influences);
    for (std::uint32_t k = 0; k < skin.Influences.size() && static_cast<std::int32_t>(k) < skin.num_Influences; ++k)
        t += " Bn/Wt " + std::to_string(skin.Influences[k].boneId) + " " + numText(skin.Influences[k].weight);
    env.diag.logFileIfDebug(t, 2);
}

// One submesh for group g; false (nothing written) when the group has no
// usable face.
bool writeSubmesh(WriteEnv& env, CmfSink& out, GroupVertexNumbering& num, std::int32_t g, CmfResult& res) {
    ByteWriter& w = out.w;
    ModelStore& m = env.model;
    const FaceGroup& fg = m.groupAt(g);
    if (fg.nFcs <= 0) return false;
    if (env.diag.statusDue()) env.diag.showStatus("Grp:" + std::to_string(m.nSubMeshes));
    num.collect(m, g);
    res.skippedFaces += num.skippedFaces();
    if (num.faces().empty()) return false;

    const auto& verts = num.vertices();
    const auto& faces = num.faces();
    const std::int32_t nVtx = static_cast<std::int32_t>(verts.size());
    const std::int32_t nFcs = static_cast<std::int32_t>(faces.size());
    const std::int32_t maps = std::max(0, fg.num_maps);
    // Spring records are not kept in the store; a count without them would
    // make every reader misparse the rest of the file.
    if (fg.num_springs > 0) ++res.droppedSprings;

    w.i32(fg.MtlID);
    w.i32(nVtx);
    w.i32(nFcs);
    w.i32(fg.num_lod_steps);
    w.i32(0);
    w.i32(maps);
    if (env.diag.logWanted(1)) {
        env.diag.logMsg("--------------------", 1);
        env.diag.logMsg("subMesh FaceGrp[" + std::to_string(g) + "]: MatThrd=" + hexOf(fg.MtlID, 0) +
                       " nVtcs=" + std::to_string(nVtx) + "  nFcs=" + std::to_string(nFcs) +
                       " 0 0 nMaps=" + std::to_string(fg.num_maps),
                   1);
    }
    if (env.extraLog && env.diag.dbgLevel > 0) {
        env.diag.logFileIfDebug(hexOf(static_cast<std::int32_t>(out.offset()), 6) + ": " + hexOf(fg.MtlID, 0) + " " +
                           std::to_string(nVtx) + " " + std::to_string(nFcs) + " 00 00 " + std::to_string(maps));
    }
    if (env.diag.statusDue()) env.diag.showStatus("Grp-a:" + std::to_string(nVtx) + " Vtcs ");

    const bool trace = env.extraLog && env.diag.dbgLevel >= 2;
    for (std::int32_t k = 0; k < nVtx; ++k) {
        const std::int32_t v = verts[static_cast<std::size_t>(k)];
        writeCmfVertex(env, w, v, maps);
        if (trace && env.diag.detailWanted(k)) traceVertex(env, out.offset(), v, k);
        out.drainIfFull();
        if (v % 100 == 0 && env.diag.statusDue()) {
            env.diag.showStatus("V:" + std::to_string(v));
            env.diag.progress(v, m.ttlnum_Vertices);
        }
    }
    if (env.diag.statusDue()) env.diag.showStatus("Grp-b:" + std::to_string(m.nSubMeshes));

    for (std::int32_t k = 0; k < nFcs; ++k) {
        const Face& f = m.faceAt(faces[static_cast<std::size_t>(k)]);
        const std::int32_t a = num.localOf(f.vtx[2]), b = num.localOf(f.vtx[1]), c = num.localOf(f.vtx[0]);
        Record r;
        r.i32(a);
        r.i32(b);
        r.i32(c);
        r.flushTo(w);
        out.drainIfFull();
        if (trace && env.diag.detailWanted(k))
            env.diag.logFileIfDebug("F[" + std::to_string(k) + "] " + std::to_string(a) + " " + std::to_string(b) + " " +
                                   std::to_string(c),
                               2);
    }
    if (env.diag.logWanted(1)) {
        env.diag.logMsg("FaceGrp[" + std::to_string(g) + "] MtlID: " + std::to_string(fg.MtlID) +
                       " nFaces=" + std::to_string(nFcs) + " nVertices=" + std::to_string(nVtx),
                   1);
    }
    return true;
}

}  // namespace

namespace {

// The whole mesh into out; the submesh count is set once the submeshes are
// written, so that groups left with no usable face never make the header
// disagree with the body.
CmfResult writeCmfTo(WriteEnv& env, CmfSink& out) {
    ModelStore& m = env.model;
    CmfResult res;
    std::int32_t version = m.Meshes.empty() ? 0 : m.Meshes[0].cmf_version;
    if (version == 0) version = kDefaultCmfVersion;
    writeCmfHeader(out.w, version, 0);
    if (env.extraLog && env.diag.dbgLevel > 0)
        env.diag.logFileIfDebug("000000: CMF Ver=" + hexOf(version, 0));

    GroupVertexNumbering num;
    const std::int32_t nMeshes = std::min<std::int32_t>(m.meshCount, static_cast<std::int32_t>(m.Meshes.size()));
    for (std::int32_t mi = 0; mi < nMeshes; ++mi) {
        const Mesh& mesh = m.meshAt(mi);
        const std::int32_t first = std::max(0, mesh.face_grp_ndx_stt);
        const std::int32_t last = std::min(mesh.face_grp_ndx_end, m.nFaceGrps - 1);
        for (std::int32_t g = first; g <= last; ++g)
            if (writeSubmesh(env, out, num, g, res)) ++res.submeshes;
    }
    const std::size_t end = out.offset();
    out.finish(res.submeshes);
    if (env.extraLog && env.diag.dbgLevel > 0)
        env.diag.logFileIfDebug(hexOf(static_cast<std::int32_t>(end), 6) + ": nSubMeshes=" + hexOf(res.submeshes, 0));
    return res;
}

}  // namespace

std::string buildCmf(WriteEnv& env, CmfResult* result) {
    const ModelStore& m = env.model;
    CmfSink out(nullptr);
    out.w.reserve(12 + static_cast<std::size_t>(std::max(0, m.nFaceGrps)) * 24 +
                  static_cast<std::size_t>(std::max(0, m.ttlnum_Faces)) * 12 +
                  static_cast<std::size_t>(std::max(0, m.ttlnum_Vertices)) * 60);
    const CmfResult res = writeCmfTo(env, out);
    if (result) *result = res;
    return std::move(out.w.bytes());
}

bool writeCmf(WriteEnv& env, const std::string& outBase) {
    const std::string path = outBase + ".cmf";
    env.diag.logMsg("Write Mesh CMF: " + path + ", " + std::to_string(env.model.ttlnum_Vertices) + " vertices, " +
               std::to_string(env.model.ttlnum_Faces) + " triangles.");
    // Streamed into the temporary file; it takes the mesh's name only when
    // whole. A file that cannot be opened still goes through the same steps
    // (and log lines) before its failure is shown.
    AtomicFile file(path, env.files);
    CmfSink out(&file);
    const CmfResult res = writeCmfTo(env, out);
    if (res.skippedFaces > 0) {
        env.diag.logMsg(path + ": " + std::to_string(res.skippedFaces) +
                   " faces name a missing vertex or face; left out");
    }
    if (res.droppedSprings > 0) {
        env.diag.logMsg(path + ": springs of " + std::to_string(res.droppedSprings) +
                   " submeshes are not kept and were not written");
    }
    std::string err;
    if (!file.commit(err)) {
        env.writeFailed = true;
        env.diag.msgBox("Cannot write " + path + ": " + err);
        return false;
    }
    return true;
}

}  // namespace molv
