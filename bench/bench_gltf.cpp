// glTF benchmark: a generated binary glTF (.glb) of one textured sheet of
// about a million triangles (positions, normals, texture coordinates,
// 32-bit indices), converted whole (read, fix-ups, Cal3D set written) and,
// in the same run, imported by assimp from the same file.
//
//   bench_gltf [quads-per-side] [repeats]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

#include "convert/context.h"
#include "convert/driver.h"
#include "core/scripted_ui.h"
#include "formats/gltf_reader.h"
#include "util/fileio.h"

#ifdef MOLV_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

template <class T>
void put(std::string& b, const std::vector<T>& v) {
    b.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}
void u32(std::string& b, std::uint32_t v) { b.append(reinterpret_cast<const char*>(&v), 4); }

// n x n quads on a wavy sheet, two triangles each.
std::string makeGlb(int n, long& triangles) {
    const int side = n + 1;
    std::vector<float> pos, nrm, uv;
    std::vector<std::uint32_t> idx;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const float fx = x * 10.0f / n, fz = y * 10.0f / n;
            pos.insert(pos.end(), {fx, std::sin(fx) * std::cos(fz), fz});
            nrm.insert(nrm.end(), {0, 1, 0});
            uv.insert(uv.end(), {static_cast<float>(x) / n, static_cast<float>(y) / n});
        }
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const std::uint32_t a = static_cast<std::uint32_t>(y * side + x), b = a + 1, c = a + side, e = c + 1;
            idx.insert(idx.end(), {a, c, e, a, e, b});
        }
    triangles = static_cast<long>(idx.size() / 3);
    std::string bin;
    put(bin, pos);
    put(bin, nrm);
    put(bin, uv);
    put(bin, idx);
    const std::size_t vp = pos.size() * 4, vn = nrm.size() * 4, vu = uv.size() * 4, vi = idx.size() * 4;
    const std::string nv = std::to_string(side * side);
    std::string json =
        "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
        "\"nodes\":[{\"mesh\":0,\"scale\":[0.1,0.1,0.1]}],"
        "\"meshes\":[{\"name\":\"sheet\",\"primitives\":[{\"attributes\":{\"POSITION\":0,\"NORMAL\":1,\"TEXCOORD_0\":2},"
        "\"indices\":3,\"material\":0}]}],"
        "\"materials\":[{\"name\":\"Stone\",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}],"
        "\"textures\":[{\"source\":0}],\"images\":[{\"uri\":\"stone.png\"}],"
        "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":" + nv +
        ",\"type\":\"VEC3\",\"min\":[0,-1,0],\"max\":[10,1,10]},"
        "{\"bufferView\":1,\"componentType\":5126,\"count\":" + nv + ",\"type\":\"VEC3\"},"
        "{\"bufferView\":2,\"componentType\":5126,\"count\":" + nv + ",\"type\":\"VEC2\"},"
        "{\"bufferView\":3,\"componentType\":5125,\"count\":" + std::to_string(idx.size()) + ",\"type\":\"SCALAR\"}],"
        "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":" + std::to_string(vp) + "},"
        "{\"buffer\":0,\"byteOffset\":" + std::to_string(vp) + ",\"byteLength\":" + std::to_string(vn) + "},"
        "{\"buffer\":0,\"byteOffset\":" + std::to_string(vp + vn) + ",\"byteLength\":" + std::to_string(vu) + "},"
        "{\"buffer\":0,\"byteOffset\":" + std::to_string(vp + vn + vu) + ",\"byteLength\":" + std::to_string(vi) + "}],"
        "\"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) + "}]}";
    while (json.size() % 4) json += ' ';
    while (bin.size() % 4) bin += '\0';
    std::string glb = "glTF";
    u32(glb, 2);
    u32(glb, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
    u32(glb, static_cast<std::uint32_t>(json.size()));
    glb += "JSON";
    glb += json;
    u32(glb, static_cast<std::uint32_t>(bin.size()));
    glb.append("BIN\0", 4);
    glb += bin;
    return glb;
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU time of this thread: the machine may be shared, and both contenders
// are single-threaded.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void line(const char* what, const std::vector<double>& wall, const std::vector<double>& cpu) {
    std::printf("%-32s wall median %8.1f ms   cpu median %8.1f ms\n", what, median(wall), median(cpu));
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 708;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    if (n < 2 || n > 3000 || repeats < 1) {
        std::fprintf(stderr, "usage: bench_gltf [quads-per-side] [repeats]\n");
        return 2;
    }
    long triangles = 0;
    const std::string bytes = makeGlb(n, triangles);
    const auto dir = std::filesystem::temp_directory_path() / ("bench_gltf_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string src = (dir / "sheet.glb").string();
    std::string err;
    if (!molv::writeFileAtomic(src, bytes, err)) {
        std::fprintf(stderr, "cannot write %s: %s\n", src.c_str(), err.c_str());
        return 1;
    }
    std::printf("sheet.glb: %ld triangles, %d positions, %.1f MB\n", triangles, (n + 1) * (n + 1),
                static_cast<double>(bytes.size()) / 1e6);

    std::vector<double> readT, convT, assimpT, readC, convC, assimpC;
    for (int r = 0; r < repeats; ++r) {
        {
            molv::ScriptedUI ui;
            molv::Context ctx(ui);
            ctx.app.srcFile = src;
            auto t0 = Clock::now();
            const double c0 = cpuMs();
            molv::ReadEnv env = ctx.readEnv();
            const bool ok = molv::LoadGltf(env, src).ok();
            readC.push_back(cpuMs() - c0);
            readT.push_back(ms(Clock::now() - t0));
            if (!ok || ctx.model.ttlnum_Faces != triangles) {
                std::fprintf(stderr, "read failed: %d faces\n", ctx.model.ttlnum_Faces);
                return 1;
            }
        }
        {
            molv::ScriptedUI ui;
            molv::Context ctx(ui);
            ctx.app.workdir = dir.string() + "/";
            auto t0 = Clock::now();
            const double c0 = cpuMs();
            const bool ok = molv::convertFile(ctx, src, "");
            convC.push_back(cpuMs() - c0);
            convT.push_back(ms(Clock::now() - t0));
            if (!ok) {
                std::fprintf(stderr, "conversion failed%s%s\n", ui.boxes.empty() ? "" : ": ",
                             ui.boxes.empty() ? "" : ui.boxes.back().text.c_str());
                return 1;
            }
        }
#ifdef MOLV_HAVE_ASSIMP
        {
            Assimp::Importer imp;
            auto t0 = Clock::now();
            const double c0 = cpuMs();
            const aiScene* sc = imp.ReadFile(src, 0);
            assimpC.push_back(cpuMs() - c0);
            assimpT.push_back(ms(Clock::now() - t0));
            if (!sc || sc->mNumMeshes != 1 || sc->mMeshes[0]->mNumFaces != static_cast<unsigned>(triangles)) {
                std::fprintf(stderr, "assimp failed: %s\n", imp.GetErrorString());
                return 1;
            }
        }
#endif
    }
    line("molvConv read (LoadGltf)", readT, readC);
    line("molvConv whole conversion", convT, convC);
#ifdef MOLV_HAVE_ASSIMP
    line("assimp ReadFile (no flags)", assimpT, assimpC);
    std::printf("whole conversion vs assimp import: %.2fx faster (cpu medians), %.2fx (wall medians)\n",
                median(assimpC) / median(convC), median(assimpT) / median(convT));
#endif
    std::error_code ec;
    if (!std::getenv("BENCH_KEEP")) std::filesystem::remove_all(dir, ec);
    return 0;
}
