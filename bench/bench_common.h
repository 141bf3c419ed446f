// What the benchmarks share: wall and processor time of a step, medians,
// the --quick/--reps/--keep options, and the run the model benchmarks make
// (read only, whole conversion, assimp's import of the same file).
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <time.h>

#include "convert/context.h"
#include "convert/driver.h"
#include "core/scripted_ui.h"

#ifdef MOLV_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace bench {

using Clock = std::chrono::steady_clock;

inline double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Processor time of this thread: the machine may be shared, and every
// contender is single-threaded.
inline double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wall and processor milliseconds of each run of one step.
struct Timings {
    std::vector<double> wall, cpu;

    template <class F>
    auto time(F&& step) {
        const auto t0 = Clock::now();
        const double c0 = cpuMs();
        auto result = step();
        cpu.push_back(cpuMs() - c0);
        wall.push_back(ms(Clock::now() - t0));
        return result;
    }
    void print(const char* what) const {
        std::printf("%-27s: wall median %8.2f ms (min %8.2f), cpu median %8.2f ms (min %8.2f)\n", what, median(wall),
                    *std::min_element(wall.begin(), wall.end()), median(cpu),
                    *std::min_element(cpu.begin(), cpu.end()));
    }
};

struct Options {
    int reps = 3;
    bool quick = false, keep = false;
};

// [--quick] [--reps N] [--keep]; false (after the usage line) on anything else.
inline bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quick") {
            o.quick = true;
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--reps" && i + 1 < argc) {
            o.reps = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--reps N] [--keep]\n", argv[0]);
            return false;
        }
    }
    return true;
}

// The model benchmarks' run over a generated file `src` of `triangles`
// triangles: the reader alone, the whole conversion (its set written into
// `dir`) and assimp's import, `repeats` times each, then their times.
// Returns the program's exit status.
inline int readConvertImport(const std::string& src, const std::filesystem::path& dir, long triangles, int repeats,
                             const char* readWhat, const std::function<bool(molv::ReadEnv&)>& read) {
    Timings readT, convT, assimpT;
    for (int r = 0; r < repeats; ++r) {
        {
            molv::ScriptedUI ui;
            molv::Context ctx(ui);
            ctx.app.srcFile = src;
            const bool ok = readT.time([&] {
                molv::ReadEnv env = ctx.readEnv();
                return read(env);
            });
            if (!ok || ctx.model.ttlnum_Faces != triangles) {
                std::fprintf(stderr, "read failed: %d faces\n", ctx.model.ttlnum_Faces);
                return 1;
            }
        }
        {
            molv::ScriptedUI ui;
            molv::Context ctx(ui);
            ctx.app.workdir = dir.string() + "/";
            if (!convT.time([&] { return molv::convert(ctx, molv::ConversionRequest(src)).ok(); })) {
                std::fprintf(stderr, "conversion failed%s%s\n", ui.boxes.empty() ? "" : ": ",
                             ui.boxes.empty() ? "" : ui.boxes.back().text.c_str());
                return 1;
            }
        }
#ifdef MOLV_HAVE_ASSIMP
        {
            Assimp::Importer imp;
            const aiScene* sc = assimpT.time([&] { return imp.ReadFile(src, 0); });
            if (!sc) {
                std::fprintf(stderr, "assimp: %s\n", imp.GetErrorString());
                return 1;
            }
            if (r == 0) {
                long at = 0;
                for (unsigned i = 0; i < sc->mNumMeshes; ++i) at += sc->mMeshes[i]->mNumFaces;
                std::printf("assimp read %u meshes, %ld faces\n", sc->mNumMeshes, at);
            }
        }
#endif
    }
    readT.print(readWhat);
    convT.print("molvConv whole conversion");
#ifdef MOLV_HAVE_ASSIMP
    assimpT.print("assimp ReadFile (no flags)");
    std::printf("whole conversion vs assimp import: %.2fx faster (cpu medians), %.2fx (wall medians)\n",
                median(assimpT.cpu) / median(convT.cpu), median(assimpT.wall) / median(convT.wall));
#else
    std::printf("assimp not available: no comparison\n");
#endif
    return 0;
}

}  // namespace bench
