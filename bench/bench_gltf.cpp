// glTF benchmark: a generated binary glTF (.glb) of one textured sheet of
// about a million triangles (positions, normals, texture coordinates,
// 32-bit indices), converted whole (read, fix-ups, Cal3D set written) and,
// in the same run, imported by assimp from the same file.
//
//   bench_gltf [quads-per-side] [repeats]
//   bench_gltf --write FILE quads-per-side   (only write the model; bench/run.sh)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_common.h"

#include "formats/gltf_reader.h"
#include "util/fileio.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--write") {
        const int n = std::atoi(argv[3]);
        if (n < 2 || n > 3000) return 2;
        long triangles = 0;
        std::string err;
        if (!molv::writeFileAtomic(argv[2], makeGlb(n, triangles), err)) {
            std::fprintf(stderr, "cannot write %s: %s\n", argv[2], err.c_str());
            return 1;
        }
        std::printf("%ld\n", triangles);
        return 0;
    }
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

    const int status = bench::readConvertImport(src, dir, triangles, repeats, "molvConv read (LoadGltf)",
                                                [&](molv::ReadEnv& env) { return molv::LoadGltf(env, src).ok(); });
    if (status != 0) return status;
    std::error_code ec;
    if (!std::getenv("BENCH_KEEP")) std::filesystem::remove_all(dir, ec);
    return 0;
}
