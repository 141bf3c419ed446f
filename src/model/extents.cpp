#include "model/extents.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "shell/context.h"
#include "shell/driver.h"
#include "util/numfmt.h"
#include "util/text.h"

namespace molv {

namespace {

using Run = std::pair<std::int32_t, std::int32_t>;  // [first, end)

// The vertex runs of the meshes (all, or one), clipped to the vertices that
// exist and merged where they overlap, so that no vertex is moved twice even
// when a reader left overlapping runs behind.
std::vector<Run> vertexRuns(const ModelStore& m, std::int32_t only) {
    const std::int32_t limit =
        static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(std::max(m.ttlnum_Vertices, 0)),
                                                        m.Vertices.size()));
    std::int32_t first = m.meshRange.first, last = m.meshRange.last;
    if (only >= 0) first = last = only;
    first = std::max<std::int32_t>(first, 0);
    last = std::min<std::int32_t>(last, static_cast<std::int32_t>(m.Meshes.size()) - 1);
    std::vector<Run> runs;
    for (std::int32_t i = first; i <= last; ++i) {
        const Mesh& mesh = m.Meshes[static_cast<std::size_t>(i)];
        const std::int64_t b = std::max<std::int64_t>(mesh.vtx_ndx_stt, 0);
        const std::int64_t e = std::min<std::int64_t>(std::int64_t{mesh.vtx_ndx_end} + 1, limit);
        if (b < e) runs.emplace_back(static_cast<std::int32_t>(b), static_cast<std::int32_t>(e));
    }
    std::sort(runs.begin(), runs.end());
    std::vector<Run> merged;
    for (const Run& r : runs) {
        if (!merged.empty() && r.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, r.second);
        else
            merged.push_back(r);
    }
    return merged;
}

template <class F>
void forEachVertex(ModelStore& m, std::int32_t only, F&& f) {
    for (const Run& r : vertexRuns(m, only))
        for (std::int32_t i = r.first; i < r.second; ++i) f(m.Vertices[static_cast<std::size_t>(i)]);
}

std::string extentsLine(const char* label, const Vec3& v) {
    return std::string(label) + " RT(x)= " + fmt2(v.x) + "   UP(y)= " + fmt2(v.y) + "   BK(z)= " + fmt2(v.z);
}

std::vector<std::string> splitColon(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t p = s.find(':', start);
        out.push_back(trim(s.substr(start, p == std::string::npos ? std::string::npos : p - start), " \t"));
        if (p == std::string::npos) break;
        start = p + 1;
    }
    return out;
}

// The fix-ups run after a resize re-place the model (centre, base height);
// the resize among them would undo the span just chosen, so it is held off.
class AutoResizeOff {
public:
    explicit AutoResizeOff(Settings& s) : s_(s), saved_(s.autoResize) { s_.autoResize = false; }
    ~AutoResizeOff() { s_.autoResize = saved_; }
    AutoResizeOff(const AutoResizeOff&) = delete;
    AutoResizeOff& operator=(const AutoResizeOff&) = delete;

private:
    Settings& s_;
    bool saved_;
};

bool fitsFloat(double v) { return std::isfinite(v) && std::fabs(v) <= FLT_MAX; }

}  // namespace

void SetMaxMinsM(Context& ctx, std::int32_t mesh) {
    ModelStore& m = ctx.model;
    Vec3 mn{9e9f, 9e9f, 9e9f}, mx{-9e9f, -9e9f, -9e9f};
    Vec3 zmn = mn, zmx = mx;
    forEachVertex(m, mesh, [&](const Vertex& v) {
        for (int k = 0; k < 3; ++k) {
            if (v.pos[k] > mx[k]) mx[k] = v.pos[k];
            if (v.pos[k] < mn[k]) mn[k] = v.pos[k];
            if (v.zup_pos[k] > zmx[k]) zmx[k] = v.zup_pos[k];
            if (v.zup_pos[k] < zmn[k]) zmn[k] = v.zup_pos[k];
        }
    });
    m.minPos = mn;
    m.maxPos = mx;
    m.minZup = zmn;
    m.maxZup = zmx;
    for (int k = 0; k < 3; ++k) {
        m.ctrPos[k] = static_cast<float>((double(mx[k]) + mn[k]) / 2);
        m.spanPos[k] = static_cast<float>(double(mx[k]) - mn[k]);
        m.ctrZup[k] = static_cast<float>((double(zmx[k]) + zmn[k]) / 2);
        m.spanZup[k] = static_cast<float>(double(zmx[k]) - zmn[k]);
    }
    const Vec3& s = m.spanPos;
    float span = s.z;
    if (s.x > s.y) {
        if (s.x > s.z) span = s.x;
    } else if (s.y > s.z) {
        span = s.y;
    }
    const Vec3& z = m.spanZup;
    if (z.x > z.z) {
        if (z.x > z.y) span = z.x;
    } else if (z.z > z.y) {
        span = z.z;
    }
    m.maxSpan = span;
    ctx.showStatus("SetMaxMinsM Done");
}

void CentreModel(Context& ctx, bool baseFlag, float base) {
    ModelStore& m = ctx.model;
    SetMaxMinsM(ctx);
    const Vec3 ctr = m.ctrPos, zctr = m.ctrZup;
    const float minY = m.minPos.y, minZ = m.minZup.z;
    forEachVertex(m, -1, [&](Vertex& v) {
        v.pos.x = static_cast<float>(double(v.pos.x) - ctr.x);
        v.pos.z = static_cast<float>(double(v.pos.z) - ctr.z);
        v.pos.y = static_cast<float>(baseFlag ? double(base) + v.pos.y - minY : double(v.pos.y) - ctr.y);
        v.zup_pos.x = static_cast<float>(double(v.zup_pos.x) - zctr.x);
        v.zup_pos.y = static_cast<float>(double(v.zup_pos.y) - zctr.y);
        v.zup_pos.z =
            static_cast<float>(baseFlag ? double(base) + v.zup_pos.z - minZ : double(v.zup_pos.z) - zctr.z);
    });
    SetMaxMinsM(ctx);
    m.modelCentred = true;
}

bool ResizeModel(Context& ctx, const std::string& spanText, bool fromWrite, bool inFixups, std::string* spanOut) {
    ModelStore& m = ctx.model;
    SetMaxMinsM(ctx);
    if (m.maxSpan == 0) {
        ctx.msgBox("No non-zero span");
        return false;
    }
    std::string text = spanText;
    if (trimView(text, " \t").empty()) {
        const std::string prompt =
            "Current max span=" + fmt2(m.maxSpan) + ", Enter new max span.\r" +
            "(with one optional constraint which will fix to that span in that dir nnn[:R|U|B]\r" +
            (ctx.settings.autoZeroBsHt ? "This will reset Zero Base height " : "This will AFFECT Zero Base height ");
        std::optional<std::string> answer = ctx.inputBox(prompt, "", "");
        if (!answer || trimView(*answer, " \t").empty()) return false;
        text = *answer;
    }
    // A span typed with a direction ("6:r") is honoured whether it came from
    // the box or from the caller.
    const std::vector<std::string> tokens = splitColon(text);
    const std::string span = tokens[0];
    if (spanOut) *spanOut = span;
    bool flag[3] = {false, false, false};
    float maxSpan = m.maxSpan;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const std::string t = toLowerAscii(tokens[i]);
        if (t == "r") {
            flag[0] = true;
            maxSpan = m.spanPos.x;
        } else if (t == "u") {
            flag[1] = true;
            maxSpan = m.spanPos.y;
        } else if (t == "b") {
            flag[2] = true;
            maxSpan = m.spanPos.z;
        }
    }
    if (!flag[0] && !flag[1] && !flag[2]) flag[0] = flag[1] = flag[2] = true;
    // A flat direction has nothing to stretch.
    if (maxSpan == 0) {
        ctx.msgBox("No non-zero span");
        return false;
    }
    // Zero, negative or non-numeric spans would collapse or mirror the model.
    const std::optional<double> wanted = parseNumber(span);
    if (!wanted || !(*wanted > 0)) {
        ctx.msgBox("Span must be a number above 0: " + span);
        return false;
    }
    m.maxSpan = maxSpan;
    const double factor = *wanted / maxSpan;

    // pos y (up) is zup_pos z (height) and pos z (back) is zup_pos y (depth).
    static constexpr int kZupAxis[3] = {0, 2, 1};
    bool fits = std::isfinite(factor);
    for (int k = 0; k < 3 && fits; ++k) {
        if (!flag[k]) continue;
        const int zk = kZupAxis[k];
        fits = fitsFloat((double(m.minPos[k]) - m.ctrPos[k]) * factor + m.ctrPos[k]) &&
               fitsFloat((double(m.maxPos[k]) - m.ctrPos[k]) * factor + m.ctrPos[k]) &&
               fitsFloat((double(m.minZup[zk]) - m.ctrZup[zk]) * factor + m.ctrZup[zk]) &&
               fitsFloat((double(m.maxZup[zk]) - m.ctrZup[zk]) * factor + m.ctrZup[zk]);
    }
    if (!fits) {
        ctx.msgBox("Span " + span + " is too large for this model: the coordinates would overflow");
        return false;
    }

    const Vec3 ctr = m.ctrPos, zctr = m.ctrZup;
    forEachVertex(m, -1, [&](Vertex& v) {
        for (int k = 0; k < 3; ++k) {
            if (!flag[k]) continue;
            const int zk = kZupAxis[k];
            v.pos[k] = static_cast<float>((double(v.pos[k]) - ctr[k]) * factor + ctr[k]);
            v.zup_pos[zk] = static_cast<float>((double(v.zup_pos[zk]) - zctr[zk]) * factor + zctr[zk]);
        }
    });

    if (inFixups) {
        SetMaxMinsM(ctx);
    } else {
        {
            AutoResizeOff hold(ctx.settings);
            runAutos(ctx, fromWrite);
        }
        SetMaxMinsM(ctx);
        ctx.logMsg(ExtentsText(ctx, false), 0);
    }
    if (ctx.logWanted(1)) ctx.logMsg("Scaled " + numText(static_cast<float>(factor)), 1);
    return true;
}

std::string ExtentsText(const Context& ctx, bool crlf) {
    const ModelStore& m = ctx.model;
    const char* br = crlf ? "\r\n" : "\r";
    return extentsLine("avg", m.ctrPos) + br + extentsLine("min", m.minPos) + br + extentsLine("max", m.maxPos) +
           br + extentsLine("Span", m.spanPos);
}

}  // namespace molv
