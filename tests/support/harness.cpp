#include "support/harness.h"

#include "convert/driver.h"
#include "support/test_support.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv::test {

std::unique_ptr<TestContext> makeContext(bool devMode) { return std::make_unique<TestContext>(devMode); }

const char* formatName(Format f) {
    // In the order of Format.
    static const char* const names[] = {"obj", "mtl", "3ds", "dae", "an8", "txm", "cmf",
                                        "csf", "crf", "xmf", "xsf", "xrf", "gltf"};
    return names[static_cast<int>(f)];
}

ReadResult readObjText(Context& ctx, std::string_view text, const std::string& name) {
    return test_detail::read(ctx, [&](ReadEnv& e) { return LoadObjText(e, text, name); });
}
ReadResult readMtlText(Context& ctx, std::string_view text, const std::string& name) {
    return test_detail::read(ctx, [&](ReadEnv& e) { return LoadMtlText(e, text, name); });
}
ReadResult read3dsBytes(Context& ctx, std::string_view bytes, const std::string& name) {
    return test_detail::read(ctx, [&](ReadEnv& e) { return Read3DSBytes(e, bytes, name); });
}
ReadResult readDaeBytes(Context& ctx, std::string_view bytes, const std::string& name) {
    ctx.app.srcFile = name;
    if (ctx.app.modelName.empty()) ctx.app.modelName = "model";
    return test_detail::read(ctx, [&](ReadEnv& e) { return LoadDaeBytes(e, bytes); });
}
ReadResult readGltfBytes(Context& ctx, std::string_view bytes, const std::string& name) {
    ctx.app.srcFile = name;
    ctx.app.srcFolder = folderOf(name);
    if (ctx.app.modelName.empty()) ctx.app.modelName = "model";
    return test_detail::read(ctx, [&](ReadEnv& e) { return LoadGltfBytes(e, bytes); });
}
ReadResult readAn8Text(Context& ctx, std::string_view text, const std::string& name) {
    return test_detail::read(ctx, [&](ReadEnv& e) { return LoadAn8Text(e, text, name); });
}
ReadResult readTxmText(Context& ctx, std::string_view text, const std::string& name) {
    return test_detail::read(ctx, [&](ReadEnv& e) { return readTextMaterialText(e, text, name); });
}
ReadResult readBytes(Context& ctx, Format f, std::string_view bytes, const std::string& name) {
    switch (f) {
        case Format::Obj: return readObjText(ctx, bytes, name);
        case Format::Mtl: return readMtlText(ctx, bytes, name);
        case Format::Tds: return read3dsBytes(ctx, bytes, name);
        case Format::Dae: return readDaeBytes(ctx, bytes, name);
        case Format::An8: return readAn8Text(ctx, bytes, name);
        case Format::Txm: return readTxmText(ctx, bytes, name);
        case Format::Cmf: return readCmfBytes(ctx, bytes, name);
        case Format::Csf: return readCsfBytes(ctx, bytes, name);
        case Format::Crf: return readCrfBytes(ctx, bytes, name, 0);
        case Format::Xmf: return test_detail::read(ctx, [&](ReadEnv& e) { return readXmfText(e, bytes, name); });
        case Format::Xsf: return test_detail::read(ctx, [&](ReadEnv& e) { return readXsfText(e, bytes, name, ctx.skel); });
        case Format::Xrf: return test_detail::read(ctx, [&](ReadEnv& e) { return readXrfText(e, bytes, name, 0); });
        case Format::Gltf: return readGltfBytes(ctx, bytes, name);
    }
    return ReadResult::failed("no such format");
}

ReadResult readFile(Context& ctx, const std::string& path) {
    const std::string e = toLowerAscii(extOf(path));
    if (e == "obj") return test_detail::read(ctx, [&](ReadEnv& env) { return LoadObj(env, path); });
    if (e == "3ds") return Read3DS(ctx, path);
    if (e == "an8") return test_detail::read(ctx, [&](ReadEnv& env) { return LoadAn8(env, path); });
    if (e == "cmf") return readCmf(ctx, path);
    if (e == "csf") return readCsf(ctx, path);
    if (e == "crf") return readCrfFile(ctx, path, -1);
    if (e == "dae") {
        ctx.app.srcFile = path;
        return test_detail::read(ctx, [&](ReadEnv& env) { return LoadDae(env, path); });
    }
    if (e == "gltf" || e == "glb") return readGltfBytes(ctx, readFile(path), path);
    if (e == "xmf") return test_detail::read(ctx, [&](ReadEnv& env) { return readXmf(env, path); });
    return ReadResult::failed("unknown type", path);
}

bool writeAndReadBack(Context& ctx, const std::string& path, Context& back) {
    const std::string e = toLowerAscii(extOf(path));
    // The writers take the source's type from the run, as the dispatch gives it.
    if (ctx.app.srcExt.empty()) ctx.app.srcExt = toLowerAscii(extOf(ctx.app.srcFile));
    const bool written = e == "an8" ? test_detail::write(ctx, [&](WriteEnv& env) { return WriteAn8(env, path); }) : WriteObj(ctx, path);
    if (!written || ctx.app.writeFailed) return false;
    back.model.ClearModel();
    return readFile(back, path).ok();
}

bool writeSet(Context& ctx, const std::string& outFile) { return writeCal3d(ctx, outFile, true); }

bool convert(Context& ctx, const std::string& src, const std::string& out) {
    if (ctx.app.devMode) {
        // As the command line does: the developer panel names the source.
        ctx.menu.tSrcFile = src;
        ctx.app.knownTypes.clear();
    }
    return convert(ctx, ConversionRequest(src, out)).ok();
}

std::vector<std::string> dumpModel(Context& ctx) {
    auto* ui = dynamic_cast<TestUI*>(ctx.ui);
    if (!ui) return {};
    const bool dev = ctx.app.devMode;
    ctx.app.devMode = true;
    const std::size_t from = ui->everyLogLine.size();
    DumpModel(ctx, ctx.model, ctx.app.devMode);
    ctx.app.devMode = dev;
    return std::vector<std::string>(ui->everyLogLine.begin() + static_cast<std::ptrdiff_t>(from), ui->everyLogLine.end());
}

}  // namespace molv::test
