// The turnable preview: frames per second of the software rasteriser on
// one thread at 10k, 100k and 1M triangles, the full picture (what a still
// view shows) and the light one (what is drawn while the view is dragged),
// at the window's usual size. The model is a closed sphere of even bands,
// so about half of its triangles face away and every pixel inside it is
// covered twice, as with a real prop.
//
//   bench_preview [--quick] [--reps N] [--size PIXELS] [--png PREFIX]
//
// --png writes each case's first frame (PREFIX10k.png, ...) to look at.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench_common.h"
#include "model/preview_raster.h"
#include "util/image.h"

namespace {

// A sphere of radius 40 cm standing on the ground, about `triangles`
// triangles: bands x slices quads, slices = 2 x bands.
molv::PreviewScene sphere(int triangles) {
    const int bands = std::max(2, static_cast<int>(std::lround(std::sqrt(triangles / 4.0))));
    const int slices = 2 * bands;
    molv::PreviewScene s;
    s.materials = {{molv::Colour{180, 120, 70, 255}, nullptr}};
    const double pi = 3.14159265358979;
    for (int b = 0; b <= bands; ++b) {
        const double th = pi * b / bands;
        for (int sl = 0; sl <= slices; ++sl) {
            const double ph = 2 * pi * sl / slices;
            const molv::Vec3 n{float(std::sin(th) * std::cos(ph)), float(std::cos(th)), float(std::sin(th) * std::sin(ph))};
            s.normals.push_back(n);
            s.positions.push_back(molv::Vec3{n.x * 40, n.y * 40 + 40, n.z * 40});
            s.uvs.push_back({float(sl) / slices, float(b) / bands});
        }
    }
    const auto at = [&](int b, int sl) { return static_cast<std::uint32_t>(b * (slices + 1) + sl); };
    for (int b = 0; b < bands; ++b)
        for (int sl = 0; sl < slices; ++sl) {
            s.triangles.push_back({at(b, sl), at(b, sl + 1), at(b + 1, sl + 1)});
            s.triangles.push_back({at(b, sl), at(b + 1, sl + 1), at(b + 1, sl)});
        }
    s.triangleMaterial.assign(s.triangles.size(), 0);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    int size = 512;
    std::string png;
    // Our own options first; the shared ones after.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--size" && i + 1 < argc)
            size = std::atoi(argv[++i]);
        else if (a == "--png" && i + 1 < argc)
            png = argv[++i];
        else
            argv[kept++] = argv[i];
    }
    bench::Options opt;
    if (!bench::parseOptions(kept, argv, opt)) return 2;
    const int frames = opt.quick ? 3 : 12;

    std::printf("preview frames per second, one thread, %d x %d pixels, %d frames each turned 7 degrees\n", size, size,
                frames);
    std::printf("%-10s %10s | %10s %8s | %10s %8s\n", "model", "triangles", "full ms", "fps", "light ms", "fps");
    for (const auto& [name, n] : {std::pair{"10k", 10000}, {"100k", 100000}, {"1M", 1000000}}) {
        const molv::PreviewScene scene = sphere(n);
        molv::PreviewScratch scratch;  // as the window keeps it between frames
        double ms[2] = {0, 0};
        for (int light = 0; light < 2; ++light) {
            std::vector<double> perFrame;
            for (int r = 0; r < opt.reps; ++r) {
                const double c0 = bench::cpuMs();
                for (int f = 0; f < frames; ++f) {
                    const molv::PreviewCamera cam{35.0 + 7 * f, 25.0 - 3 * f, 1, light == 1};
                    const molv::Image img = molv::renderPreview(scene, size, cam, &scratch);
                    if (!png.empty() && r == 0 && f == 0) {
                        std::ofstream(png + name + (light ? "_light" : "") + ".png", std::ios::binary)
                            << molv::encodePng(img);
                    }
                }
                perFrame.push_back((bench::cpuMs() - c0) / frames);
            }
            ms[light] = bench::median(perFrame);
        }
        std::printf("%-10s %10zu | %10.1f %8.1f | %10.1f %8.1f\n", name, scene.triangles.size(), ms[0], 1000 / ms[0],
                    ms[1], 1000 / ms[1]);
    }
    std::printf("target: >= 20 fps at 100k triangles; the light picture while dragging larger models\n");
    return 0;
}
