// Host content listings.
//
// Catalogue lines are taken one element a line: the tag is the line up to
// and including its first ">", the value the text after it up to the next
// "<". Reports are built in memory and written whole. Names taken from the
// catalogue never choose where a file goes beyond the source's folder: the
// configuration is named after the last part of the mesh's name, and a
// mesh name that climbs out ("..", an absolute path) is refused.
#include "formats/listings.h"

#include <algorithm>
#include <vector>

#include "core/diagnostics.h"
#include "model/io_env.h"
#include "util/fileio.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

constexpr const char* kEol = "\r\n";

// The name of the folder that holds path (levelsUp 0) or of the one above it (1).
std::string folderName(const std::string& path, int levelsUp) {
    std::string f = folderOf(path);
    for (int i = 0; i <= levelsUp; ++i) {
        while (!f.empty() && (f.back() == '/' || f.back() == '\\')) f.pop_back();
        if (i == levelsUp) break;
        const std::size_t k = f.find_last_of("/\\");
        f = k == std::string::npos ? std::string() : f.substr(0, k);
    }
    return std::string(lastComponent(f));
}

struct Element {
    std::string_view tag, value;
};

Element elementOf(std::string_view line) {
    Element e;
    const std::size_t gt = line.find('>');
    if (gt == std::string_view::npos) {
        e.tag = line;
        return e;
    }
    e.tag = line.substr(0, gt + 1);
    const std::string_view rest = line.substr(gt + 1);
    e.value = rest.substr(0, rest.find('<'));
    return e;
}

bool readSource(const std::string& path, std::string& text, ReadResult& r) {
    std::string err;
    if (!fileExists(path) || !readWholeFile(path, text, err)) {
        r = ReadResult::failed("Not found: " + path, path);
        return false;
    }
    return true;
}

ReadResult writeReport(ReadEnv& env, const std::string& path, const std::string& text, const std::string& source) {
    std::string err;
    if (writeFileAtomic(path, text, err)) {
        env.wroteOutput = true;
        return {};
    }
    return ReadResult::failed("Cannot write " + path + ": " + err, source);
}

// Lines that name texture maps and render flags, never files of the set.
bool namesNoFile(std::string_view line) {
    static const char* const kWords[] = {"reflectMap", "diffuseMap", "ALPHA_BLEND", "specularMap", "normalMap",
                                         "TWO_SIDED", "ALPHA_SCISSOR", "SKIN_ALPHA", "skinTint"};
    for (const char* w : kWords)
        if (line.find(w) != std::string_view::npos) return true;
    return false;
}

}  // namespace

std::string listingName(const std::string& path, const std::string& suffix) {
    return folderOf(path) + folderName(path, 0) + suffix;
}

bool isCatalogueName(const std::string& path) {
    const std::string name = toLowerAscii(fileNameOf(path));
    return name.find("descriptors.rtml") != std::string::npos || name.find("bodyparts.rtml") != std::string::npos;
}

ReadResult listCatalogue(ReadEnv& env, const std::string& path) {
    const std::string name = toLowerAscii(fileNameOf(path));
    if (name.find("descriptors.rtml") != std::string::npos) return listDescriptors(env, path);
    if (name.find("bodyparts.rtml") != std::string::npos) return listBodyParts(env, path, true);
    return ReadResult::failed("Unknown filetype: ." + toLowerAscii(extOf(path)), path);
}

ReadResult listDescriptors(ReadEnv& env, const std::string& path) {
    std::string text;
    ReadResult r;
    if (!readSource(path, text, r)) return r;
    std::vector<std::string> models;
    TextReader in(text);
    std::string line;
    while (in.readLineBin(line)) {
        const std::string_view l = trimView(line);
        if (!startsWith(l, "<model>")) continue;
        const std::string_view rest = l.substr(7);
        models.emplace_back(rest.substr(0, rest.find('<')));
    }
    if (models.empty()) return ReadResult::failed("No models - try Bodyparts.rtml", path);
    std::sort(models.begin(), models.end());
    std::string out = " --- " + path + " ---" + kEol;
    std::string_view prevPart;
    for (std::size_t i = 0; i < models.size(); ++i) {
        const std::string_view v = models[i];
        const std::string_view part = v.substr(0, v.find('/'));
        // A blank line before each new first path part, the first included.
        if (i == 0 || part > prevPart) out += kEol;
        prevPart = part;
        out += models[i] + kEol;
    }
    const std::string report = listingName(path, "_prop_info.txt");
    r = writeReport(env, report, out, path);
    if (r.ok()) env.diag.logMsg(std::to_string(models.size()) + " descriptors written to " + report, 0);
    return r;
}

ReadResult listBodyParts(ReadEnv& env, const std::string& path, bool listing) {
    std::string text;
    ReadResult r;
    if (!readSource(path, text, r)) return r;
    Diagnostics& diag = env.diag;
    const std::string f = folderOf(path);
    const bool malePuppet = f.find("Puppet") != std::string::npos && f.find("Female") == std::string::npos;

    std::string report;
    std::int64_t items = 0;
    if (listing) report = " --- " + folderName(path, 1) + "/" + folderName(path, 0) + " ---" + kEol;

    int state = 0;
    std::string ext;
    std::string meshName;
    std::int64_t meshLine = 0;
    std::vector<std::string> files;  // first-seen order
    TextReader in(text);
    std::string raw;
    while (in.readLineBin(raw)) {
        const std::int64_t no = in.lineNo();
        const std::string_view line = trimView(raw);
        std::string output;
        bool keep = false;
        const Element e = elementOf(line);
        if (line == "</quodex.things.BodyPart>") {
            state = 0;
        } else {
            switch (state) {
                case 0:
                    if (e.tag == "<quodex.things.BodyPart>" || e.tag == "<template>") {
                        state = 1;
                    } else if (startsWith(line, "<string>Female") || startsWith(line, "<string>Male")) {
                        output = " -- " + std::string(e.value) + " --";
                    }
                    break;
                case 1:
                    if (e.tag == "<name>") {
                        output = std::string(e.value);
                        keep = true;
                        state = 2;
                    } else if (e.tag == "<model>") {
                        keep = true;
                        state = 2;
                    }
                    break;
                case 2:
                    if (e.tag == "<meshes>") {
                        state = 3;
                    } else if (e.tag == "<description>" && !e.value.empty()) {
                        output = std::string(e.value);
                    }
                    break;
                case 3:
                    if (e.tag == "<materials>") {
                        keep = true;
                        state = 4;
                    } else if (e.tag == "<string>") {
                        keep = true;
                        ext = ".cmf";
                    }
                    break;
                case 4:
                    if (e.tag == "<int>") {
                        keep = true;
                    } else if (e.tag == "<material>") {
                        state = 5;
                    }
                    break;
                case 5:
                    if (e.tag == "<name>") {
                        keep = true;
                        ext = ".crf";
                    } else if (e.tag == "<string>") {
                        keep = true;
                    }
                    break;
                default: break;
            }
        }
        if (listing) {
            if (!output.empty()) {
                report += output + kEol;
                ++items;
            }
            continue;
        }
        if (!keep || e.value.empty() || namesNoFile(line)) continue;
        const std::string entry = std::string(e.value) + ext;
        if (ext == ".cmf") {
            meshName = std::string(e.value);
            meshLine = no;
        }
        if (entry.find('.') != std::string::npos && std::find(files.begin(), files.end(), entry) == files.end())
            files.push_back(entry);
    }

    if (listing) {
        const std::string name = listingName(path, "_bodypart_info.txt");
        r = writeReport(env, name, report, path);
        if (r.ok()) diag.logMsg(std::to_string(items) + " items written to " + name, 0);
        return r;
    }

    // The configuration.
    if (meshName.empty()) return ReadResult::failed("No mesh named in " + path, path);
    if (!staysInside(meshName))
        return ReadResult::failed(path + " line " + std::to_string(meshLine) + ": the mesh name \"" + meshName +
                                      "\" leads out of the body part's folder",
                                  path, meshLine);
    std::string skeleton = malePuppet ? "Male01_Skel.csf" : meshName + ".csf";
    const std::string lowerF = toLowerAscii(f);
    const bool addon = lowerF.find("\\addon") != std::string::npos || lowerF.find("/addon") != std::string::npos;
    std::string cfg, prefix;
    if (addon) {
        const std::string model = env.modelName.empty() ? baseName(path) : env.modelName;
        cfg = env.workdir + model + ".cfg";
        prefix = f;
    } else {
        // Beside the body part, so the entries' folders read from there.
        cfg = f + std::string(lastComponent(meshName)) + ".cfg";
    }
    if (!fileExists(f + skeleton)) {
        const std::vector<std::string> csf = filesWithExtension(f, "csf");
        if (!csf.empty()) skeleton = csf.front();
    }
    env.outFile = cfg;
    diag.logMsg("-----", 0);
    diag.logMsg("Writing to : " + cfg, 0);
    diag.logMsg("-----", 0);
    diag.logMsg("", 0);
    std::string out;
    auto add = [&](const std::string& l) {
        out += l + kEol;
        diag.logMsg(l, 0);
    };
    add("# " + meshName);
    add("scale=1.0");
    add("skeleton = " + prefix + skeleton);
    for (const std::string& file : files) {
        if (file.find(".cmf") != std::string::npos)
            add("mesh=" + prefix + file);
        else if (file.find(".crf") != std::string::npos)
            add("material=" + prefix + file);
    }
    r = writeReport(env, cfg, out, path);
    if (!r.ok()) return r;
    diag.logMsg("", 0);
    diag.logMsg("-----", 0);
    diag.logMsg(addon ? "(copy texture files into WORKdir)"
                      : "(copy those files into WORKdir, as well as referenced texture files)",
                0);
    return r;
}

ReadResult readBodyPart(ReadEnv& env, const std::string& path) { return listBodyParts(env, path, false); }

}  // namespace molv
