// Readers, writers and model routines called with a whole run context, as
// the driver calls them: tests set up one Context and hand it on. A failed
// read shows its message and sets readAbort, a failed write sets
// writeFailed, as the driver does.
#pragma once
#include <string>
#include <string_view>

#include "cal3d/cal3d_set.h"
#include "cal3d/cmf_writer.h"
#include "cal3d/prop_template.h"
#include "convert/context.h"
#include "convert/fixups.h"
#include "formats/dae_reader.h"
#include "formats/mtl_reader.h"
#include "formats/obj_reader.h"
#include "formats/tds_reader.h"
#include "model/checks.h"
#include "model/extents.h"
#include "model/normals.h"

namespace molv {

namespace test_detail {
template <class F>
ReadResult read(Context& ctx, F&& f) {
    ReadEnv env = ctx.readEnv();
    ReadResult r = f(env);
    ctx.app.readAbort = !r.ok();
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

inline ReadResult LoadObj(Context& c, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return LoadObj(e, p); });
}
inline ReadResult LoadObjText(Context& c, std::string_view t, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return LoadObjText(e, t, p); });
}
inline ReadResult LoadMtlText(Context& c, std::string_view t, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return LoadMtlText(e, t, p); });
}
inline ReadResult Read3DS(Context& c, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return Read3DS(e, p); });
}
inline ReadResult Read3DSBytes(Context& c, std::string_view b, const std::string& n) {
    return test_detail::read(c, [&](ReadEnv& e) { return Read3DSBytes(e, b, n); });
}
inline ReadResult LoadDae(Context& c, const std::string& p) {
    return test_detail::read(c, [&](ReadEnv& e) { return LoadDae(e, p); });
}
inline ReadResult LoadDaeBytes(Context& c, std::string_view b) {
    return test_detail::read(c, [&](ReadEnv& e) { return LoadDaeBytes(e, b); });
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
inline bool writeViewerCfg(Context& c, const std::string& outBase, const std::string& skel, const std::string& tmpl) {
    return test_detail::write(c, [&](WriteEnv& e) { return writeViewerCfg(e, outBase, skel, tmpl); });
}
inline bool writeCmf(Context& c, const std::string& outBase) {
    return test_detail::write(c, [&](WriteEnv& e) { return writeCmf(e, outBase); });
}
inline std::string buildCmf(Context& c, CmfResult* r = nullptr) {
    return test_detail::write(c, [&](WriteEnv& e) { return buildCmf(e, r); });
}
inline void writePropTemplate(Context& c, const std::string& path, TemplateBlock b, const std::string& v = {},
                              Colour col = {}) {
    WriteEnv e = c.writeEnv();
    writePropTemplate(e, path, b, v, col);
}

inline void SetMaxMinsM(Context& c, std::int32_t mesh = -1) { SetMaxMinsM(c.model, mesh); }
inline void CentreModel(Context& c, bool baseFlag, float base) { CentreModel(c.model, baseFlag, base); }
inline std::string ExtentsText(const Context& c, bool crlf) { return ExtentsText(c.model, crlf); }
inline void DumpModel(Context& c) { DumpModel(c.model, c.app.devMode); }
inline CheckResult CheckModel(Context& c) { return CheckModel(c.model); }
inline void ReportBadFaceSummary(Context& c) { ReportBadFaceSummary(c.model); }
inline void ReportFaceError(Context& c, const std::string& msg, std::int32_t mesh = 0, std::int32_t face = 0,
                            std::int32_t count = 0, std::int32_t group = 0) {
    ReportFaceError(c, c.model, msg, mesh, face, count, group);
}
inline void calcVertexNormals(Context& c) { calcVertexNormals(c.model); }

}  // namespace molv
