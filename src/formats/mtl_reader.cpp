// Wavefront .mtl reader: materials by name, their colours, transparency,
// shininess and diffuse texture map.
#include "formats/mtl_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <unordered_set>
#include <vector>

#include "formats/obj_tokens.h"
#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/store.h"
#include "util/encoding.h"
#include "util/text.h"

namespace molv {

using namespace wavefront;

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// Unhandled keywords named in the log one by one; the rest are counted.
constexpr std::size_t kListedKeywordsMax = 10;

class MtlReader {
public:
    MtlReader(ReadEnv& env, const std::string& path, MtlState& state)
        : ctx_(env.diag), m_(env.model), path_(path), st_(state) {}

    void read(std::string_view text) {
        std::string wide;
        if (utf16Mark(text) != Utf16Mark::None) text = wide = utf16ToUtf8(text);
        text = stripUtf8Bom(text);
        LineCursor lc(text, eolOf(text));
        std::string_view line;
        while (lc.next(line)) lineOf(line);
        finish();
    }

private:
    void lineOf(std::string_view line) {
        Fields fl(line);
        std::string_view kw;
        if (!fl.next(kw) || kw[0] == '#') return;
        std::string k = toLowerAscii(kw);
        if (k == "newmtl") {
            newMaterial(fl.rest());
            return;
        }
        Material* mt = cur_ >= 0 && cur_ < m_.nMaterials ? &m_.materialAt(cur_) : nullptr;
        if (k == "ka") {
            if (mt) colour(fl, mt->ambient);
        } else if (k == "kd") {
            if (mt) colour(fl, mt->diffuse);
        } else if (k == "ks") {
            if (mt) colour(fl, mt->specular);
        } else if (k == "map_kd") {
            if (mt) mapName(fl, *mt);
        } else if (k == "d") {
            std::string_view f;
            while (fl.next(f) && f[0] == '-') {
            }  // "-halo" and the like
            if (mt) {
                float d = std::clamp(fieldFloatOr0(f), 0.0f, 1.0f);
                mt->transparency = 1.0f - d;
            }
        } else if (k == "ns") {
            std::string_view f;
            fl.next(f);
            if (mt) mt->shininess = fieldFloatOr0(f) / 10.0f;
        } else if (k == "ke" || k == "ni" || k == "illum") {
            // not used by the prop set
        } else {
            unhandled(k, line);
        }
    }

    // The first unhandled line is shown; the first lines of a few other
    // keywords are logged; the rest, and every repeat, only counted.
    void unhandled(std::string& keyword, std::string_view line) {
        ++unhandledLines_;
        if (!unhandled_.insert(std::move(keyword)).second) return;
        if (unhandled_.size() > kListedKeywordsMax) return;
        const std::string text = "Unhandled Material parameter:(" + std::string(Fields(line).rest()) + ")";
        if (unhandled_.size() == 1)
            ctx_.msgBox(text, Buttons::Ok);
        else
            ctx_.logMsg(text, 0);
    }

    void newMaterial(std::string_view name) {
        std::int32_t i = m_.nMaterials;
        if (i >= kInt32Max - 1) return;
        m_.nMaterials += 1;
        m_.Materials.resize(static_cast<std::size_t>(m_.nMaterials) + 1);
        Material& mt = m_.materialAt(i);
        mt = Material{};
        mt.id = i;
        mt.name = std::string(name);
        mt.use_count = 0;
        cur_ = i;
        st_.currMtlID = i;
        if (ctx_.logWanted(2)) ctx_.logMsg("=================", 2);
        ctx_.logMsg("Material: " + std::to_string(i) + " : " + mt.name, 0);
        if (toLowerAscii(name).find("default") != std::string::npos) hasDefault_ = true;
        if (ctx_.logWanted(2)) ctx_.logMsg("Material name=" + mt.name, 2);
    }

    // Red, green and blue from the fields; one value stands for all three.
    static void colour(Fields& fl, Colour& c) {
        float v[3] = {0, 0, 0};
        int n = 0;
        std::string_view f;
        while (n < 3 && fl.next(f)) v[n++] = fieldFloatOr0(f);
        if (n == 1) v[1] = v[2] = v[0];
        std::uint8_t* out[3] = {&c.r, &c.g, &c.b};
        for (int i = 0; i < 3; ++i) {
            double x = std::clamp(static_cast<double>(v[i]), 0.0, 1.0) * 255.0;
            *out[i] = static_cast<std::uint8_t>(std::nearbyint(x));
        }
    }

    // The file name after any texture options; it may hold blanks.
    static void mapName(Fields& fl, Material& mt) {
        for (;;) {
            Fields probe = fl;
            std::string_view opt;
            if (!probe.next(opt) || opt.size() < 2 || opt[0] != '-') break;
            std::string o = toLowerAscii(opt.substr(1));
            int args = 0, optional = 0;
            if (o == "blendu" || o == "blendv" || o == "bm" || o == "boost" || o == "cc" || o == "clamp" ||
                o == "imfchan" || o == "texres" || o == "type")
                args = 1;
            else if (o == "mm")
                args = 2;
            else if (o == "o" || o == "s" || o == "t")
                args = 1, optional = 2;
            else
                break;  // not an option: a name that starts with "-"
            fl = probe;
            std::string_view a;
            for (int i = 0; i < args; ++i) fl.next(a);
            for (int i = 0; i < optional; ++i) {
                Fields p2 = fl;
                float x;
                if (!p2.next(a) || !fieldFloat(a, x)) break;
                fl = p2;
            }
        }
        std::string_view name = fl.rest();
        if (name.empty()) return;
        mt.maps.emplace_back(name);
        mt.nMaps = static_cast<std::int32_t>(mt.maps.size());
    }

    void finish() {
        if (unhandledLines_ > 1) {
            ctx_.logMsg(std::to_string(unhandledLines_) + " lines of " + path_ + " hold unhandled parameters (" +
                            std::to_string(unhandled_.size()) + " different keywords)",
                        0);
        }
        if (hasDefault_) return;
        if (st_.dfltMtlID >= 0) {
            st_.currMtlID = st_.dfltMtlID;  // synthesised once per read
            return;
        }
        std::int32_t i = m_.nMaterials;
        m_.nMaterials += 1;
        m_.Materials.resize(static_cast<std::size_t>(m_.nMaterials) + 1);
        Material& mt = m_.materialAt(i);
        mt = Material{};
        Fields ka("Ka 0.698 0.698 0.698"), kd("Kd 0.698 0.698 0.698"), ks("Ks 1 1 1");
        std::string_view skip;
        ka.next(skip), kd.next(skip), ks.next(skip);
        colour(ka, mt.ambient);
        colour(kd, mt.diffuse);
        colour(ks, mt.specular);
        mt.id = i;
        mt.use_count = 0;
        mt.name = "Default";
        mt.shininess = 10.0f;
        mt.transparency = 0;
        st_.currMtlID = i;
        st_.dfltMtlID = i;
        ctx_.logMsg("Synthesising Material " + std::to_string(i) + " Default", 0);
    }

    Diagnostics& ctx_;
    ModelStore& m_;
    const std::string& path_;
    MtlState& st_;
    std::int32_t cur_ = -1;
    bool hasDefault_ = false;
    std::unordered_set<std::string> unhandled_;  // lower-case keywords
    std::int64_t unhandledLines_ = 0;
};

}  // namespace

void readMtlLibrary(ReadEnv& env, std::string_view text, const std::string& path, MtlState& state) {
    MtlReader(env, path, state).read(text);
}

ReadResult LoadMtlText(ReadEnv& env, std::string_view text, const std::string& path) {
    MtlState state;
    try {
        MtlReader(env, path, state).read(text);
    } catch (const std::bad_alloc&) {
        std::string message = "Not enough memory to read " + path;
        return ReadResult::failed(message, path);
    }
    return {};
}

}  // namespace molv
