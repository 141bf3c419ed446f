#include "cal3d/an8_figure.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/skeleton.h"
#include "util/fileio.h"
#include "util/numfmt.h"

namespace molv {

namespace {

// A name inside Anim8or's double quotes; control characters (a line break
// would end the line) become blanks.
std::string quoted(std::string_view s) {
    std::string t = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') t += '\\';
        t += static_cast<unsigned char>(c) < ' ' ? ' ' : c;
    }
    return t + "\"";
}

// Indentation shows the first levels of a tree; a chain thousands of bones
// deep would otherwise make the file grow with the square of its depth.
constexpr int kMaxIndentLevel = 32;

bool validBone(const SkeletonStore& sk, std::int32_t b) {
    return b >= 0 && b < sk.num_Bones && static_cast<std::size_t>(b) < sk.Bones.size();
}

std::int32_t childCount(const Bone& b) {
    return static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(std::max(0, b.num_chldrn)), b.chldrn.size()));
}

}  // namespace

void writeFigureLine(std::string& out, std::string_view text, int level) {
    out.append(static_cast<std::size_t>(4 * std::clamp(level, 0, kMaxIndentLevel)), ' ');
    out += text;
    out += "\r\n";
}

void writeFigureBone(std::string& out, const SkeletonStore& sk, std::int32_t b, int level) {
    const Bone& bone = sk.Bones[static_cast<std::size_t>(b)];
    float len = 3;
    for (std::int32_t k = 0; k < childCount(bone); ++k) {
        const std::int32_t c = bone.chldrn[static_cast<std::size_t>(k)];
        if (!validBone(sk, c)) continue;
        const float* t = sk.Bones[static_cast<std::size_t>(c)].TrXYZ;
        len = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        if (len == 0) len = 0.111f;
        break;
    }
    writeFigureLine(out, "bone { " + quoted(bone.name), level);
    writeFigureLine(out, "  length { " + numText(len) + " }", level);
    const float* q = bone.LocRotXYZ;
    writeFigureLine(out, "  orientation { (" + numText(q[0]) + " " + numText(q[1]) + " " + numText(q[2]) + " " +
                             numText(q[3]) + ") }",
                    level);
}

std::string buildAn8Figure(const SkeletonStore& sk, std::int32_t* skipped) {
    std::string out;
    for (const char* l : {"  header {", "  version { \"0.96 beta\" }", "  build { \"2007.07.31\" }", "}", "environment {",
                          "  grid { 1 10 50 50 }", "  framerate { 24 }", "}", " figure { \"figure01\""})
        writeFigureLine(out, l, 0);
    const std::int32_t n = std::max(0, std::min<std::int32_t>(sk.num_Bones, static_cast<std::int32_t>(sk.Bones.size())));
    std::vector<char> written(static_cast<std::size_t>(n), 0);
    std::int32_t bad = 0;
    struct Open {
        std::int32_t bone;
        int level;
        std::int32_t next;  // the next child to visit
    };
    std::vector<Open> stack;  // depth first without recursion: chains of any length
    auto visit = [&](std::int32_t root) {
        written[static_cast<std::size_t>(root)] = 1;
        writeFigureBone(out, sk, root, 1);
        stack.push_back(Open{root, 1, 0});
        while (!stack.empty()) {
            Open& o = stack.back();
            const Bone& b = sk.Bones[static_cast<std::size_t>(o.bone)];
            if (o.next >= childCount(b)) {
                writeFigureLine(out, "}", o.level);
                stack.pop_back();
                continue;
            }
            const std::int32_t c = b.chldrn[static_cast<std::size_t>(o.next++)];
            if (!validBone(sk, c) || written[static_cast<std::size_t>(c)]) {
                ++bad;
                continue;
            }
            written[static_cast<std::size_t>(c)] = 1;
            const int level = o.level + 1;
            writeFigureBone(out, sk, c, level);
            stack.push_back(Open{c, level, 0});
        }
    };
    // Every root (a bone without a parent among the bones), then whatever a
    // broken hierarchy left unreached.
    for (std::int32_t b = 0; b < n; ++b)
        if (!written[static_cast<std::size_t>(b)] && !validBone(sk, sk.Bones[static_cast<std::size_t>(b)].PBID)) visit(b);
    for (std::int32_t b = 0; b < n; ++b)
        if (!written[static_cast<std::size_t>(b)]) visit(b);
    writeFigureLine(out, "}", 0);
    if (skipped) *skipped = bad;
    return out;
}

bool writeAn8Figure(WriteEnv& env, const std::string& path) {
    if (env.skel.num_Bones <= 0) {
        env.diag.msgBox("No skeleton loaded: nothing to write to " + path);
        env.writeFailed = true;
        return false;
    }
    std::int32_t skipped = 0;
    const std::string text = buildAn8Figure(env.skel, &skipped);
    if (skipped > 0)
        env.diag.msgBox(std::to_string(skipped) +
                        " child entries of the skeleton name a missing bone or one already written; passed over");
    if (!writeWhole(env, path, text)) return false;
    env.diag.logMsg("Iterations: " + std::to_string(env.skel.num_Bones));
    return true;
}

}  // namespace molv
