// 3DS benchmark: a generated model of several objects and well over 100k
// triangles, converted whole (read, fix-ups, Cal3D set written) and, in the
// same run, imported by assimp from the same file.
//
//   bench_3ds [objects] [quads-per-side] [repeats] [keep]
//   bench_3ds --write FILE objects quads-per-side [split]   (only write the model; bench/run.sh)
// With "keep" the generated model and its output stay in the temp folder.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_common.h"

#include "formats/tds_reader.h"
#include "util/binio.h"
#include "util/fileio.h"

namespace {

// Chunks are written with a placeholder length, patched when closed.
struct Writer {
    molv::ByteWriter w;
    std::vector<std::size_t> open;
    void begin(std::uint16_t id) {
        w.i16(static_cast<std::int16_t>(id));
        open.push_back(w.size());
        w.u32(0);
    }
    void end() {
        std::size_t at = open.back();
        open.pop_back();
        w.patchI32(at, static_cast<std::int32_t>(w.size() - at + 2));
    }
    void u16(std::uint16_t v) { w.i16(static_cast<std::int16_t>(v)); }
    void cstr(const std::string& s) {
        w.raw(s);
        w.u8(0);
    }
};

// objects x (n x n quads, 2 triangles each) on a wavy sheet, two
// materials per object, texture coordinates, smoothing groups, an origin per
// object and a keyframer chain: the chunks a 3ds Max export holds. With
// split every triangle has three vertices of its own (as an export with
// texture seams everywhere has): three times the vertices.
std::string makeModel(int objects, int n, long& triangles, bool split = false) {
    Writer k;
    k.begin(0x4D4D);
    k.begin(0x0002);
    k.w.u32(3);
    k.end();
    k.begin(0x3D3D);
    const char* mats[2] = {"Stone", "Moss"};
    for (int i = 0; i < 2; ++i) {
        k.begin(0xAFFF);
        k.begin(0xA000);
        k.cstr(mats[i]);
        k.end();
        k.begin(0xA020);
        k.begin(0x0011);
        k.w.u8(static_cast<std::uint8_t>(100 + 50 * i));
        k.w.u8(120);
        k.w.u8(90);
        k.end();
        k.end();
        k.begin(0xA040);
        k.begin(0x0030);
        k.u16(30);
        k.end();
        k.end();
        k.begin(0xA200);
        k.begin(0xA300);
        k.cstr(std::string(mats[i]) + ".png");
        k.end();
        k.end();
        k.end();
    }
    triangles = 0;
    const int side = n + 1;
    for (int o = 0; o < objects; ++o) {
        const float ox = static_cast<float>(o % 4) * 12.0f, oy = static_cast<float>(o / 4) * 12.0f;
        k.begin(0x4000);
        k.cstr("Sheet" + std::to_string(o));
        k.begin(0x4100);
        // Corner (x, y) of the sheet: its vertex number, its place and texture.
        auto corners = [&](auto&& each) {
            if (!split) {
                for (int y = 0; y < side; ++y)
                    for (int x = 0; x < side; ++x) each(x, y);
                return;
            }
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const int cx[6] = {x, x + 1, x + 1, x, x + 1, x}, cy[6] = {y, y, y + 1, y, y + 1, y + 1};
                    for (int c = 0; c < 6; ++c) each(cx[c], cy[c]);
                }
        };
        const int nv = split ? 6 * n * n : side * side;
        k.begin(0x4110);
        k.u16(static_cast<std::uint16_t>(nv));
        corners([&](int x, int y) {
            const float fx = static_cast<float>(x) * 10.0f / static_cast<float>(n);
            const float fy = static_cast<float>(y) * 10.0f / static_cast<float>(n);
            k.w.f32(ox + fx);
            k.w.f32(oy + fy);
            k.w.f32(std::sin(fx) * std::cos(fy));
        });
        k.end();
        k.begin(0x4140);
        k.u16(static_cast<std::uint16_t>(nv));
        corners([&](int x, int y) {
            k.w.f32(static_cast<float>(x) / static_cast<float>(n));
            k.w.f32(static_cast<float>(y) / static_cast<float>(n));
        });
        k.end();
        k.begin(0x4160);
        for (float v : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f}) k.w.f32(v);
        k.w.f32(ox);
        k.w.f32(oy);
        k.w.f32(0);
        k.end();
        const int nf = 2 * n * n;
        triangles += nf;
        k.begin(0x4120);
        k.u16(static_cast<std::uint16_t>(nf));
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                if (split) {
                    const int q = 6 * (y * n + x);
                    for (int c = 0; c < 6; c += 3)
                        k.u16(static_cast<std::uint16_t>(q + c)), k.u16(static_cast<std::uint16_t>(q + c + 1)),
                            k.u16(static_cast<std::uint16_t>(q + c + 2)), k.u16(7);
                    continue;
                }
                const auto a = static_cast<std::uint16_t>(y * side + x);
                const auto b = static_cast<std::uint16_t>(a + 1);
                const auto c = static_cast<std::uint16_t>(a + side);
                const auto d = static_cast<std::uint16_t>(c + 1);
                k.u16(a), k.u16(b), k.u16(d), k.u16(7);
                k.u16(a), k.u16(d), k.u16(c), k.u16(7);
            }
        // Left half of the sheet in one material, right half in the other.
        for (int i = 0; i < 2; ++i) {
            k.begin(0x4130);
            k.cstr(mats[i]);
            std::vector<std::uint16_t> members;
            for (int f = 0; f < nf; ++f)
                if (((f / 2) % n < n / 2) == (i == 0)) members.push_back(static_cast<std::uint16_t>(f));
            k.u16(static_cast<std::uint16_t>(members.size()));
            for (auto f : members) k.u16(f);
            k.end();
        }
        // Smoothing groups, as 3ds Max writes them: one smooth surface.
        k.begin(0x4150);
        for (int f = 0; f < nf; ++f) k.w.u32(1);
        k.end();
        k.end();  // faces
        k.end();  // trimesh
        k.end();  // object
    }
    k.end();  // editor
    k.begin(0xB000);
    for (int o = 0; o < objects; ++o) {
        k.begin(0xB002);
        k.begin(0xB030);
        k.u16(static_cast<std::uint16_t>(o));
        k.end();
        k.begin(0xB010);
        k.cstr("Sheet" + std::to_string(o));
        k.u16(0x4000);
        k.u16(0);
        k.u16(o == 0 ? 0xFFFF : static_cast<std::uint16_t>(o - 1));
        k.end();
        k.end();
    }
    k.end();
    k.end();
    return k.w.bytes();
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 5 || argc == 6) && std::string(argv[1]) == "--write") {
        const int objects = std::atoi(argv[3]), n = std::atoi(argv[4]);
        const bool split = argc == 6 && std::string(argv[5]) == "split";
        if (objects < 1 || n < 2 || (split ? 6 * n * n : (n + 1) * (n + 1)) > 65535 || 2 * n * n > 65535) return 2;
        long triangles = 0;
        std::string err;
        if (!molv::writeFileAtomic(argv[2], makeModel(objects, n, triangles, split), err)) {
            std::fprintf(stderr, "cannot write %s: %s\n", argv[2], err.c_str());
            return 1;
        }
        std::printf("%ld\n", triangles);
        return 0;
    }
    const int objects = argc > 1 ? std::atoi(argv[1]) : 8;
    const int n = argc > 2 ? std::atoi(argv[2]) : 120;
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 7;
    if (objects < 1 || n < 2 || (n + 1) * (n + 1) > 65535 || 2 * n * n > 65535 || repeats < 1) {
        std::fprintf(stderr, "usage: bench_3ds [objects] [quads-per-side <= 180] [repeats]\n");
        return 2;
    }
    long triangles = 0;
    const std::string bytes = makeModel(objects, n, triangles);
    const auto dir = std::filesystem::temp_directory_path() / ("bench_3ds_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string src = (dir / "sheets.3ds").string();
    std::string err;
    if (!molv::writeFileAtomic(src, bytes, err)) {
        std::fprintf(stderr, "cannot write %s: %s\n", src.c_str(), err.c_str());
        return 1;
    }
    std::printf("model: %d objects, %ld triangles, %d vertices, %.1f MB\n", objects, triangles,
                objects * (n + 1) * (n + 1), static_cast<double>(bytes.size()) / 1e6);

    const int status = bench::readConvertImport(src, dir, triangles, repeats, "molvConv read only",
                                                [&](molv::ReadEnv& env) { return molv::Read3DS(env, src).ok(); });
    if (status != 0) return status;
    std::printf(".cmf written: %lld bytes\n", static_cast<long long>(std::filesystem::file_size(dir / "sheets.cmf")));
    if (argc > 4 && std::string(argv[4]) == "keep") {
        std::printf("kept in %s\n", dir.string().c_str());
    } else {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return 0;
}
