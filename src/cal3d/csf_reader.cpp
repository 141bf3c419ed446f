#include "cal3d/csf_reader.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/skeleton.h"
#include "model/vecmath.h"
#include "util/binio.h"
#include "util/fileio.h"
#include "util/numfmt.h"

namespace molv {

namespace {

// Name length, 14 floats, parent and child count: the least a bone takes.
constexpr std::int64_t kMinBoneBytes = 4 + 14 * 4 + 4 + 4;

std::string dropNuls(std::string_view s) {
    std::string t;
    t.reserve(s.size());
    for (char c : s)
        if (c != '\0') t += c;
    return t;
}

std::string floats(const float* f, int n) {
    std::string t;
    for (int i = 0; i < n; ++i) t += " " + numText(f[i]);
    return t;
}

std::string listingLine(std::int32_t i, const Bone& b) {
    std::string t = std::to_string(i) + ": " + padRight(b.name, 20);
    t += "  TrXYZ=" + floats(b.TrXYZ, 3) + "  RotXYZW=" + floats(b.RotXYZW, 4) + "  LocTrXYZ=" + floats(b.LocTrXYZ, 3) +
         "   LocRotXYZ=" + floats(b.LocRotXYZ, 4) + " " + std::to_string(b.PBID) + " " + std::to_string(b.num_chldrn) +
         "   chldrn=";
    for (std::int32_t c : b.chldrn) t += " " + std::to_string(c);
    const Vec3 a = QuatToAngles(MakeQuat(b.RotXYZW[0], b.RotXYZW[1], b.RotXYZW[2], b.RotXYZW[3]));
    t += "  Ori: " + numText(a.x) + " " + numText(a.y) + " " + numText(a.z);
    return t;
}

// The developer listing of the bones, written to its file in one piece when
// the read ends, however it ends: opening the file once per bone made a
// skeleton of tens of thousands of bones take many seconds.
class Listing {
public:
    explicit Listing(std::string path) : path_(std::move(path)) {}
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;
    ~Listing() {
        if (!path_.empty() && any_) appendLineToFile(path_, text_);
    }
    void add(std::string_view line) {
        if (path_.empty()) return;
        if (any_) text_ += "\r\n";
        text_ += line;
        any_ = true;
    }

private:
    std::string path_, text_;
    bool any_ = false;
};

ReadResult failAt(const std::string& source, std::size_t at, const std::string& what) {
    return ReadResult::failedAt(source + " at byte " + std::to_string(at) + ": " + what, source,
                                static_cast<std::int64_t>(at));
}

}  // namespace

ReadResult readCsfBytes(ReadEnv& env, std::string_view bytes, const std::string& source, SkeletonStore& out) {
    ByteReader r(bytes);
    if (r.size() < 12)
        return failAt(source, 0, "too short for a Cal3D skeleton: " + std::to_string(r.size()) + " bytes");
    if (r.bytes(4) != std::string_view("CSF\0", 4))
        return failAt(source, 0, "not a Cal3D skeleton: it does not start with CSF");
    SkeletonStore sk;
    sk.skl_version = r.i32();
    const std::int32_t n = r.i32();
    if (n < 0 || n * kMinBoneBytes > static_cast<std::int64_t>(r.left()))
        return failAt(source, 8, "bone count " + std::to_string(n) + " does not fit the " + std::to_string(r.left()) +
                                     " bytes that follow");
    env.diag.logMsg("SKL: " + source + ", " + std::to_string(n) + " bones");
    const std::string listing = env.workdir.empty() ? std::string() : env.workdir + "0molvconv2.log";
    if (!listing.empty()) deleteFile(listing);
    Listing listed(listing);
    sk.num_Bones = n;
    sk.Bones.assign(static_cast<std::size_t>(n) + 1, Bone{});
    for (std::int32_t i = 0; i < n; ++i) {
        Bone& b = sk.Bones[static_cast<std::size_t>(i)];
        const std::string bone = "bone " + std::to_string(i);
        const std::size_t lenAt = r.pos();
        b.name_len = r.i32();
        if (!r.ok()) return failAt(source, r.size(), "the file ends inside " + bone);
        if (b.name_len < 0 || static_cast<std::size_t>(b.name_len) > r.left())
            return failAt(source, lenAt, bone + ": name length " + std::to_string(b.name_len) + " runs past the end");
        b.name = dropNuls(r.bytes(static_cast<std::size_t>(b.name_len)));
        for (float& f : b.TrXYZ) f = r.f32();
        for (float& f : b.RotXYZW) f = r.f32();
        for (float& f : b.LocTrXYZ) f = r.f32();
        for (float& f : b.LocRotXYZ) f = r.f32();
        b.PBID = r.i32();
        const std::size_t countAt = r.pos();
        b.num_chldrn = r.i32();
        if (!r.ok()) return failAt(source, r.size(), "the file ends inside " + bone + " (" + b.name + ")");
        if (b.num_chldrn < 0 || std::int64_t{b.num_chldrn} * 4 > static_cast<std::int64_t>(r.left()))
            return failAt(source, countAt, bone + " (" + b.name + "): child count " + std::to_string(b.num_chldrn) +
                                               " runs past the end");
        b.chldrn.resize(static_cast<std::size_t>(b.num_chldrn));
        for (std::int32_t& c : b.chldrn) c = r.i32();
        if (env.diag.dbgLevel > 0) {
            const std::string line = listingLine(i, b);
            env.diag.logMsg(line, 1);
            listed.add(line);
        }
    }
    out = std::move(sk);
    return {};
}

ReadResult readCsf(ReadEnv& env, const std::string& path) {
    std::string bytes, err;
    if (!fileExists(path) || !readWholeFile(path, bytes, err)) return ReadResult::failed("Not found: " + path, path);
    if (!env.skel) return ReadResult::failed("No skeleton store to read " + path + " into", path);
    return readCsfBytes(env, bytes, path, *env.skel);
}

}  // namespace molv
