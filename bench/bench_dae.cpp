// Collada benchmark: a generated document of several textured sheets and
// well over 100k triangles, laid out as exporters write it, converted whole
// (read, fix-ups, Cal3D set written) and, in the same run, imported by
// assimp from the same file.
//
//   bench_dae [objects] [quads-per-side] [repeats]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_common.h"

#include "formats/dae_reader.h"
#include "util/fileio.h"

namespace {

void num(std::string& out, double v) {
    char buf[32];
    int n = std::snprintf(buf, sizeof buf, "%.6g ", v);
    out.append(buf, static_cast<std::size_t>(n));
}

// objects x (n x n quads, 2 triangles each) on a wavy sheet: positions,
// normals and texture coordinates, two materials per sheet (left and right
// half), each sheet placed by its node's matrix.
std::string makeDocument(int objects, int n, long& triangles) {
    std::string d;
    d.reserve(static_cast<std::size_t>(objects) * static_cast<std::size_t>(n) * static_cast<std::size_t>(n) * 90);
    d += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
         "  <asset>\n    <unit name=\"meter\" meter=\"1\"/>\n    <up_axis>Z_UP</up_axis>\n  </asset>\n"
         "  <library_images>\n";
    const char* mats[2] = {"Stone", "Moss"};
    for (const char* m : mats)
        d += std::string("    <image id=\"") + m + "-img\" name=\"" + m + "\">\n      <init_from>" + m +
             ".png</init_from>\n    </image>\n";
    d += "  </library_images>\n  <library_effects>\n";
    for (const char* m : mats) {
        std::string s = m;
        d += "    <effect id=\"" + s + "-effect\">\n      <profile_COMMON>\n        <newparam sid=\"" + s +
             "-surface\">\n          <surface type=\"2D\">\n            <init_from>" + s +
             "-img</init_from>\n          </surface>\n        </newparam>\n        <newparam sid=\"" + s +
             "-sampler\">\n          <sampler2D>\n            <source>" + s +
             "-surface</source>\n          </sampler2D>\n        </newparam>\n"
             "        <technique sid=\"common\">\n          <phong>\n"
             "            <ambient>\n              <color sid=\"ambient\">0.2 0.2 0.2 1</color>\n            </ambient>\n"
             "            <diffuse>\n              <texture texture=\"" + s +
             "-sampler\" texcoord=\"UVMap\"/>\n            </diffuse>\n"
             "            <specular>\n              <color sid=\"specular\">0.5 0.5 0.5 1</color>\n            </specular>\n"
             "            <shininess>\n              <float sid=\"shininess\">50</float>\n            </shininess>\n"
             "          </phong>\n        </technique>\n      </profile_COMMON>\n    </effect>\n";
    }
    d += "  </library_effects>\n  <library_materials>\n";
    for (const char* m : mats)
        d += std::string("    <material id=\"") + m + "-material\" name=\"" + m + "\">\n      <instance_effect url=\"#" +
             m + "-effect\"/>\n    </material>\n";
    d += "  </library_materials>\n  <library_geometries>\n";
    triangles = 0;
    const int side = n + 1;
    for (int o = 0; o < objects; ++o) {
        const std::string id = "Sheet" + std::to_string(o) + "-mesh";
        d += "    <geometry id=\"" + id + "\" name=\"Sheet" + std::to_string(o) + "\">\n      <mesh>\n";
        d += "        <source id=\"" + id + "-positions\">\n          <float_array id=\"" + id +
             "-positions-array\" count=\"" + std::to_string(side * side * 3) + "\">";
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const double fx = x * 10.0 / n, fy = y * 10.0 / n;
                num(d, fx), num(d, fy), num(d, std::sin(fx) * std::cos(fy));
            }
        d += "</float_array>\n          <technique_common>\n            <accessor source=\"#" + id +
             "-positions-array\" count=\"" + std::to_string(side * side) +
             "\" stride=\"3\">\n              <param name=\"X\" type=\"float\"/>\n              <param name=\"Y\" "
             "type=\"float\"/>\n              <param name=\"Z\" type=\"float\"/>\n            </accessor>\n"
             "          </technique_common>\n        </source>\n";
        d += "        <source id=\"" + id + "-normals\">\n          <float_array id=\"" + id +
             "-normals-array\" count=\"" + std::to_string(side * side * 3) + "\">";
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const double fx = x * 10.0 / n, fy = y * 10.0 / n;
                double nx = -std::cos(fx) * std::cos(fy), ny = std::sin(fx) * std::sin(fy), nz = 1;
                const double l = std::sqrt(nx * nx + ny * ny + nz * nz);
                num(d, nx / l), num(d, ny / l), num(d, nz / l);
            }
        d += "</float_array>\n          <technique_common>\n            <accessor source=\"#" + id +
             "-normals-array\" count=\"" + std::to_string(side * side) +
             "\" stride=\"3\">\n              <param name=\"X\" type=\"float\"/>\n              <param name=\"Y\" "
             "type=\"float\"/>\n              <param name=\"Z\" type=\"float\"/>\n            </accessor>\n"
             "          </technique_common>\n        </source>\n";
        d += "        <source id=\"" + id + "-map-0\">\n          <float_array id=\"" + id + "-map-0-array\" count=\"" +
             std::to_string(side * side * 2) + "\">";
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) num(d, static_cast<double>(x) / n), num(d, static_cast<double>(y) / n);
        d += "</float_array>\n          <technique_common>\n            <accessor source=\"#" + id +
             "-map-0-array\" count=\"" + std::to_string(side * side) +
             "\" stride=\"2\">\n              <param name=\"S\" type=\"float\"/>\n              <param name=\"T\" "
             "type=\"float\"/>\n            </accessor>\n          </technique_common>\n        </source>\n";
        d += "        <vertices id=\"" + id + "-vertices\">\n          <input semantic=\"POSITION\" source=\"#" + id +
             "-positions\"/>\n        </vertices>\n";
        for (int m = 0; m < 2; ++m) {
            const int count = n * (n / 2) * 2;
            d += std::string("        <triangles material=\"") + mats[m] + "-material\" count=\"" + std::to_string(count) +
                 "\">\n          <input semantic=\"VERTEX\" source=\"#" + id +
                 "-vertices\" offset=\"0\"/>\n          <input semantic=\"NORMAL\" source=\"#" + id +
                 "-normals\" offset=\"1\"/>\n          <input semantic=\"TEXCOORD\" source=\"#" + id +
                 "-map-0\" offset=\"2\" set=\"0\"/>\n          <p>";
            for (int y = 0; y < n; ++y)
                for (int x = (m == 0 ? 0 : n / 2); x < (m == 0 ? n / 2 : n); ++x) {
                    const int a = y * side + x, b = a + 1, c = a + side, e = c + 1;
                    for (int v : {a, b, e, a, e, c}) {
                        const std::string s = std::to_string(v) + " ";
                        d += s, d += s, d += s;
                    }
                }
            d += "</p>\n        </triangles>\n";
            triangles += count;
        }
        d += "      </mesh>\n    </geometry>\n";
    }
    d += "  </library_geometries>\n  <library_visual_scenes>\n    <visual_scene id=\"Scene\" name=\"Scene\">\n";
    for (int o = 0; o < objects; ++o) {
        const std::string id = "Sheet" + std::to_string(o);
        d += "      <node id=\"" + id + "\" name=\"" + id + "\" type=\"NODE\">\n        <matrix sid=\"transform\">1 0 0 " +
             std::to_string((o % 4) * 12) + " 0 1 0 " + std::to_string((o / 4) * 12) +
             " 0 0 1 0 0 0 0 1</matrix>\n        <instance_geometry url=\"#" + id +
             "-mesh\">\n          <bind_material>\n            <technique_common>\n";
        for (const char* m : mats)
            d += std::string("              <instance_material symbol=\"") + m + "-material\" target=\"#" + m +
                 "-material\"/>\n";
        d += "            </technique_common>\n          </bind_material>\n        </instance_geometry>\n      </node>\n";
    }
    d += "    </visual_scene>\n  </library_visual_scenes>\n  <scene>\n    <instance_visual_scene url=\"#Scene\"/>\n"
         "  </scene>\n</COLLADA>\n";
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    // --write FILE objects quads-per-side: only write the document (bench/run.sh).
    if (argc == 5 && std::string(argv[1]) == "--write") {
        const int objects = std::atoi(argv[3]), n = std::atoi(argv[4]);
        if (objects < 1 || n < 2 || n > 2000) return 2;
        long triangles = 0;
        std::string err;
        if (!molv::writeFileAtomic(argv[2], makeDocument(objects, n, triangles), err)) {
            std::fprintf(stderr, "cannot write %s: %s\n", argv[2], err.c_str());
            return 1;
        }
        std::printf("%ld\n", triangles);
        return 0;
    }
    const int objects = argc > 1 ? std::atoi(argv[1]) : 4;
    const int n = argc > 2 ? std::atoi(argv[2]) : 120;
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 7;
    if (objects < 1 || n < 2 || n > 2000 || repeats < 1) {
        std::fprintf(stderr, "usage: bench_dae [objects] [quads-per-side] [repeats]\n");
        return 2;
    }
    long triangles = 0;
    const std::string bytes = makeDocument(objects, n, triangles);
    const auto dir = std::filesystem::temp_directory_path() / ("bench_dae_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string src = (dir / "sheets.dae").string();
    std::string err;
    if (!molv::writeFileAtomic(src, bytes, err)) {
        std::fprintf(stderr, "cannot write %s: %s\n", src.c_str(), err.c_str());
        return 1;
    }
    std::printf("document: %d geometries, %ld triangles, %d positions, %.1f MB\n", objects, triangles,
                objects * (n + 1) * (n + 1), static_cast<double>(bytes.size()) / 1e6);

    const int status = bench::readConvertImport(src, dir, triangles, repeats, "molvConv read only",
                                                [&](molv::ReadEnv& env) { return molv::LoadDae(env, src).ok(); });
    if (status != 0) return status;
    std::printf(".cmf written: %lld bytes\n", static_cast<long long>(std::filesystem::file_size(dir / "sheets.cmf")));
    std::error_code ec;
    if (!std::getenv("BENCH_KEEP")) std::filesystem::remove_all(dir, ec);
    return 0;
}
