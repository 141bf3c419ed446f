// The configuration file "molvconv.cfg". Its settings, written out and
// read back, must give the same file again: the program rewrites this file
// at every conversion.
#include "convert/settings.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    Context& ctx = run.ctx;
    ctx.app.configDir = run.dir();
    run.put("molvconv.cfg", input);
    loadSettings(ctx);
    showSettingsInMenus(ctx);
    syncSettingsFromMenus(ctx, false);
    const std::string written = settingsFileText(ctx.settings);
    if (!writeSettingsFile(ctx)) fault("settings not written");

    Run again(input);
    again.ctx.app.configDir = run.dir();
    loadSettings(again.ctx);
    const std::string reread = settingsFileText(again.ctx.settings);
    if (reread != written) fault("settings written as\n" + written + "read back as\n" + reread);
}

}  // namespace molv::fuzz
