#include "convert/context.h"

#include "convert/registry.h"

namespace molv {

Context::Context(UI& u) : Diagnostics(u) { app.knownTypes = userTypes(); }

ReadEnv Context::readEnv() {
    return ReadEnv{*this, model, settings, app.srcFile, app.srcFolder, app.modelName, currentFolder, app.devMode,
                   app.extraLog, app.dbgTrace, app.workdir, {}, false, &skel};
}

WriteEnv Context::writeEnv() {
    return WriteEnv{*this, model, skel, settings, app.outBase, app.outName, app.srcFolder, app.devMode, app.extraLog,
                    false, app.srcExt, {}, 0, 0, nullptr};
}

}  // namespace molv
