// The one door through which tests set up a run and call readers, writers
// and the conversion: when those signatures change, this file and its .cpp
// change, the tests mostly do not.
#pragma once
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cal3d/cal3d_set.h"
#include "cal3d/cal3d_xml_readers.h"
#include "cal3d/cfg_reader.h"
#include "cal3d/cmf_reader.h"
#include "cal3d/cmf_writer.h"
#include "cal3d/crf_reader.h"
#include "cal3d/csf_reader.h"
#include "convert/context.h"
#include "convert/fixups.h"
#include "core/read_result.h"
#include "core/scripted_ui.h"
#include "formats/an8_reader.h"
#include "formats/an8_writer.h"
#include "formats/dae_reader.h"
#include "formats/gltf_reader.h"
#include "formats/listings.h"
#include "formats/mtl_reader.h"
#include "formats/obj_reader.h"
#include "formats/obj_writer.h"
#include "formats/tds_reader.h"
#include "formats/txm_reader.h"
#include "model/checks.h"
#include "model/extents.h"
#include "model/normals.h"
#include "support/store_listing.h"

// Readers and writers called with a whole run context, as the driver calls
// them: a failed read shows its message and sets readAbort, a failed write
// sets writeFailed.
namespace molv {

namespace test_detail {
template <class F>
ReadResult read(Context& ctx, F&& f) {
    ReadEnv env = ctx.readEnv();
    ReadResult r = f(env);
    ctx.app.readAbort = !r.ok();
    ctx.app.readWroteOutput = env.wroteOutput;
    if (!env.outFile.empty()) ctx.app.outFile = env.outFile;
    if (!r.ok() && !r.message.empty()) ctx.msgBox(r.message);
    return r;
}
template <class F>
auto write(Context& ctx, F&& f) {
    WriteEnv env = ctx.writeEnv();
    auto r = f(env);
    if (env.writeFailed) ctx.app.writeFailed = true;
    if (ctx.app.outBase.empty()) ctx.app.outBase = env.outBase;
    if (ctx.app.outName.empty()) ctx.app.outName = env.outName;
    return r;
}
}  // namespace test_detail

inline ReadResult Read3DS(Context& c, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return Read3DS(e, p); });
}

inline ReadResult listDescriptors(Context& c, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return listDescriptors(e, p); });
}
inline ReadResult listBodyParts(Context& c, const std::string& p, bool listing) {
    return test_detail::read(c, [&](ReadEnv& e) { return listBodyParts(e, p, listing); });
}

inline ReadResult readCmfBytes(Context& c, std::string_view b, const std::string& n) {
    return test_detail::read(c, [&](ReadEnv& e) { return readCmfBytes(e, b, n); });
}
inline ReadResult readCsfBytes(Context& c, std::string_view b, const std::string& n) {
    return test_detail::read(c, [&](ReadEnv& e) { return readCsfBytes(e, b, n, c.skel); });
}
inline ReadResult readCrfBytes(Context& c, std::string_view b, const std::string& n, std::int32_t number) {
    return test_detail::read(c, [&](ReadEnv& e) { return readCrfBytes(e, b, n, number); });
}
inline ReadResult readCfgText(Context& c, std::string_view t, const std::string& n) {
    return test_detail::read(c, [&](ReadEnv& e) { return readCfgText(e, t, n); });
}
inline ReadResult readCmf(Context& c, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return readCmf(e, p); });
}
inline ReadResult readCsf(Context& c, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return readCsf(e, p); });
}
inline ReadResult readCrfFile(Context& c, const std::string& p, std::int32_t number) {
    return test_detail::read(c, [&](ReadEnv& e) { return readCrfFile(e, p, number); });
}

inline std::string buildAn8(Context& c, const std::string& objectName) {
    return test_detail::write(c, [&](WriteEnv& e) { return buildAn8(e, objectName); });
}
inline bool WriteObj(Context& c, const std::string& p) {
    return test_detail::write(c, [&](WriteEnv& e) { return WriteObj(e, p); });
}
inline std::string buildObj(Context& c, const std::string& libraryName) {
    return test_detail::write(c, [&](WriteEnv& e) { return buildObj(e, libraryName); });
}

inline bool writeCal3d(Context& c, const std::string& out, bool flag) {
    return test_detail::write(c, [&](WriteEnv& e) { return writeCal3d(e, out, flag); });
}
inline bool writeMaterialCrf(Context& c, int m, const std::string& p) {
    return test_detail::write(c, [&](WriteEnv& e) { return writeMaterialCrf(e, m, p); });
}
inline bool writeSkeletonCsf(Context& c, const std::string& p, bool f) {
    return test_detail::write(c, [&](WriteEnv& e) { return writeSkeletonCsf(e, p, f); });
}
inline bool writeCaf(Context& c, const std::string& p) {
    return test_detail::write(c, [&](WriteEnv& e) { return writeCaf(e, p); });
}
inline std::string writeDefaultCsf(Context& c, const std::string& outBase) {
    return test_detail::write(c, [&](WriteEnv& e) { return writeDefaultCsf(e, outBase); });
}
inline bool writeCmf(Context& c, const std::string& outBase) {
    return test_detail::write(c, [&](WriteEnv& e) { return writeCmf(e, outBase); });
}
inline std::string buildCmf(Context& c, CmfResult* r = nullptr) {
    return test_detail::write(c, [&](WriteEnv& e) { return buildCmf(e, r); });
}
}  // namespace molv

namespace molv::test {

// The scripted window, also keeping every log line ever added (the log list
// itself keeps only the first ten and the last ninety).
struct TestUI : ScriptedUI {
    std::vector<std::string> everyLogLine;
    void logAppend(const std::string& e) override {
        everyLogLine.push_back(e);
        ScriptedUI::logAppend(e);
    }
};

// A fresh run with a scripted window: `ui` answers questions and records
// what the user was told, `ctx` is what readers and writers see.
struct TestContext {
    TestUI ui;
    Context ctx{ui};
    ModelStore& m = ctx.model;
    explicit TestContext(bool devMode = false) { ctx.app.devMode = devMode; }
    // The store's parts by number, for checks; a face as its stored corners.
    const Vertex& vtx(int i) const { return m.Vertices[static_cast<std::size_t>(i)]; }
    Vec3 zup(int i) const { return m.zupOf(i); }
    std::array<int, 3> face(int i) const {
        const Face& f = m.VFaces[static_cast<std::size_t>(i)];
        return {f.vtx[0], f.vtx[1], f.vtx[2]};
    }
    const FaceGroup& group(int i) const { return m.FaceGrps[static_cast<std::size_t>(i)]; }
    const Material& mtl(int i) const { return m.Materials[static_cast<std::size_t>(i)]; }
    const Mesh& mesh(int i) const { return m.Meshes[static_cast<std::size_t>(i)]; }
};
std::unique_ptr<TestContext> makeContext(bool devMode = false);

enum class Format { Obj, Mtl, Tds, Dae, An8, Txm, Cmf, Csf, Crf, Xmf, Xsf, Xrf, Gltf };
const char* formatName(Format f);

// Readers on bytes in memory; `name` names the source in messages and its
// folder is where companions (libraries, textures) are looked for.
ReadResult readObjText(Context& ctx, std::string_view text, const std::string& name = "m.obj");
ReadResult readMtlText(Context& ctx, std::string_view text, const std::string& name = "m.mtl");
ReadResult read3dsBytes(Context& ctx, std::string_view bytes, const std::string& name = "m.3ds");
ReadResult readDaeBytes(Context& ctx, std::string_view bytes, const std::string& name = "test.dae");
// .gltf text or .glb bytes; buffer files are looked for in the folder of name.
ReadResult readGltfBytes(Context& ctx, std::string_view bytes, const std::string& name = "m.gltf");
ReadResult readAn8Text(Context& ctx, std::string_view text, const std::string& name = "m.an8");
ReadResult readTxmText(Context& ctx, std::string_view text, const std::string& name = "m.txm");
ReadResult readBytes(Context& ctx, Format f, std::string_view bytes, const std::string& name);
// Readers on a file; the format follows the extension.
ReadResult readFile(Context& ctx, const std::string& path);

// Writes the whole Cal3D set for outFile (".cmf"); false when a file failed.
bool writeSet(Context& ctx, const std::string& outFile);
// The store written by our Anim8or or Wavefront writer to `path` (the
// extension picks), then read back into a fresh store of `back` with our
// reader of that format. False when either side failed.
bool writeAndReadBack(Context& ctx, const std::string& path, Context& back);
// One conversion as the command line runs it.
bool convert(Context& ctx, const std::string& src, const std::string& out = {});
// The developer-mode summary of the store, as the lines it logs.
std::vector<std::string> dumpModel(Context& ctx);

}  // namespace molv::test
