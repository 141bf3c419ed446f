// Wavefront writer.
//
// Vertices at exactly the same position are written once: the vertices are
// sorted by keys made from their coordinates' bits (a total order, so a NaN
// cannot upset the sort) and runs of equal keys share the first vertex of
// the run.
// That costs n log n on any input, sorted or not.
//
// The store keeps z negated and each triangle's corners reversed against the
// right-handed files it reads; the writer undoes both, so a file read back
// gives the same triangles on the same positions and the model is not
// mirrored. Numbers take the print form of v and f lines: a blank before a
// number that is not negative, one after every number; coordinates with the
// shortest text that reads back as the same float.
#include "formats/obj_writer.h"

#include <algorithm>
#include <bit>

#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/store.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

constexpr const char* kEol = "\r\n";

// Orders floats as their values (NaNs at the ends); -0 counts as 0, so
// equal keys mean equal values.
std::uint32_t orderKey(float f) {
    const auto bits = std::bit_cast<std::uint32_t>(f + 0.0f);
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

struct SortEntry {
    std::uint32_t x, y, z;
    std::int32_t index;
    bool operator<(const SortEntry& o) const {
        if (x != o.x) return x < o.x;
        if (y != o.y) return y < o.y;
        if (z != o.z) return z < o.z;
        return index < o.index;
    }
    bool samePlace(const SortEntry& o) const { return x == o.x && y == o.y && z == o.z; }
};

std::int32_t vertexCount(const ModelStore& m) {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.ttlnum_Vertices)), m.Vertices.size()));
}

// " 1 ", "-2 ": the print form.
void printNumber(std::string& out, float v) {
    v += 0.0f;  // no "-0"
    if (!(v < 0)) out += ' ';
    appendNumText(out, v);
    out += ' ';
}

void printNumber(std::string& out, long long v) {
    if (v >= 0) out += ' ';
    appendNumText(out, v);
    out += ' ';
}

struct ObjText {
    std::string text;
    std::int32_t written = 0;     // v lines
    std::int32_t duplicates = 0;  // vertices merged away
    std::int32_t faces = 0;       // f lines
    std::int32_t badFaces = 0;    // faces naming vertices that do not exist, left out
};

ObjText objText(WriteEnv& env, const std::string& libraryName, bool logDuplicates) {
    const ModelStore& m = env.model;
    ObjText r;
    const std::vector<std::int32_t> keep = MergeDuplicateVertices(m, r.duplicates);
    if (logDuplicates) env.diag.logMsg(std::to_string(r.duplicates) + " duplicate vertices ");
    const std::int32_t nV = vertexCount(m);
    const std::int32_t nF = static_cast<std::int32_t>(
        std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.ttlnum_Faces)), m.VFaces.size()));
    // About 40 bytes a vertex line and 30 a face line.
    r.text.reserve(64 + static_cast<std::size_t>(nV) * 40 + static_cast<std::size_t>(nF) * 30);
    r.text += "mtllib " + oneLine(libraryName) + kEol;
    std::vector<std::int32_t> number(static_cast<std::size_t>(nV), -1);
    for (std::int32_t v = 0; v < nV; ++v) {
        if (env.diag.statusDue()) env.diag.showStatus(std::to_string(v) + " / " + std::to_string(nV));
        if (keep[static_cast<std::size_t>(v)] != v) continue;
        number[static_cast<std::size_t>(v)] = r.written++;
        const Vec3& p = m.vertexAt(v).pos;
        r.text += "v ";
        printNumber(r.text, p.x);
        printNumber(r.text, p.y);
        printNumber(r.text, -p.z);
        r.text += kEol;
    }
    for (std::int32_t f = 0; f < nF; ++f) {
        if (env.diag.statusDue()) env.diag.showStatus(std::to_string(f) + " / " + std::to_string(nF));
        const Face& face = m.faceAt(f);
        bool good = true;
        for (std::int32_t v : face.vtx) good = good && v >= 0 && v < nV;
        if (!good) {
            ++r.badFaces;
            continue;
        }
        r.text += "f ";
        for (int k = 2; k >= 0; --k) {
            const std::int32_t v = keep[static_cast<std::size_t>(face.vtx[k])];
            printNumber(r.text, static_cast<long long>(number[static_cast<std::size_t>(v)]) + 1);
        }
        r.text += kEol;
        ++r.faces;
    }
    return r;
}

}  // namespace

std::vector<std::int32_t> MergeDuplicateVertices(const ModelStore& m, std::int32_t& duplicates) {
    const std::int32_t n = vertexCount(m);
    std::vector<SortEntry> order(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const Vec3& p = m.vertexAt(i).pos;
        order[static_cast<std::size_t>(i)] = SortEntry{orderKey(p.x), orderKey(p.y), orderKey(p.z), i};
    }
    std::sort(order.begin(), order.end());
    std::vector<std::int32_t> keep(static_cast<std::size_t>(n));
    duplicates = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && order[i].samePlace(order[first])) {
            ++duplicates;
        } else {
            first = i;
        }
        keep[static_cast<std::size_t>(order[i].index)] = order[first].index;
    }
    return keep;
}

namespace {
// b / 255 rounded to 15 significant digits from the exact quotient (halves
// up), trailing zeros dropped: 178 gives 0.698039215686275, where rounding
// the nearest double instead would give ...274.
std::string fractionOf255(unsigned b) {
    if (b == 0) return "0";
    if (b >= 255) return "1";
    std::string digits;
    unsigned rem = b;
    int significant = 0;
    while (significant < 15) {
        rem *= 10;
        const unsigned d = rem / 255;
        rem %= 255;
        digits += static_cast<char>('0' + d);
        if (d != 0 || significant > 0) ++significant;
    }
    if (rem * 10 / 255 >= 5) {
        // The quotient is at most 254/255: a carry never reaches the point.
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i > 0) ++digits[i - 1];
    }
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    return "0." + digits;
}
}  // namespace

std::string MtlColourText(const Colour& c) {
    std::string s;
    for (std::uint8_t b : {c.r, c.g, c.b}) s += " " + fractionOf255(b);
    return s;
}

std::string buildMtl(const ModelStore& m, bool percentTransparency) {
    std::string out;
    const std::int32_t n = std::min<std::int32_t>(m.nMaterials, static_cast<std::int32_t>(m.Materials.size()));
    for (std::int32_t i = 0; i < n; ++i) {
        const Material& mt = m.materialAt(i);
        float t = percentTransparency ? mt.transparency / 100.0f : mt.transparency;
        // d is an opacity between 0 and 1 (NaN counts as opaque).
        t = t > 0 ? std::min(t, 1.0f) : 0.0f;
        // A line break in a name would let it add lines of its own.
        out += "newmtl " + (mt.name.empty() ? "Material_" + std::to_string(i) : oneLine(mt.name)) + kEol;
        out += "Ka " + MtlColourText(mt.ambient) + kEol;
        out += "Kd " + MtlColourText(mt.diffuse) + kEol;
        out += "Ks " + MtlColourText(mt.specular) + kEol;
        out += "d " + numText(1.0f - t) + kEol;
        out += "Ns " + numText(mt.shininess * 10.0f) + kEol;
    }
    return out;
}

std::string buildObj(WriteEnv& env, const std::string& libraryName) {
    return objText(env, libraryName, false).text;
}

bool WriteMtl(WriteEnv& env, const std::string& path) {
    return writeWhole(env, path, buildMtl(env.model, env.srcExt == "3ds"));
}

bool WriteObj(WriteEnv& env, const std::string& path) {
    const ModelStore& m = env.model;
    if (vertexCount(m) <= 0) {
        env.diag.msgBox("No Vertices loaded");
        return false;
    }
    const std::string base = pathNoExt(path);
    if (!WriteMtl(env, base + ".mtl")) return false;
    env.diag.logMsg(std::to_string(m.ttlnum_Vertices) + " vertices");
    const std::string objPath = base + ".obj";
    ObjText r = objText(env, baseName(path) + ".mtl", true);
    env.diag.logMsg("Write " + objPath);
    if (!writeWhole(env, objPath, r.text)) return false;
    env.diag.logMsg(std::to_string(r.written) + " effective vertices");
    if (r.badFaces > 0)
        env.diag.msgBox(std::to_string(r.badFaces) + " faces name vertices that do not exist; left out of " + objPath);
    env.diag.logMsg("Done: " + std::to_string(m.ttlnum_Vertices) + " Vtcs, " + std::to_string(r.faces) + " Faces");
    return true;
}

}  // namespace molv
