#include "convert/fixups.h"

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "convert/context.h"
#include "convert/registry.h"
#include "model/extents.h"
#include "util/numfmt.h"
#include "util/text.h"

namespace molv {

namespace {

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

// A length as the user reads it: one decimal, none when whole.
std::string sizeText(float v) {
    std::string t = fmtDecimals(std::round(double(v) * 10) / 10, 1);
    if (t.size() > 2 && t.compare(t.size() - 2, 2, ".0") == 0) t.resize(t.size() - 2);
    return t == "-0" ? "0" : t;
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

}  // namespace

bool runAutos(Context& ctx, bool fromWrite) {
    const AppState& a = ctx.app;
    const Settings& s = ctx.settings;
    const FormatEntry* f = formatFor(a.srcExt);
    if (!fromWrite && !s.forceAuto && f && !f->fixups) {
        ctx.logMsg("Srctype " + a.srcExt + ", AUTOS not run");
        return false;
    }
    // The resize in the fix-ups measures first and again after it scales,
    // whatever its outcome; the centring needs no measurement of its own.
    ModelStore& m = ctx.model;
    bool measured = false;
    if (s.autoResize) {
        SetMaxMinsM(ctx, m);
        const float before = m.maxSpan;
        if (ResizeModel(ctx, numText(s.dflt_autosize), false, true) && m.maxSpan != before)
            ctx.logMsg("Resized: largest extent " + sizeText(before) + " \u2192 " + sizeText(m.maxSpan) + " cm");
        measured = true;
    }
    if (s.autoZeroBsHt || s.autoCentre) {
        if (!measured) SetMaxMinsM(ctx, m);
        const Vec3 ctr = m.ctrPos;
        const float lowest = m.minPos.y;
        CentreModel(ctx, m, s.autoZeroBsHt, 0.0f, true);
        if (ctr.x != 0 || ctr.z != 0 || (!s.autoZeroBsHt && ctr.y != 0))
            ctx.logMsg("Centred: middle moved from " + sizeText(ctr.x) + ", " + sizeText(s.autoZeroBsHt ? 0.0f : ctr.y) +
                       ", " + sizeText(ctr.z) + " to 0, 0, 0");
        if (s.autoZeroBsHt && lowest != 0) ctx.logMsg("Lowest point moved from " + sizeText(lowest) + " to 0");
        measured = true;
    }
    return measured;
}

bool ResizeModel(Context& ctx, const std::string& spanText, bool fromWrite, bool inFixups, std::string* spanOut) {
    ModelStore& m = ctx.model;
    if (!inFixups) SetMaxMinsM(ctx, m);
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
    std::array<bool, 3> axes = {false, false, false};
    double current = measuredSpan(m);
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const std::string t = toLowerAscii(tokens[i]);
        const int k = t == "r" ? 0 : t == "u" ? 1 : t == "b" ? 2 : -1;
        if (k < 0) continue;
        axes[static_cast<std::size_t>(k)] = true;
        current = measuredSpan(m, k);
    }
    if (!axes[0] && !axes[1] && !axes[2]) axes = {true, true, true};
    // A flat direction has nothing to stretch.
    if (current == 0) {
        ctx.msgBox("No non-zero span");
        return false;
    }
    // Zero, negative or non-numeric spans would collapse or mirror the model.
    const std::optional<double> wanted = parseNumber(span);
    if (!wanted || !(*wanted > 0)) {
        ctx.msgBox("Span must be a number above 0: " + span);
        return false;
    }
    const std::optional<double> factor = ScaleModel(ctx, m, *wanted, current, axes, span);
    if (!factor) return false;

    if (!inFixups) {
        {
            AutoResizeOff hold(ctx.settings);
            runAutos(ctx, fromWrite);
        }
        SetMaxMinsM(ctx, m);
        ctx.logMsg(ExtentsText(m, false), 0);
    }
    if (ctx.logWanted(1)) ctx.logMsg("Scaled " + numText(static_cast<float>(*factor)), 1);
    return true;
}

}  // namespace molv
