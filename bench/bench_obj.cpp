// Wavefront conversion benchmark: grid models of about 10 thousand, 100
// thousand and a million triangles, plain and with texture seams (texture
// numbers that differ from vertex numbers, vertices that carry several
// texture vertices), converted stage by stage (read, fix-ups, normals,
// writing the prop set) and, when built with tinyobjloader, parsed by it
// too. Every run is a child process of its own, so its peak memory is its
// own; the best of several runs counts.
//
//   bench_obj [--quick] [--reps N] [--keep]
//     --quick  only the two smaller sizes
//     --reps   runs per case (default 3)
//     --keep   keep the generated files and outputs
//   bench_obj --write FILE quads-per-side [seams]   (only write the grid; bench/run.sh)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench_common.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cal3d/cal3d_set.h"
#include "formats/obj_reader.h"
#include "model/extents.h"
#include "convert/context.h"
#include "convert/fixups.h"
#include "model/normals.h"
#include "convert/driver.h"

#ifdef MOLV_HAVE_TINYOBJ
#include <tiny_obj_loader.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Nobody is asked anything and nothing is shown.
class SilentUI : public molv::QuietUI {
public:
    molv::Answer messageBox(const std::string& text, molv::Buttons, molv::Answer dflt) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return dflt;
    }
};

// --- model files ---------------------------------------------------------

class Out {
public:
    explicit Out(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {}
    ~Out() {
        flush();
        if (f_) std::fclose(f_);
    }
    bool ok() const { return f_ != nullptr; }
    Out& s(const char* t) {
        std::size_t n = std::strlen(t);
        std::memcpy(room(n), t, n);
        used_ += n;
        return *this;
    }
    Out& i(long v) {
        char* p = room(24);
        used_ += static_cast<std::size_t>(std::to_chars(p, p + 24, v).ptr - p);
        return *this;
    }
    Out& f(double v) {
        char* p = room(48);
        used_ += static_cast<std::size_t>(std::to_chars(p, p + 48, v, std::chars_format::fixed, 6).ptr - p);
        return *this;
    }

private:
    char* room(std::size_t n) {
        if (used_ + n > sizeof buf_) flush();
        return buf_ + used_;
    }
    void flush() {
        if (f_ && used_) std::fwrite(buf_, 1, used_, f_);
        used_ = 0;
    }
    std::FILE* f_;
    char buf_[1 << 16];
    std::size_t used_ = 0;
};

// n x n quads, two triangles each. With seams the grid is cut into
// tiles x tiles patches that each have their own texture vertices, written
// patch by patch, so texture numbers run in another order than vertex
// numbers and every vertex on a patch border carries two to four.
bool writeGrid(const std::string& path, int n, bool seams) {
    Out o(path);
    if (!o.ok()) return false;
    o.s("# grid ").i(n).s(" x ").i(n).s(seams ? " with texture seams\n" : "\n");
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            o.s("v ").f(i * 0.01).s(" ").f(((i * j) % 7) * 0.001).s(" ").f(j * 0.01).s("\n");
    const int tiles = 8;
    const int step = (n + tiles - 1) / tiles;
    // First texture vertex number of each patch, and its width in vertices.
    std::vector<long> tileBase(static_cast<std::size_t>(tiles * tiles), 0);
    if (seams) {
        long next = 1;
        for (int tj = 0; tj < tiles; ++tj)
            for (int ti = 0; ti < tiles; ++ti) {
                tileBase[static_cast<std::size_t>(tj * tiles + ti)] = next;
                int i0 = ti * step, i1 = std::min(n, i0 + step), j0 = tj * step, j1 = std::min(n, j0 + step);
                for (int j = j0; j <= j1; ++j)
                    for (int i = i0; i <= i1; ++i) {
                        o.s("vt ").f(double(i - i0) / step).s(" ").f(double(j - j0) / step).s("\n");
                        ++next;
                    }
            }
    }
    auto vtx = [&](int i, int j) { return static_cast<long>(j) * (n + 1) + i + 1; };
    auto tex = [&](int i, int j, int ti, int tj) {
        int i0 = ti * step, j0 = tj * step, w = std::min(n, i0 + step) - i0 + 1;
        return tileBase[static_cast<std::size_t>(tj * tiles + ti)] + static_cast<long>(j - j0) * w + (i - i0);
    };
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int ci[4] = {i, i + 1, i + 1, i}, cj[4] = {j, j, j + 1, j + 1};
            const int tri[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (const auto& t : tri) {
                o.s("f");
                for (int k : t) {
                    o.s(" ").i(vtx(ci[k], cj[k]));
                    if (seams) o.s("/").i(tex(ci[k], cj[k], i / step, j / step));
                }
                o.s("\n");
            }
        }
    return true;
}

// --- measured runs (each in a child process) ----------------------------

struct Result {
    double stage[5] = {0, 0, 0, 0, 0};  // read, fix-ups, normals, write, total
    double cpu = 0;                     // user + system seconds
    long peakKb = 0;
    long vertices = 0, faces = 0;
    bool ok = false;
};

const char* const kStages[] = {"read", "fix-ups", "normals", "write", "total"};

Result convertRun(const std::string& src, const std::string& outFile) {
    Result r;
    SilentUI ui;
    molv::Context ctx(ui);
    ctx.app.srcFile = src;
    ctx.app.srcExt = "obj";
    ctx.app.srcFolder = std::filesystem::path(src).parent_path().string() + "/";
    const auto t0 = Clock::now();
    auto t = t0;
    ctx.model.ClearModel();
    molv::ReadEnv env = ctx.readEnv();
    r.ok = molv::LoadObj(env, src).ok();
    r.stage[0] = secondsSince(t);
    t = Clock::now();
    molv::runAutos(ctx, false);
    molv::SetMaxMinsM(ctx, ctx.model);
    r.stage[1] = secondsSince(t);
    t = Clock::now();
    molv::calcVertexNormals(ctx, ctx.model);
    r.stage[2] = secondsSince(t);
    t = Clock::now();
    ctx.settings.reCalcNormals = false;  // done above
    molv::WriteEnv wenv = ctx.writeEnv();
    r.ok = r.ok && molv::writeCal3d(wenv, outFile, true);
    r.stage[3] = secondsSince(t);
    r.stage[4] = secondsSince(t0);
    r.vertices = ctx.model.ttlnum_Vertices;
    r.faces = ctx.model.ttlnum_Faces;
    return r;
}

#ifdef MOLV_HAVE_TINYOBJ
Result tinyobjRun(const std::string& src) {
    Result r;
    const auto t0 = Clock::now();
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    r.ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, src.c_str(), nullptr, true);
    r.stage[0] = r.stage[4] = secondsSince(t0);
    r.vertices = static_cast<long>(attrib.vertices.size() / 3);
    for (auto& s : shapes) r.faces += static_cast<long>(s.mesh.num_face_vertices.size());
    return r;
}
#endif

// Runs fn in a child; its peak resident memory and CPU time come from the
// kernel's accounting of that child alone.
template <class Fn>
Result inChild(Fn fn) {
    int fds[2];
    Result r;
    if (::pipe(fds) != 0) return r;
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        Result c = fn();
        ssize_t w = ::write(fds[1], &c, sizeof c);
        ::_exit(w == static_cast<ssize_t>(sizeof c) ? 0 : 1);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return r;
    }
    Result got;
    bool have = ::read(fds[0], &got, sizeof got) == static_cast<ssize_t>(sizeof got);
    ::close(fds[0]);
    int status = 0;
    struct rusage ru{};
    ::wait4(pid, &status, 0, &ru);
    if (!have || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return r;
    got.peakKb = ru.ru_maxrss;
    got.cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return got;
}

// The best of several runs: least time per stage, least CPU, least peak.
template <class Fn>
Result best(int reps, Fn fn) {
    Result b;
    for (int k = 0; k < reps; ++k) {
        Result r = inChild(fn);
        if (!r.ok) return r;
        if (k == 0) {
            b = r;
            continue;
        }
        for (int s = 0; s < 5; ++s) b.stage[s] = std::min(b.stage[s], r.stage[s]);
        b.cpu = std::min(b.cpu, r.cpu);
        b.peakKb = std::min(b.peakKb, r.peakKb);
    }
    return b;
}

struct Case {
    std::string name, path;
    int n;
    bool seams;
    long long bytes = 0;
    Result molv, tiny;
};

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--write") {
        const int n = std::atoi(argv[3]);
        if (n < 2 || n > 5000) return 2;
        if (!writeGrid(argv[2], n, argc == 5 && std::string(argv[4]) == "seams")) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        std::printf("%ld\n", 2L * n * n);
        return 0;
    }
    bench::Options opt;
    if (!bench::parseOptions(argc, argv, opt)) return 2;
    const int reps = opt.reps;
    const bool quick = opt.quick, keep = opt.keep;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("molv_bench_obj_" + std::to_string(::getpid()));
    fs::create_directories(dir);

    std::vector<Case> cases;
    const int sizes[] = {71, 224, 707};  // 2 n^2: 10082, 100352, 999698 triangles
    for (int n : sizes) {
        if (quick && n == 707) continue;
        for (bool seams : {false, true}) {
            Case c;
            c.n = n;
            c.seams = seams;
            c.name = std::to_string(2L * n * n / 1000) + "k" + (seams ? " seams" : "");
            c.path = (dir / ("grid_" + std::to_string(n) + (seams ? "_seams" : "") + ".obj")).string();
            if (!writeGrid(c.path, n, seams)) {
                std::fprintf(stderr, "cannot write %s\n", c.path.c_str());
                return 1;
            }
            c.bytes = static_cast<long long>(fs::file_size(c.path));
            cases.push_back(c);
        }
    }

    std::printf("Wavefront conversion, best of %d runs each (seconds; peak resident memory in MB)\n\n", reps);
    std::printf("%-12s %7s %9s | %7s %7s %7s %7s %7s %6s %6s |", "model", "MB", "triangles", kStages[0], kStages[1],
                kStages[2], kStages[3], kStages[4], "cpu", "peak");
#ifdef MOLV_HAVE_TINYOBJ
    std::printf(" %9s %6s %6s | %6s %6s", "tinyobj", "cpu", "peak", "speed", "memory");
#endif
    std::printf("\n");
    bool allOk = true;
    for (Case& c : cases) {
        const std::string out = c.path.substr(0, c.path.size() - 4) + "_out.cmf";
        c.molv = best(reps, [&] { return convertRun(c.path, out); });
#ifdef MOLV_HAVE_TINYOBJ
        c.tiny = best(reps, [&] { return tinyobjRun(c.path); });
#endif
        if (!c.molv.ok) {
            std::printf("%-12s conversion failed\n", c.name.c_str());
            allOk = false;
            continue;
        }
        std::printf("%-12s %7.1f %9ld | %7.3f %7.3f %7.3f %7.3f %7.3f %6.3f %6.1f |", c.name.c_str(),
                    double(c.bytes) / 1e6, c.molv.faces, c.molv.stage[0], c.molv.stage[1], c.molv.stage[2],
                    c.molv.stage[3], c.molv.stage[4], c.molv.cpu, double(c.molv.peakKb) / 1024);
#ifdef MOLV_HAVE_TINYOBJ
        if (c.tiny.ok)
            std::printf(" %9.3f %6.3f %6.1f | %5.2fx %5.2fx", c.tiny.stage[0], c.tiny.cpu, double(c.tiny.peakKb) / 1024,
                        c.tiny.stage[0] / c.molv.stage[4], double(c.tiny.peakKb) / double(c.molv.peakKb));
        else
            std::printf(" %9s", "failed");
#endif
        std::printf("\n");
    }
    std::printf("\nspeed: tinyobjloader's parse time / whole conversion; memory: its peak / ours (above 1 is better)\n");

    // Growth from 100k to 1M triangles (about 10x the work).
    for (bool seams : {false, true}) {
        const Case* small = nullptr;
        const Case* large = nullptr;
        for (const Case& c : cases) {
            if (c.seams != seams || !c.molv.ok) continue;
            if (c.n == 224) small = &c;
            if (c.n == 707) large = &c;
        }
        if (small && large) {
            double work = double(large->molv.faces) / double(small->molv.faces);
            std::printf("growth%s: 1M takes %.1fx the time of 100k (wall), %.1fx (cpu), for %.1fx the triangles\n",
                        seams ? " with seams" : "", large->molv.stage[4] / small->molv.stage[4],
                        large->molv.cpu / small->molv.cpu, work);
        }
    }
    if (!keep) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    } else {
        std::printf("files kept in %s\n", dir.string().c_str());
    }
    return allOk ? 0 : 1;
}
