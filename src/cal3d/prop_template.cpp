#include "cal3d/prop_template.h"

#include "core/diagnostics.h"
#include "model/io_env.h"

namespace molv {

// The template's text is not produced yet; the writers already call the hook
// at every point a block belongs, so the text can land without touching them.
void writePropTemplate(WriteEnv& env, const std::string& templatePath, TemplateBlock, const std::string&, Colour) {
    if (!env.devMode || templatePath.empty()) return;
}

}  // namespace molv
