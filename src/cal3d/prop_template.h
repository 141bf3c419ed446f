// The prop template (outBase + ".template"): a prop description for the host
// application, written block by block alongside the Cal3D set, in developer
// mode only.
#pragma once
#include <string>

#include "model/store.h"

namespace molv {

struct WriteEnv;

enum class TemplateBlock {
    Header = 1,         // value: the output name
    MaterialStart = 2,  // value: material file name without folder and extension
    Colour = 3,         // value: "ambient", "diffuse" or "specular"; colour: its bytes
    Shininess = 4,      // value: shininess as decimal text
    Map = 5,            // value: texture map file name
    NoMap = 6,
    Footer = 7,
};

// Appends one block to templatePath. Does nothing outside developer mode or
// when templatePath is empty (a material file written on its own).
void writePropTemplate(WriteEnv& env, const std::string& templatePath, TemplateBlock block,
                       const std::string& value = {}, Colour colour = {});

}  // namespace molv
