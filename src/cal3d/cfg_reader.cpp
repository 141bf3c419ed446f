#include "cal3d/cfg_reader.h"

#include "cal3d/cal3d_xml_readers.h"
#include "cal3d/cmf_reader.h"
#include "cal3d/crf_reader.h"
#include "cal3d/csf_reader.h"
#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/store.h"
#include "util/fileio.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

// Whether the file is a Cal3D XML file: by its extension, not by a ".x"
// anywhere in the name.
bool xmlFile(std::string_view name) {
    const std::string ext = toLowerAscii(extOf(lastComponent(name)));
    return ext.size() == 3 && ext[0] == 'x';
}

}  // namespace

ReadResult readCfgText(ReadEnv& env, std::string_view text, const std::string& source) {
    std::int32_t material = -1;  // the material number of the next XML material file
    const std::string folder = folderOf(source);
    std::string binaryMesh, xmlMesh;
    LineCursor lines(text);
    std::string_view raw;
    while (lines.next(raw)) {
        const std::string line = trim(raw);
        const long lineNo = lines.lineNo();
        if (line.empty() || line[0] == '#' || line.find('=') == std::string::npos) continue;
        const std::string key = getField(line, 1, "=");
        const std::string name = getField(line, 2, "=");
        if (key != "skeleton" && key != "material" && key != "mesh") continue;
        const bool xml = xmlFile(name);
        if (!xml && !env.devMode)
            return ReadResult::failed("Config contains non-XML file (possibly a binary-CAL3D config)", source, lineNo);
        if (!staysInside(name))
            return ReadResult::failed(source + " line " + std::to_string(lineNo) + ": the file \"" + name +
                                          "\" does not lie in the configuration's folder",
                                      source, lineNo);
        const std::string path = joinPath(folder, name);
        ReadResult r;
        if (key == "skeleton") {
            r = xml ? readXsf(env, path) : readCsf(env, path);
        } else if (key == "material") {
            material += 1;
            r = xml ? readXrf(env, path, material) : readCrfFile(env, path, -1);
        } else {
            (xml ? xmlMesh : binaryMesh) = path;
        }
        if (!r.ok()) return r;
    }
    if (!binaryMesh.empty()) {
        ReadResult r = readCmf(env, binaryMesh);
        if (!r.ok()) return r;
    }
    if (!xmlMesh.empty()) {
        ReadResult r = readXmf(env, xmlMesh);
        if (!r.ok()) return r;
    }
    return {};
}

ReadResult readCfg(ReadEnv& env, const std::string& path) {
    std::string text, err;
    if (!fileExists(path) || !readWholeFile(path, text, err)) return ReadResult::failed("Not found: " + path, path);
    return readCfgText(env, text, path);
}

}  // namespace molv
