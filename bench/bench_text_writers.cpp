// Text writer benchmark: grid models of about 10 thousand, 100 thousand and
// a million triangles written as Wavefront (.obj and .mtl) and as Anim8or
// (.an8), straight from the store. Two layouts: a floor (vertices in rows,
// sorted by x within each row) and a wall (every vertex on the same x, the
// input that makes a scan for equal x quadratic). Every triangle has its own
// three vertices, as readers leave vertices split by texture seams, so the
// duplicate search has work to do. The best of several runs counts; the last lines
// give the growth from 100k to 1M triangles (10x the triangles: about 10x
// the time when the writers are linear). Times are processor time of this
// process (the machine may be shared), file writing included.
//
//   bench_text_writers [--quick] [--reps N] [--keep]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_common.h"

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "formats/an8_writer.h"
#include "formats/obj_writer.h"

namespace {

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// n x n quads, two triangles each, every triangle with its own three
// vertices (so each grid point is stored up to six times).
void gridModel(molv::ModelStore& m, int n, bool wall) {
    m.ClearModel();
    m.dssAddMesh("grid", 0);
    m.AddMaterial("paint");
    m.AddFaceGroup(false, 0, 0);
    m.reserveFor(std::int64_t{6} * n * n, std::int64_t{2} * n * n);
    auto vertex = [&](int i, int j) {
        const float a = static_cast<float>(i) * 0.01f, b = static_cast<float>(j) * 0.01f;
        std::int32_t idx = -1;
        return wall ? m.AddVertex(idx, 1, a, b, 1, b, a) : m.AddVertex(idx, a, 0, b, a, b, 0);
    };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            for (int t = 0; t < 2; ++t) {
                const std::int32_t p = vertex(i, j);
                const std::int32_t q = t == 0 ? vertex(i + 1, j) : vertex(i + 1, j + 1);
                const std::int32_t r = t == 0 ? vertex(i + 1, j + 1) : vertex(i, j + 1);
                const std::int32_t global = m.ttlnum_Faces;
                m.AddFace(0, 0, p, q, r);
                m.AddFaceToGroup(0, 0, false, global, global);
            }
        }
}

struct Times {
    double obj = 1e9, an8 = 1e9;
};

}  // namespace

int main(int argc, char** argv) {
    bench::Options opt;
    if (!bench::parseOptions(argc, argv, opt)) return 2;
    const int reps = opt.reps;
    const bool quick = opt.quick, keep = opt.keep;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("molv_bench_text_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    std::vector<int> sides = {71, 224, 708};  // 2 n^2 triangles: 10k, 100k, 1M
    if (quick) sides.pop_back();
    std::printf("Text writers, best of %d runs each (processor seconds)\n\n", reps);
    std::printf("%-6s %9s %9s | %8s %9s | %8s %9s\n", "layout", "triangles", "vertices", ".obj", "ns/tri", ".an8",
                "ns/tri");
    double growth[2][2] = {{0, 0}, {0, 0}};  // [layout][writer] 1M / 100k
    for (int wall = 0; wall < 2; ++wall) {
        std::vector<Times> rows;
        for (int n : sides) {
            molv::ScriptedUI ui;
            molv::Context ctx(ui);
            gridModel(ctx.model, n, wall != 0);
            Times t;
            for (int r = 0; r < reps; ++r) {
                const std::string base = (dir / ("grid" + std::to_string(n))).string();
                ctx.app.outBase = base;
                ctx.app.outName = "grid" + std::to_string(n);
                molv::WriteEnv env = ctx.writeEnv();
                double t0 = cpuSeconds();
                if (!molv::WriteObj(env, base + ".obj")) {
                    std::fprintf(stderr, "writing %s.obj failed\n", base.c_str());
                    return 1;
                }
                t.obj = std::min(t.obj, cpuSeconds() - t0);
                t0 = cpuSeconds();
                if (!molv::WriteAn8(env, base + ".an8")) {
                    std::fprintf(stderr, "writing %s.an8 failed\n", base.c_str());
                    return 1;
                }
                t.an8 = std::min(t.an8, cpuSeconds() - t0);
            }
            const double tris = ctx.model.ttlnum_Faces;
            std::printf("%-6s %9d %9d | %8.3f %9.0f | %8.3f %9.0f\n", wall ? "wall" : "floor", ctx.model.ttlnum_Faces,
                        ctx.model.ttlnum_Vertices, t.obj, t.obj / tris * 1e9, t.an8, t.an8 / tris * 1e9);
            rows.push_back(t);
        }
        if (rows.size() == 3) {
            growth[wall][0] = rows[2].obj / rows[1].obj;
            growth[wall][1] = rows[2].an8 / rows[1].an8;
        }
    }
    if (!quick) {
        std::printf("\ngrowth from 100k to 1M triangles (x%.1f the triangles):\n",
                    2.0 * 708 * 708 / (2.0 * 224 * 224));
        for (int wall = 0; wall < 2; ++wall)
            std::printf("  %-5s .obj %.1fx  .an8 %.1fx\n", wall ? "wall" : "floor", growth[wall][0], growth[wall][1]);
    }
    if (keep) {
        std::printf("files kept in %s\n", dir.string().c_str());
    } else {
        std::filesystem::remove_all(dir);
    }
    return 0;
}
