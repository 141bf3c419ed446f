// The host's catalogues: the first byte picks the descriptor listing, the
// body-part listing or one body part's viewer configuration; the rest is
// the catalogue.
#include "formats/listings.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    if (input.empty()) return;
    const int which = static_cast<unsigned char>(input[0]) % 3;
    const std::string name = which == 0 ? "Descriptors.rtml" : which == 1 ? "Bodyparts.rtml" : "part.rtml";
    run.put(name, input.substr(1));
    ReadEnv env = run.source(name);
    if (which == 2) readBodyPart(env, env.srcFile);
    else listCatalogue(env, env.srcFile);
    checkStore(run);
}

}  // namespace molv::fuzz
