#include "convert/registry.h"

#include <string_view>

#include "cal3d/an8_figure.h"
#include "cal3d/cal3d_set.h"
#include "cal3d/cal3d_xml_readers.h"
#include "cal3d/cfg_reader.h"
#include "cal3d/cmf_reader.h"
#include "cal3d/crf_reader.h"
#include "cal3d/csf_reader.h"
#include "formats/an8_reader.h"
#include "formats/an8_writer.h"
#include "formats/dae_reader.h"
#include "formats/gltf_reader.h"
#include "formats/listings.h"
#include "formats/obj_reader.h"
#include "formats/obj_writer.h"
#include "formats/tds_reader.h"
#include "formats/txm_reader.h"
#include "model/io_env.h"

namespace molv {

namespace {

bool writeSet(WriteEnv& env, const std::string& path) { return writeCal3d(env, path, true); }
bool writeCrfOut(WriteEnv& env, const std::string& path) { return writeMaterialCrf(env, 0, path); }
bool writeCsfOut(WriteEnv& env, const std::string& path) { return writeSkeletonCsf(env, path, false); }

// The user types come first, in the order the filter lists them.
constexpr FormatEntry kFormats[] = {
    // ext        description                    read      write         dev    geom   setSrc cal3dSet outputAs fixups
    {"3ds", "3D Studio", &Read3DS, nullptr, false, true, true, false, "cmf", true},
    {"obj", "Wavefront", &LoadObj, &WriteObj, false, true, true, false, "cmf", true},
    {"dae", "Collada", &LoadDae, nullptr, false, true, true, false, "cmf", true},
    {"gltf", "glTF", &LoadGltf, nullptr, false, true, true, false, "cmf", true},
    {"glb", "glTF binary", &LoadGltf, nullptr, false, true, true, false, "cmf", true},
    {"cmf", "Cal3D mesh", &readCmf, &writeSet, true, true, true, true, "_1", false},
    {"cfg", "Cal3D viewer configuration", &readCfg, &writeSet, true, true, true, true, "_1", false},
    {"xmf", "Cal3D XML mesh", &readXmf, nullptr, true, true, true, false, "cmf", true},
    {"an8", "Anim8or", &LoadAn8, &WriteAn8, true, true, false, false, "cmf", true},
    {"csf", "Cal3D skeleton", &readCsf, &writeCsfOut, true, false, false, false, "ans", true},
    {"crf", "Cal3D material", &readCrf, &writeCrfOut, true, false, false, false, "_1", true},
    {"caf", "Cal3D animation", nullptr, &writeCaf, true, false, false, false, "_1", true},
    {"ans", "Anim8or figure", nullptr, &writeAn8Figure, true, false, false, false, "cmf", true},
    {"txm", "text material", &readTextMaterial, nullptr, true, false, false, false, "crf", true},
    {"bodypart", "body part", &readBodyPart, nullptr, true, false, false, false, "", true},
    {"template", "prop template", &readBodyPart, nullptr, true, false, false, false, "cmf", true},
    {"quodex", "quodex", nullptr, nullptr, true, false, false, false, "cmf", true},
    {"rtml", "host catalogue", &listCatalogue, nullptr, true, false, false, false, "cmf", true},
};

}  // namespace

std::span<const FormatEntry> formats() { return kFormats; }

const FormatEntry* formatFor(const std::string& ext) {
    for (const FormatEntry& f : kFormats)
        if (ext == f.ext) return &f;
    return nullptr;
}

std::string userTypes() {
    std::string out;
    for (const FormatEntry& f : kFormats) {
        if (f.devOnly || !f.read) continue;
        if (!out.empty()) out += ';';
        out += std::string("*.") + f.ext;
    }
    return out;
}

bool readAccepted(const std::string& ext, bool devMode) {
    const FormatEntry* f = formatFor(ext);
    if (!f) return false;
    return devMode || (f->read && !f->devOnly);
}

std::string fileFilter(bool devMode) {
    std::string types, pairs;
    for (const FormatEntry& f : kFormats) {
        if (!f.read || (f.devOnly && !devMode)) continue;
        const std::string pattern = std::string("*.") + f.ext;
        if (!types.empty()) types += ';';
        types += pattern;
        pairs += std::string("|") + f.description + " ." + f.ext + "|" + pattern;
    }
    return "Known files|" + types + pairs + "|All Files (*.*)|*.*";
}

std::string readableTypesText() {
    std::string out;
    for (const FormatEntry& f : kFormats) {
        if (f.devOnly || !f.read) continue;
        if (!out.empty()) out += ", ";
        out += std::string(".") + f.ext;
    }
    return out;
}

std::vector<std::string> readableTypeLines() {
    std::vector<std::string> out;
    for (const FormatEntry& f : kFormats)
        if (!f.devOnly && f.read) out.push_back(std::string(".") + f.ext + "  " + f.description);
    return out;
}

std::string writableTypes() {
    std::string out;
    for (const FormatEntry& f : kFormats)
        if (f.write) out += std::string(" .") + f.ext;
    return out;
}

std::string outputTypesHelp() {
    std::string out;
    for (const FormatEntry& f : kFormats) {
        if (!f.write) continue;
        // A single file of the Cal3D set is said to come alone.
        const bool cal3dPart = std::string_view(f.description).starts_with("Cal3D");
        out += std::string(21, ' ') + "." + f.ext + "  " + f.description +
               (f.cal3dSet ? ": the whole Cal3D set" : cal3dPart ? " alone" : "") + "\n";
    }
    return out;
}

}  // namespace molv
