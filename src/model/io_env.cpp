#include "model/io_env.h"

#include "core/diagnostics.h"
#include "util/fileio.h"

namespace molv {

bool writeWhole(WriteEnv& env, const std::string& path, std::string_view bytes) {
    std::string err;
    if (writeFileAtomic(path, bytes, err, env.files)) return true;
    env.writeFailed = true;
    env.diag.msgBox("Cannot write " + path + ": " + err);
    return false;
}

}  // namespace molv
