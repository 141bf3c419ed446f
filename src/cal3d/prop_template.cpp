#include "cal3d/prop_template.h"

#include "core/diagnostics.h"
#include "model/io_env.h"
#include "util/fileio.h"

namespace molv {

namespace {

std::string escaped(std::string_view s) {
    std::string t;
    for (char c : s) {
        switch (c) {
            case '&': t += "&amp;"; break;
            case '<': t += "&lt;"; break;
            case '>': t += "&gt;"; break;
            case '"': t += "&quot;"; break;
            case '\'': t += "&apos;"; break;
            // The template is read line by line; no name may break a line.
            default: t += static_cast<unsigned char>(c) < ' ' || c == '\x7f' ? '_' : c;
        }
    }
    return t;
}

// byte / 256, exactly: at most eight decimals, trailing zeros dropped.
std::string fraction(std::uint8_t b) {
    if (b == 0) return "0";
    std::string digits = std::to_string(static_cast<unsigned>(b) * 390625u);  // b / 256 = b * 390625 / 10^8
    digits.insert(0, 8 - digits.size(), '0');
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    return "0." + digits;
}

void line(std::string& t, std::string_view s) {
    t += s;
    t += "\r\n";
}

// Closes the material left open by its maps.
void closeMaterial(WriteEnv& env) {
    std::string& t = env.templateText;
    if (env.templateOpen == 2) {
        line(t, "</maps>");
        line(t, "      <flags/>");
        line(t, "      <parameters/>");
        line(t, "    </material>");
    } else if (env.templateOpen == 1) {
        // A material whose blocks stopped before its maps: closed all the same.
        line(t, "      <maps/>");
        line(t, "      <parameters/>");
        line(t, "    </material>");
    }
    env.templateOpen = 0;
    env.templateMaps = 0;
}

}  // namespace

void writePropTemplate(WriteEnv& env, const std::string& templatePath, TemplateBlock block, const std::string& value,
                       Colour colour) {
    if (!env.devMode || templatePath.empty()) return;
    std::string& t = env.templateText;
    switch (block) {
        case TemplateBlock::Header:
            deleteFile(templatePath);
            t.clear();
            env.templateOpen = 0;
            line(t, "<template>");
            line(t, "  <model> FIX-PATH-UNDER-PROP-HERE </model>");
            line(t, "  <meshes>");
            line(t, "    <string>" + escaped(value) + "</string>");
            line(t, "  </meshes>");
            line(t, "  <materials>");
            break;
        case TemplateBlock::MaterialStart:
            closeMaterial(env);
            line(t, "    <material>");
            line(t, "      <name>" + escaped(value) + "</name>");
            env.templateOpen = 1;
            break;
        case TemplateBlock::Colour:
            if (value == "specular") line(t, "      <emissiveColor>0.0 0.0 0.0 0.0</emissiveColor>");
            line(t, "      <" + value + "Color>" + fraction(colour.r) + " " + fraction(colour.g) + " " +
                        fraction(colour.b) + " " + fraction(colour.a) + "  </" + value + "Color>");
            break;
        case TemplateBlock::Shininess:
            line(t, "      <shininess>" + escaped(value) + "</shininess>");
            break;
        case TemplateBlock::Map:
            // Every map of a material goes into one maps element, closed
            // with the material at the next material or the footer.
            if (env.templateOpen != 2) line(t, "      <maps>");
            env.templateOpen = 2;
            env.templateMaps += 1;
            line(t, "<entry>");
            line(t, env.templateMaps == 1 ? std::string("<string>diffuseMap</string>")
                                          : "<string>diffuseMap" + std::to_string(env.templateMaps) + "</string>");
            line(t, "<string>Textures/" + escaped(value) + "</string>");
            line(t, "</entry>");
            break;
        case TemplateBlock::NoMap:
            line(t, "      <maps/>");
            line(t, "      <flags>");
            line(t, "        <string>TINTABLE</string>");
            line(t, "      </flags>");
            line(t, "      <parameters/>");
            line(t, "    </material>");
            env.templateOpen = 0;
            break;
        case TemplateBlock::Footer: {
            closeMaterial(env);
            line(t, "  </materials>");
            line(t, "</template>");
            std::string err;
            // The template is a developer's starting point: a failure is told, the set stands.
            if (!writeFileAtomic(templatePath, t, err, env.files)) env.diag.logMsg("Cannot write " + templatePath + ": " + err);
            t.clear();
            break;
        }
    }
}

}  // namespace molv
