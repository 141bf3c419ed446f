// A batch item's child that fails the way faults do, chosen by the source's
// name, to show that such a fault ends its own item only.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "convert/batch.h"
#include "util/paths.h"

int main() {
    return molv::batchItemMain([](const std::string& path) {
        const std::string name = molv::fileNameOf(path);
        auto has = [&](const char* what) { return name.find(what) != std::string::npos; };
        if (has("halfwritten")) {
            // As if it died while writing its mesh.
            const std::string tmp = molv::pathNoExt(path) + ".cmf.tmp" + std::to_string(getpid());
            if (std::FILE* f = std::fopen(tmp.c_str(), "wb")) {
                std::fputs("half a mesh", f);
                std::fclose(f);
            }
            std::raise(SIGSEGV);
        }
        if (has("segv")) std::raise(SIGSEGV);
        if (has("abort")) std::abort();
        if (has("silent")) std::exit(0);
    });
}
