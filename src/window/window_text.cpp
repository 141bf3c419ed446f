#include "window/window_text.h"

#include <initializer_list>

#include "convert/registry.h"

namespace molv {

namespace {

std::string block(std::initializer_list<std::string> lines) {
    std::string b;
    for (const std::string& l : lines) {
        if (!b.empty()) b += '\r';
        b += l;
    }
    return b;
}

// The types read, from the registry, so the list cannot fall behind it.
std::string sourceFormats() {
    std::string b = "Source formats:\r  Vertex, UV, Face and material definitions from the following files are handled.";
    for (const std::string& line : readableTypeLines()) b += "\r    " + line;
    return b + "\r ";
}

}  // namespace

std::vector<std::string> helpBlocks(const std::string& title) {
    return {
        block({"\t\t" + title, "Convert 3D model mesh data into the binary CAL3D format as used by Vantamo.",
               "( NOT animation data )", "",
               std::string("This is early Beta software - please report problems to ") + kContactAddress,
               std::string("Refer to ") + kWebAddress, " "}),
        sourceFormats(),
        block({"CAL3D Output files:", "    .CMF mesh", "    .CRF materials definitions",
               "    .CFG Cal3D viewer configuration", "    .CSF default prop skeleton", " ", " "}),
        block({"File Menu:", " Open: ",
               "    Will convert selected file to CAL3D format files  in the same folder as the source file.",
               " Save Settings: ", "    Will save settings from the Settings menu, which will be reloaded on startup.",
               " "}),
        block({"Settings Menu: ", " Auto-centre:", "     Vantamo models are commonly centred in the horizontal axes.",
               " Auto-zero base height:", "     Vantamo models are commonly based at zero on the vertical axis",
               " Auto-resize:", "     Vantamo model units are in cm, 100 cm is a good visible starting size.",
               " Set size for resize: ", "     Size in cm will be used if Auto-resize selected", " Set prop Bone: ",
               "     Set bone ID to be applied to vertices in converted model (in development).", " ",
               " Ignore 3DS offsets: ",
               "     If sections of a converted .3ds model are displaced, try switching this setting",
               " Flip 3DS UV vertically:", "     If textures are inverted, try switching this setting",
               "     (also applies to .DAE and .glTF files)",
               " Flip OBJ UV vertically:", "     The same for .OBJ files; on, they share the other formats' texture origin",
               "     If all else fails, edit the texture image file in an image editor and invert it vertically", " ",
               " Keep the model's own normals:",
               "     On: normals the file carries (OBJ vn, DAE NORMAL, glTF NORMAL, Cal3D) are written as they are,",
               "     so hard edges stay hard; faces without them get computed normals.",
               " Recalc Normals:",
               "     With Keep the model's own normals off: on computes every normal, keeping the file's hard edges",
               "     and 3DS smoothing groups; off keeps a Cal3D source's normals and computes the rest.",
               "     Computed normals are equal on both sides of a texture seam.", " ",
               " ", " "}),
    };
}

std::string aboutText(const std::string& title) {
    return title + "\rConverts 3D model meshes (" + readableTypesText() + ") into binary Cal3D prop sets for Vantamo.\r" +
           "Problems: " + kContactAddress + "\r" + "More: " + kWebAddress;
}

}  // namespace molv
