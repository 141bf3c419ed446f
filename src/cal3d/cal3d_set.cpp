#include "cal3d/cal3d_set.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "cal3d/cmf_writer.h"
#include "cal3d/prop_template.h"
#include "model/material_cull.h"
#include "model/normals.h"
#include "model/skeleton.h"
#include "model/store.h"
#include "core/diagnostics.h"
#include "util/text.h"
#include "core/settings.h"
#include "model/io_env.h"
#include "util/binio.h"
#include "util/encoding.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"

namespace molv {

namespace {

// The default prop skeleton: one root bone "Bone01", a quarter turn about y.
constexpr const char* kDefaultCsfHex =
    "43 53 46 00 E8 03 00 00 01 00 00 00 07 00 00 00 42 6F 6E 65 30 31 00 "
    "00 00 00 00 00 00 00 00 00 00 00 00 "
    "B7 15 93 B5 F4 04 35 3F E6 17 93 B5 F3 04 35 3F "
    "00 00 00 80 00 00 00 80 00 00 00 00 "
    "B7 15 93 35 F4 04 35 BF E6 17 93 35 F3 04 35 3F "
    "FF FF FF FF 00 00 00 00";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string cfgRef(WriteEnv& env, const std::string& path) {
    // The viewer reads the file line by line.
    return oneLine(env.settings.full_paths_in_cfg ? path : fileNameOf(path));
}

std::string colourText(Colour c) {
    return std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + " " + std::to_string(c.a);
}

bool writeMaterialFile(WriteEnv& env, int m, const std::string& path, const std::string& templatePath) {
    ModelStore& st = env.model;
    if (m < 0 || m >= st.nMaterials || static_cast<std::size_t>(m) >= st.Materials.size()) {
        env.diag.msgBox("No material [" + std::to_string(m) + "] to write to " + path);
        env.writeFailed = true;
        return false;
    }
    const Material& mt = st.materialAt(m);
    env.diag.logMsg("Write Material[" + std::to_string(m) + "] CRF: " + path);
    writePropTemplate(env, templatePath, TemplateBlock::MaterialStart, pathNoExt(fileNameOf(path)));
    writePropTemplate(env, templatePath, TemplateBlock::Colour, "ambient", mt.ambient);
    writePropTemplate(env, templatePath, TemplateBlock::Colour, "diffuse", mt.diffuse);
    writePropTemplate(env, templatePath, TemplateBlock::Colour, "specular", mt.specular);
    writePropTemplate(env, templatePath, TemplateBlock::Shininess, numText(mt.shininess));
    if (env.extraLog && env.diag.dbgLevel >= 2) {
        env.diag.logFileIfDebug("Ambient: " + colourText(mt.ambient), 2);
        env.diag.logFileIfDebug("Diffuse: " + colourText(mt.diffuse), 2);
        env.diag.logFileIfDebug("Specular: " + colourText(mt.specular), 2);
        env.diag.logFileIfDebug("Shininess=" + numText(mt.shininess), 2);
        env.diag.logFileIfDebug("nMaps=" + std::to_string(mt.nMaps), 2);
    }
    // A map is named by its file name only: "../" or a folder from the
    // source must not send the host outside the set's folder.
    Material named = mt;
    for (std::string& map : named.maps) map = fileNameOf(map);
    const std::string bytes = materialCrfBytes(named);
    const std::size_t nMaps = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, mt.nMaps)), mt.maps.size());
    for (std::size_t k = 0; k < nMaps; ++k) {
        const std::string& map = mt.maps[k];
        std::string line = "   ( texture file: " + map;
        // Looked for in the model's folder only, as the readers do.
        const std::string inside = companionPath(env.srcFolder, map);
        if (inside.empty() || !fileExists(inside)) line += "  -  Not Found in " + env.srcFolder;
        env.diag.logMsg(line + " )");
        writePropTemplate(env, templatePath, TemplateBlock::Map, named.maps[k]);
    }
    if (nMaps == 0) writePropTemplate(env, templatePath, TemplateBlock::NoMap);
    return writeWhole(env, path, bytes);
}

}  // namespace

std::string defaultCsfBytes() {
    ByteWriter w;
    w.reserve(87);
    const std::string_view hex(kDefaultCsfHex);
    for (std::size_t i = 0; i + 1 < hex.size(); ++i) {
        const int hi = hexDigit(hex[i]), lo = hexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) continue;
        w.u8(static_cast<std::uint8_t>(hi * 16 + lo));
        ++i;
    }
    return std::move(w.bytes());
}

std::string writeDefaultCsf(WriteEnv& env, const std::string& outBase) {
    const std::string path = outBase + ".csf";
    if (!writeWhole(env, path, defaultCsfBytes())) return {};
    env.diag.logMsg("Write Skeleton CSF: " + path);
    return fileNameOf(path);
}

std::string skeletonCsfBytes(const SkeletonStore& sk) {
    ByteWriter w;
    const std::size_t nB = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, sk.num_Bones)), sk.Bones.size());
    w.raw(std::string_view("CSF\0", 4));
    w.i32(sk.skl_version);
    w.i32(static_cast<std::int32_t>(nB));
    for (std::size_t i = 0; i < nB; ++i) {
        const Bone& b = sk.Bones[i];
        // writeCsfBone: the name as exactly name_len bytes, NUL last. A
        // length that cannot hold the NUL is taken from the name instead.
        const std::int32_t len = b.name_len >= 1 ? b.name_len : static_cast<std::int32_t>(b.name.size() + 1);
        w.i32(len);
        w.fixedString(b.name, len);
        for (float f : b.TrXYZ) w.f32(f);
        for (float f : b.RotXYZW) w.f32(f);
        for (float f : b.LocTrXYZ) w.f32(f);
        for (float f : b.LocRotXYZ) w.f32(f);
        w.i32(b.PBID);
        const std::size_t nC = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, b.num_chldrn)), b.chldrn.size());
        w.i32(static_cast<std::int32_t>(nC));
        for (std::size_t c = 0; c < nC; ++c) w.i32(b.chldrn[c]);
    }
    return std::move(w.bytes());
}

bool writeSkeletonCsf(WriteEnv& env, const std::string& path, bool) {
    // A skeleton without bones is no skeleton: the host cannot load it.
    if (env.skel.num_Bones <= 0) {
        env.diag.msgBox("No skeleton loaded: nothing to write to " + path);
        env.writeFailed = true;
        return false;
    }
    if (!writeWhole(env, path, skeletonCsfBytes(env.skel))) return false;
    env.diag.logMsg("Done");
    return true;
}

std::string materialCrfBytes(const Material& mt) {
    ByteWriter w;
    w.raw(std::string_view("CRF\0", 4));
    w.i32(700);
    for (const Colour& c : {mt.ambient, mt.diffuse, mt.specular}) {
        w.u8(c.r);
        w.u8(c.g);
        w.u8(c.b);
        w.u8(c.a);
    }
    w.f32(mt.shininess);
    const std::size_t nMaps = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, mt.nMaps)), mt.maps.size());
    w.i32(static_cast<std::int32_t>(nMaps));
    for (std::size_t k = 0; k < nMaps; ++k) w.lenString(mt.maps[k]);
    return std::move(w.bytes());
}

bool writeMaterialCrf(WriteEnv& env, int material, const std::string& path) {
    // Written on its own: the template of an earlier set is left alone.
    return writeMaterialFile(env, material, path, {});
}

std::string cleanMaterialName(const std::string& name) {
    // Bytes that are not UTF-8 (a Latin-1 name from an older exporter) would
    // make one file name on Linux and another on Windows, which reads them
    // in its ANSI code page: they are read as Latin-1 on both.
    std::string s;
    if (!latin1Repaired(name, s)) s = name;
    std::replace(s.begin(), s.end(), '-', '_');
    std::replace(s.begin(), s.end(), ' ', '_');
    replaceAll(s, "__", "_");
    replaceAll(s, "__", "_");
    // The name comes from the source file; it must not steer the file
    // elsewhere or break the configuration's lines.
    for (char& c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
    }
    replaceAll(s, "..", "_");
    return s;
}

std::string materialFileFor(const std::string& outBase, const Material& mt) {
    return outBase + "_" + cleanMaterialName(mt.name) + "[" + std::to_string(mt.id) + "].crf";
}

bool writeViewerCfg(WriteEnv& env, const std::string& outBase, const std::string& skeletonName,
                    const std::string& templatePath) {
    const std::string cfgPath = outBase + ".cfg";
    env.diag.logMsg("Write c3d viewer CFG: " + cfgPath);
    std::string text = "# cal3d model configuration file\r\nscale=1.0\r\n";
    text += "skeleton=" + cfgRef(env, skeletonName) + "\r\n";
    text += "mesh=" + cfgRef(env, outBase + ".cmf") + "\r\n";
    ModelStore& m = env.model;
    const std::int32_t n = std::min<std::int32_t>(m.nMaterials, static_cast<std::int32_t>(m.Materials.size()));
    for (std::int32_t i = 0; i < n; ++i) {
        const Material& mt = m.materialAt(i);
        if (mt.id < 0) continue;
        const std::string path = materialFileFor(outBase, mt);
        text += "material=" + cfgRef(env, path) + "\r\n";
        if (!writeMaterialFile(env, i, path, templatePath)) return false;
    }
    return writeWhole(env, cfgPath, text);
}

namespace {

// The files of the set, into the set's temporaries.
bool writeSetFiles(WriteEnv& env, const std::string& outBase) {
    std::string skeletonName;
    if (env.skel.num_Bones == 0) {
        skeletonName = writeDefaultCsf(env, outBase);
        if (skeletonName.empty()) return false;
    } else {
        skeletonName = outBase + ".csf";
        if (!writeWhole(env, skeletonName, skeletonCsfBytes(env.skel))) return false;
        env.diag.logMsg("Done");
    }

    if (env.settings.autoCullUnUsedMaterials) {
        const std::vector<std::string> culled = CullUnusedMaterials(env.model);
        if (!culled.empty()) {
            std::string names;
            for (const std::string& n : culled) names += (names.empty() ? "" : ", ") + n;
            env.diag.logMsg("Unused materials not written: " + names);
        }
    }

    const std::string templatePath = outBase + ".template";
    writePropTemplate(env, templatePath, TemplateBlock::Header, env.outName);
    if (!writeViewerCfg(env, outBase, skeletonName, templatePath)) return false;
    if (!writeCmf(env, outBase)) return false;
    writePropTemplate(env, templatePath, TemplateBlock::Footer);
    return true;
}

}  // namespace

bool writeCal3d(WriteEnv& env, const std::string& outFile, bool) {
    if (!outFile.empty()) {
        env.outBase = pathNoExt(outFile);
        env.outName = fileNameOf(env.outBase);
    }
    const std::string outBase = env.outBase;
    env.diag.logMsg("================================", 1);
    env.diag.logMsg("Write CAL3D: " + env.outName);
    resolveNormals(env.diag, env.model, NormalChoice{env.settings.keepOwnNormals, env.settings.reCalcNormals});

    // Every file goes to a temporary; they take their names together once
    // all are whole, the configuration last, so a set that fails (or a
    // signal) leaves the folder as it was, an older set whole.
    FileSet own;
    FileSet* const outer = env.files;
    if (!outer) env.files = &own;
    env.files->putLast(outBase + ".cfg");
    bool ok = writeSetFiles(env, outBase);
    if (!ok) {
        env.files->abort();
        env.diag.logMsg("Nothing of " + outBase + " was put in place: the set could not be written whole");
    } else if (!outer) {
        std::string err;
        ok = own.commit(err);
        if (!ok) {
            env.writeFailed = true;
            env.diag.msgBox("Cannot write " + err);
        }
    }
    env.files = outer;
    if (!ok) return false;
    env.diag.showStatus("Done");
    return true;
}

bool writeCaf(WriteEnv& env, const std::string& path) {
    ByteWriter w;
    w.raw(std::string_view("   \0", 4));
    w.i32(0);
    w.i32(0);
    w.i32(0);
    if (!writeWhole(env, path, w.bytes())) return false;
    env.diag.msgBox(path + " saved");
    return true;
}

}  // namespace molv
