// Wavefront .obj and .mtl reader.
//
// The object file is read twice: a counting pass sizes the store's arrays
// (so a million-face file is not grown step by step) and detects files that
// number their vertices from 0; the second pass parses. Both walk the bytes
// in large blocks with string_views, so no line costs a heap allocation.
// The counts only size arrays: every number the parse takes from the file
// is checked on its own.
#include "formats/obj_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

#include "shell/context.h"
#include "util/fileio.h"
#include "util/numfmt.h"

namespace molv {

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// Room the store keeps above its counters (it grows in steps of 1000).
constexpr std::int64_t kStoreSlack = 2002;
constexpr int kReportedFacesMax = 10;

// Field separators: runs of blanks and tabs; a stray CR, NUL or Ctrl-Z
// (old DOS end of file) separates too.
inline bool isSep(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0' || c == '\x1a' || c == '\v' || c == '\f';
}
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool eqNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string lowerCopy(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = lower(c);
    return r;
}

// The fields of one line, left to right. The walker runs over a whole block
// of lines and stops at the line end, so a line is never scanned twice
// just to find where it ends.
struct Fields {
    const char* p;
    const char* e;
    char eol;
    explicit Fields(std::string_view s) : p(s.data()), e(s.data() + s.size()), eol('\n') {}
    Fields(const char* from, const char* end, char lineEnd) : p(from), e(end), eol(lineEnd) {}
    // Skips separators; false at the line end.
    bool skip() {
        while (p < e && *p != eol && isSep(*p)) ++p;
        return p < e && *p != eol;
    }
    bool next(std::string_view& f) {
        if (!skip()) return false;
        const char* s = p;
        while (p < e && !isSep(*p)) ++p;
        f = std::string_view(s, static_cast<std::size_t>(p - s));
        return true;
    }
    const char* lineEnd() const {
        if (p >= e) return e;
        if (*p == eol) return p;
        const char* q = static_cast<const char*>(std::memchr(p, eol, static_cast<std::size_t>(e - p)));
        return q ? q : e;
    }
    // Where the next line starts.
    const char* nextLine() const {
        const char* q = lineEnd();
        return q < e ? q + 1 : e;
    }
    // What is left of the line, trimmed at both ends.
    std::string_view rest() const {
        const char* s = p;
        const char* t = lineEnd();
        while (s < t && isSep(*s)) ++s;
        while (t > s && isSep(t[-1])) --t;
        return std::string_view(s, static_cast<std::size_t>(t - s));
    }
};

std::string_view trimmed(std::string_view s) { return Fields(s).rest(); }

const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Short decimal forms, which is what exporters write, converted exactly
// (Clinger's fast path: at most 19 digits and a power of ten a double holds
// exactly). q receives the position after the number; false when no number
// starts at p or it needs the general parser.
inline bool fastFloat(const char* p, const char* e, const char*& q, float& out) {
    bool neg = false;
    if (p < e && (*p == '-' || *p == '+')) neg = *p++ == '-';
    std::uint64_t m = 0;
    int sig = 0, exp10 = 0;
    const char* d0 = p;
    for (; p < e && isDigit(*p); ++p) {
        m = m * 10 + static_cast<unsigned>(*p - '0');
        if (m) ++sig;
    }
    bool any = p != d0;
    if (p < e && *p == '.') {
        const char* f0 = ++p;
        for (; p < e && isDigit(*p); ++p) {
            m = m * 10 + static_cast<unsigned>(*p - '0');
            if (m) ++sig;
        }
        exp10 = -static_cast<int>(p - f0);
        any = any || p != f0;
    }
    if (!any || sig > 19) return false;
    if (p < e && (*p == 'e' || *p == 'E')) {
        const char* x = p + 1;
        bool eneg = false;
        if (x < e && (*x == '-' || *x == '+')) eneg = *x++ == '-';
        if (x == e || !isDigit(*x)) return false;
        int v = 0;
        for (; x < e && isDigit(*x); ++x)
            if (v < 100000) v = v * 10 + (*x - '0');
        exp10 += eneg ? -v : v;
        p = x;
    }
    if (m > (std::uint64_t{1} << 53) || exp10 < -22 || exp10 > 22) return false;
    double d = static_cast<double>(m);
    d = exp10 < 0 ? d / kPow10[-exp10] : d * kPow10[exp10];
    if (d > static_cast<double>(std::numeric_limits<float>::max())) return false;
    out = static_cast<float>(neg ? -d : d);
    q = p;
    return true;
}

// The whole field as a finite float; false when the field is not a number
// (callers then take 0).
bool fieldFloat(std::string_view f, float& out) {
    const char* e = f.data() + f.size();
    const char* q = nullptr;
    if (fastFloat(f.data(), e, q, out) && q == e) return true;
    const char* s = f.data();
    float v;
    if (!parseFloatAt(s, e, v) || s != e) return false;
    out = v;
    return true;
}

float fieldFloatOr0(std::string_view f) {
    float v = 0;
    return fieldFloat(f, v) ? v : 0.0f;
}

// The next field of the line as a number: false when the line has no more
// fields; a field that is not a number reads as 0.
inline bool nextFloat(Fields& fl, float& out) {
    if (!fl.skip()) return false;
    const char* q = nullptr;
    if (fastFloat(fl.p, fl.e, q, out) && (q == fl.e || isSep(*q))) {
        fl.p = q;
        return true;
    }
    std::string_view f;
    fl.next(f);
    out = fieldFloatOr0(f);
    return true;
}

// A face corner's part as a whole number; false when it is not a number.
bool partInt(std::string_view f, std::int64_t& out) {
    const char* p = f.data();
    const char* e = p + f.size();
    bool neg = false;
    if (p < e && (*p == '-' || *p == '+')) neg = *p++ == '-';
    if (p < e && e - p <= 18) {
        std::int64_t v = 0;
        const char* q = p;
        while (q < e && isDigit(*q)) v = v * 10 + (*q++ - '0');
        if (q == e) {
            out = neg ? -v : v;
            return true;
        }
    }
    auto d = parseNumber(f);
    if (!d) return false;
    out = roundToInt32(*d);
    return true;
}

// One face corner: its vertex, texture and normal parts as written.
struct CornerText {
    std::string_view part[3];
    bool present[3];  // given and not empty
    bool numeric[3];
    std::int64_t value[3];
};

// The next corner of a face line; false at the line end. Plain "v", "v/t",
// "v//n" and "v/t/n" corners are split in one pass over their bytes.
bool nextCorner(Fields& fl, CornerText& c) {
    if (!fl.skip()) return false;
    const char* const start = fl.p;
    const char* p = start;
    const char* const e = fl.e;
    for (int k = 0;; ++k) {
        const char* s = p;
        bool neg = false;
        if (p < e && (*p == '-' || *p == '+')) neg = *p++ == '-';
        const char* d = p;
        std::int64_t v = 0;
        while (p < e && isDigit(*p) && p - d < 18) v = v * 10 + (*p++ - '0');
        if (p == d && p != s) break;  // a sign alone
        c.part[k] = std::string_view(s, static_cast<std::size_t>(p - s));
        c.present[k] = c.numeric[k] = p != d;
        c.value[k] = neg ? -v : v;
        if (p == e || isSep(*p)) {
            for (int j = k + 1; j < 3; ++j) {
                c.part[j] = {};
                c.present[j] = c.numeric[j] = false;
            }
            fl.p = p;
            return true;
        }
        if (*p != '/' || k == 2) break;
        ++p;
    }
    // Anything unusual: split the whole field and read each part as a number.
    fl.p = start;
    std::string_view f;
    fl.next(f);
    for (int k = 0; k < 3; ++k) {
        std::size_t slash = f.find('/');
        c.part[k] = f.substr(0, slash);
        c.present[k] = !c.part[k].empty();
        c.numeric[k] = c.present[k] && partInt(c.part[k], c.value[k]);
        f = slash == std::string_view::npos ? std::string_view() : f.substr(slash + 1);
    }
    return true;
}

enum class Kw : std::uint8_t { None, V, VT, VN, F, MtlLib, UseMtl, Other };

Kw classify(std::string_view kw) {
    switch (kw.size()) {
        case 1:
            if (lower(kw[0]) == 'v') return Kw::V;
            if (lower(kw[0]) == 'f') return Kw::F;
            break;
        case 2:
            if (lower(kw[0]) == 'v') {
                if (lower(kw[1]) == 't') return Kw::VT;
                if (lower(kw[1]) == 'n') return Kw::VN;
            }
            break;
        case 6:
            if (eqNoCase(kw, "mtllib")) return Kw::MtlLib;
            if (eqNoCase(kw, "usemtl")) return Kw::UseMtl;
            break;
        default: break;
    }
    return Kw::Other;
}

// Keyword of a line, None for blank and comment lines.
Kw lineKind(Fields& fl) {
    std::string_view kw;
    if (!fl.next(kw) || kw[0] == '#') return Kw::None;
    return classify(kw);
}

// Line end of a text: LF (with or without CR before it), or a lone CR as
// old Mac tools wrote it.
char eolOf(std::string_view head) {
    std::size_t n = std::min<std::size_t>(head.size(), 65536);
    for (std::size_t i = 0; i < n; ++i) {
        if (head[i] == '\n') return '\n';
        if (head[i] == '\r') return (i + 1 < head.size() && head[i + 1] == '\n') ? '\n' : '\r';
    }
    return '\n';
}

// The lines of a text in memory, without their line ends.
class Lines {
public:
    explicit Lines(std::string_view t, char eol = '\n') : p_(t.data()), e_(t.data() + t.size()), eol_(eol) {}
    bool next(std::string_view& line) {
        if (p_ >= e_) return false;
        const char* s = p_;
        const char* nl = static_cast<const char*>(std::memchr(s, eol_, static_cast<std::size_t>(e_ - s)));
        const char* end = nl ? nl : e_;
        p_ = nl ? nl + 1 : e_;
        if (end > s && end[-1] == '\r') --end;
        line = std::string_view(s, static_cast<std::size_t>(end - s));
        return true;
    }

private:
    const char* p_;
    const char* e_;
    char eol_;
};

inline unsigned byteAt(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// Some tools save text as UTF-16 with a byte order mark.
bool isUtf16(std::string_view s) {
    return s.size() >= 2 && ((byteAt(s, 0) == 0xFE && byteAt(s, 1) == 0xFF) || (byteAt(s, 0) == 0xFF && byteAt(s, 1) == 0xFE));
}

// UTF-16 text (after its mark) as UTF-8; a lone surrogate becomes "?".
std::string fromUtf16(std::string_view s) {
    const bool be = byteAt(s, 0) == 0xFE;
    std::string out;
    out.reserve(s.size() / 2);
    for (std::size_t i = 2; i + 1 < s.size(); i += 2) {
        unsigned c = be ? (byteAt(s, i) << 8 | byteAt(s, i + 1)) : (byteAt(s, i + 1) << 8 | byteAt(s, i));
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < s.size()) {
            unsigned lo = be ? (byteAt(s, i + 2) << 8 | byteAt(s, i + 3)) : (byteAt(s, i + 3) << 8 | byteAt(s, i + 2));
            if (lo >= 0xDC00 && lo < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c < 0xE000) {
            out += '?';
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string_view stripBom(std::string_view s) {
    if (s.size() >= 3 && static_cast<unsigned char>(s[0]) == 0xEF && static_cast<unsigned char>(s[1]) == 0xBB &&
        static_cast<unsigned char>(s[2]) == 0xBF)
        s.remove_prefix(3);
    return s;
}

// A file handed out in blocks of whole lines (the last block may lack its
// line end). A line longer than the buffer makes the buffer grow, so lines
// of any length arrive whole.
class BlockFile {
public:
    ~BlockFile() {
        if (f_) std::fclose(f_);
    }
    bool open(const std::string& path) {
        f_ = std::fopen(path.c_str(), "rb");
        if (!f_) return false;
        std::setvbuf(f_, nullptr, _IONBF, 0);
        return true;
    }
    // The first bytes of the file, leaving it at its start.
    std::size_t peek(char* out, std::size_t n) {
        std::size_t got = std::fread(out, 1, n, f_);
        std::rewind(f_);
        return got;
    }
    void rewind() {
        std::rewind(f_);
        have_ = next_ = 0;
        eof_ = failed_ = false;
    }
    bool failed() const { return failed_; }
    char eol() const { return eol_; }
    bool next(std::string_view& block) {
        if (buf_.empty()) buf_.resize(kChunk);
        if (next_ > 0) {
            std::memmove(buf_.data(), buf_.data() + next_, have_ - next_);
            have_ -= next_;
            next_ = 0;
        }
        std::size_t searched = 0;
        for (;;) {
            if (!eof_ && have_ < buf_.size()) {
                std::size_t got = std::fread(buf_.data() + have_, 1, buf_.size() - have_, f_);
                if (got == 0) {
                    eof_ = true;
                    failed_ = std::ferror(f_) != 0;
                }
                have_ += got;
                if (!eolKnown_) {
                    eol_ = eolOf(std::string_view(buf_.data(), have_));
                    eolKnown_ = true;
                }
            }
            const char* base = buf_.data();
            const char* nl = nullptr;
            for (std::size_t i = have_; i > searched; --i)
                if (base[i - 1] == eol_) {
                    nl = base + i - 1;
                    break;
                }
            if (nl) {
                next_ = static_cast<std::size_t>(nl - base) + 1;
                block = std::string_view(base, next_);
                return true;
            }
            searched = have_;
            if (eof_) {
                if (have_ == 0) return false;
                next_ = have_;
                block = std::string_view(base, have_);
                return true;
            }
            if (have_ == buf_.size()) buf_.resize(buf_.size() * 2);
        }
    }

private:
    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    std::FILE* f_ = nullptr;
    std::string buf_;
    std::size_t have_ = 0, next_ = 0;
    bool eof_ = false, failed_ = false;
    bool eolKnown_ = false;
    char eol_ = '\n';
};

std::string folderOf(const std::string& path) {
    std::size_t k = path.find_last_of("/\\");
    return k == std::string::npos ? std::string() : path.substr(0, k + 1);
}

// What the counting pass finds.
struct ObjCounts {
    std::int64_t v = 0, vt = 0, vn = 0, tris = 0, texCorners = 0;
    bool zeroBased = false;
    std::vector<std::int32_t> runTris;  // triangles of each run of f lines
};

class CountPass {
public:
    explicit CountPass(ObjCounts& c) : c_(c) {}
    void block(std::string_view text, char eol) {
        const char* p = text.data();
        const char* e = p + text.size();
        while (p < e) {
            Fields fl(p, e, eol);
            Kw k = lineKind(fl);
            switch (k) {
                case Kw::None: break;
                case Kw::V: ++c_.v; break;
                case Kw::VT: ++c_.vt; break;
                case Kw::VN: ++c_.vn; break;
                case Kw::F: face(fl); break;
                default: break;
            }
            if (k != Kw::None) prev_ = k;
            p = fl.nextLine();
        }
    }

private:
    void face(Fields& fl) {
        if (prev_ != Kw::F) c_.runTris.push_back(0);
        std::int64_t n = 0;
        std::string_view f;
        while (fl.next(f)) {
            ++n;
            std::size_t slash = f.find('/');
            if (slash != std::string_view::npos) ++c_.texCorners;
            if (f[0] == '0' && !c_.zeroBased) {
                std::string_view vpart = f.substr(0, slash);
                c_.zeroBased = vpart.find_first_not_of('0') == std::string_view::npos;
            }
        }
        if (n >= 3) {
            c_.tris += n - 2;
            std::int32_t& r = c_.runTris.back();
            r = static_cast<std::int32_t>(std::min<std::int64_t>(kInt32Max, r + n - 2));
        }
    }
    ObjCounts& c_;
    Kw prev_ = Kw::None;
};

struct Corner {
    std::int32_t vtx;  // store vertex index
    std::int32_t src;  // source vertex index (0-based)
    std::int32_t tex;  // texture vertex index (0-based), -1 for none
};

// The material library reader; shared by mtllib lines and LoadMtlText.
class MtlReader {
public:
    MtlReader(Context& ctx, std::int32_t& dfltMtlID) : ctx_(ctx), m_(ctx.model), dfltMtlID_(dfltMtlID) {}

    void read(std::string_view text) {
        std::string wide;
        if (isUtf16(text)) text = wide = fromUtf16(text);
        text = stripBom(text);
        Lines lc(text, eolOf(text));
        std::string_view line;
        while (lc.next(line)) lineOf(line);
        finish();
    }

private:
    void lineOf(std::string_view line) {
        Fields fl(line);
        std::string_view kw;
        if (!fl.next(kw) || kw[0] == '#') return;
        std::string k = lowerCopy(kw);
        if (k == "newmtl") {
            newMaterial(fl.rest());
            return;
        }
        Material* mt = cur_ >= 0 && cur_ < m_.nMaterials ? &m_.Materials[static_cast<std::size_t>(cur_)] : nullptr;
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
            std::string text = "Unhandled Material parameter:(" + std::string(trimmed(line)) + ")";
            // One box per keyword and library; repeats go to the log only.
            bool seen = false;
            for (auto& u : unhandled_) seen = seen || u == k;
            if (seen) {
                ctx_.logMsg(text, 0);
            } else {
                unhandled_.push_back(k);
                ctx_.msgBox(text, Buttons::Ok);
            }
        }
    }

    void newMaterial(std::string_view name) {
        std::int32_t i = m_.nMaterials;
        if (i >= kInt32Max - 1) return;
        m_.nMaterials += 1;
        m_.Materials.resize(static_cast<std::size_t>(m_.nMaterials) + 1);
        Material& mt = m_.Materials[static_cast<std::size_t>(i)];
        mt = Material{};
        mt.id = i;
        mt.name = std::string(name);
        mt.use_count = 0;
        cur_ = i;
        m_.currMtlID = i;
        if (ctx_.logWanted(2)) ctx_.logMsg("=================", 2);
        ctx_.logMsg("Material: " + std::to_string(i) + " : " + mt.name, 0);
        if (lowerCopy(name).find("default") != std::string::npos) hasDefault_ = true;
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
            std::string o = lowerCopy(opt.substr(1));
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
        if (hasDefault_) return;
        if (dfltMtlID_ >= 0) {
            m_.currMtlID = dfltMtlID_;  // synthesised once per read
            return;
        }
        std::int32_t i = m_.nMaterials;
        m_.nMaterials += 1;
        m_.Materials.resize(static_cast<std::size_t>(m_.nMaterials) + 1);
        Material& mt = m_.Materials[static_cast<std::size_t>(i)];
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
        m_.currMtlID = i;
        dfltMtlID_ = i;
        ctx_.logMsg("Synthesising Material " + std::to_string(i) + " Default", 0);
    }

    Context& ctx_;
    ModelStore& m_;
    std::int32_t& dfltMtlID_;
    std::int32_t cur_ = -1;
    bool hasDefault_ = false;
    std::vector<std::string> unhandled_;
};

class ObjReader {
public:
    ObjReader(Context& ctx, const std::string& path) : ctx_(ctx), m_(ctx.model), path_(path) {}

    // Sizes the store from the counts; false when the file is too large.
    bool prepare(ObjCounts& counts) {
        counts_ = &counts;
        zeroBased_ = counts.zeroBased;
        const std::int64_t splitsAtMost = std::min(counts.texCorners, counts.v + counts.vt);
        if (counts.v + splitsAtMost > kInt32Max - kStoreSlack || counts.tris > kInt32Max - kStoreSlack) {
            ctx_.msgBox(path_ + ": too large to read (more than " + std::to_string(kInt32Max) +
                        " vertices or faces)");
            return false;
        }
        m_.readPos = 0;
        std::int16_t mesh = m_.dssAddMesh("OBJ_Mesh_0", 0);
        if (mesh < 0) return false;
        mesh_ = mesh;
        // Reserving does not touch the memory: the store's own growth steps
        // then stay inside it and never copy the arrays.
        const auto nv = static_cast<std::size_t>(m_.ttlnum_Vertices + counts.v + splitsAtMost + kStoreSlack);
        m_.Vertices.reserve(nv);
        m_.Normals.reserve(nv);
        m_.VFaces.reserve(static_cast<std::size_t>(m_.ttlnum_Faces + counts.tris + kStoreSlack));
        m_.FaceGrps.reserve(m_.FaceGrps.size() + counts.runTris.size() + 1);
        srcVtx_.reserve(static_cast<std::size_t>(counts.v));
        tex_.reserve(static_cast<std::size_t>(counts.vt));
        return true;
    }

    // Parses whole lines; false once reading was given up.
    bool block(std::string_view text, char eol) {
        const char* p = text.data();
        const char* e = p + text.size();
        while (p < e && !ctx_.app.readAbort) {
            Fields fl(p, e, eol);
            lineOf(fl);
            p = fl.nextLine();
        }
        return !ctx_.app.readAbort;
    }

    void finish() {
        // The vertex run takes in the split copies too.
        Mesh& me = m_.Meshes[static_cast<std::size_t>(mesh_)];
        me.num_Vertices = m_.ttlnum_Vertices - me.vtx_ndx_stt;
        me.vtx_ndx_end = me.vtx_ndx_stt + me.num_Vertices - 1;
        me.num_Faces = m_.ttlnum_Faces - me.face_ndx_stt;
        me.face_ndx_end = me.face_ndx_stt + me.num_Faces - 1;
        linkUnlinkedGroups();
        m_.num_TexVerts = static_cast<std::int32_t>(tex_.size());
        if (badFaces_ > kReportedFacesMax || (badFaces_ > 1 && ctx_.logWanted(0))) {
            ctx_.logMsg(std::to_string(badFaces_) + " faces skipped in " + path_ +
                            " (they name vertices, texture vertices or normals that do not exist)",
                        0);
        }
        if (ctx_.logWanted(1)) {
            ctx_.logMsg("nSubMeshes=" + std::to_string(m_.nSubMeshes) +
                            "   ttlnum_Vertices=" + std::to_string(m_.ttlnum_Vertices) +
                            "   num_texverts=" + std::to_string(tex_.size()) +
                            "   num_normals=" + std::to_string(nNormals_) +
                            "   num_faces=" + std::to_string(m_.ttlnum_Faces) + "   material_fname=" + libName_ +
                            "   material_name=" + mtlName_ + "   group_name=",
                        1);
        }
    }

private:
    void lineOf(Fields& fl) {
        ++lineNo_;
        if (ctx_.statusDue()) status();
        Kw k = lineKind(fl);
        if (k == Kw::None) return;
        switch (k) {
            case Kw::V: vertex(fl); break;
            case Kw::VT: texVertex(fl); break;
            case Kw::VN: normal(fl); break;
            case Kw::F: face(fl); break;
            case Kw::MtlLib: mtllib(fl.rest()); break;
            case Kw::UseMtl: usemtl(fl.rest()); break;
            default: break;
        }
        prev_ = k;
    }

    void status() {
        switch (prev_) {
            case Kw::V: ctx_.showStatus("V: " + std::to_string(m_.ttlnum_Vertices)); break;
            case Kw::VN: ctx_.showStatus("N: " + std::to_string(nNormals_)); break;
            case Kw::VT: ctx_.showStatus("TV: " + std::to_string(tex_.size())); break;
            default: ctx_.showStatus("L:" + std::to_string(lineNo_)); break;
        }
    }

    void header(Kw k, const char* text) {
        if (prev_ != k && ctx_.logWanted(1)) ctx_.logMsg(text, 1);
    }

    void vertex(Fields& fl) {
        header(Kw::V, "  #####        Vertices ##### : ");
        float c[3] = {0, 0, 0};
        for (int i = 0; i < 3 && nextFloat(fl, c[i]); ++i) {
        }
        if (m_.ttlnum_Vertices >= kInt32Max - kStoreSlack) {
            tooLarge();
            return;
        }
        std::int32_t idx = -1;
        m_.AddVertex(idx, c[0], c[1], -c[2], c[0], -c[2], c[1], 0, false);
        srcVtx_.push_back(idx);
    }

    void texVertex(Fields& fl) {
        header(Kw::VT, "  ##### Vertex UVs ##### : ");
        UV uv;
        if (nextFloat(fl, uv.u)) nextFloat(fl, uv.v);
        tex_.push_back(uv);
        if (m_.detailWanted(static_cast<std::int32_t>(tex_.size()))) {
            ctx_.logFileIfDebug(padIntLeft(lineNo_, 6) + ":[" + std::to_string(tex_.size() - 1) + "] " +
                                  fmt2(uv.u) + " " + fmt2(uv.v));
        }
    }

    void normal(Fields& fl) {
        header(Kw::VN, "  ##### Vertex Normals ##### : ");
        ++nNormals_;
        if (m_.detailWanted(static_cast<std::int32_t>(std::min<std::int64_t>(nNormals_, kInt32Max)))) {
            float c[3] = {0, 0, 0};
            for (int i = 0; i < 3 && nextFloat(fl, c[i]); ++i) {
            }
            ctx_.logFileIfDebug(padIntLeft(lineNo_, 6) + ":[" + std::to_string(nNormals_ - 1) + "] " +
                                  fmt2(c[0]) + " " + fmt2(c[1]) + " " + fmt2(c[2]));
        }
    }

    // Resolves a corner number (1-based, 0-based in files that use 0,
    // negative counting back from the last one read) to a 0-based index;
    // -1 when it names nothing read so far.
    std::int64_t resolve(std::int64_t n, std::int64_t count) const {
        std::int64_t i = n < 0 ? count + n : (zeroBased_ ? n : n - 1);
        return (i >= 0 && i < count) ? i : -1;
    }

    void face(Fields& fl) {
        header(Kw::F, "  #####   Faces    ##### : ");
        if (prev_ != Kw::F) {
            ++run_;
            groupOpen_ = false;
        }
        corners_.clear();
        bool textured = false;
        const auto nv = static_cast<std::int64_t>(srcVtx_.size());
        const auto nt = static_cast<std::int64_t>(tex_.size());
        CornerText ct;
        while (nextCorner(fl, ct)) {
            std::int64_t vi = ct.numeric[0] ? resolve(ct.value[0], nv) : -1;
            if (vi < 0) return badFace("vertex", ct.part[0], nv);
            std::int64_t ti = -1;
            if (ct.present[1]) {
                // In a file counting from 1 texture number 0 means none.
                if (!(ct.numeric[1] && ct.value[1] == 0 && !zeroBased_)) {
                    ti = ct.numeric[1] ? resolve(ct.value[1], nt) : -1;
                    if (ti < 0) return badFace("texture vertex", ct.part[1], nt);
                    textured = true;
                }
            }
            if (ct.present[2] && !(ct.numeric[2] && ct.value[2] == 0 && !zeroBased_) &&
                (!ct.numeric[2] || resolve(ct.value[2], nNormals_) < 0))
                return badFace("normal", ct.part[2], nNormals_);
            corners_.push_back(Corner{srcVtx_[static_cast<std::size_t>(vi)], static_cast<std::int32_t>(vi),
                                      static_cast<std::int32_t>(ti)});
        }
        if (corners_.size() < 3) return;
        const std::int64_t tris = static_cast<std::int64_t>(corners_.size()) - 2;
        if (m_.ttlnum_Faces > kInt32Max - kStoreSlack - tris) return tooLarge();
        if (!groupOpen_) openGroup(textured);
        if (textured)
            for (Corner& c : corners_)
                if (c.tex >= 0) c.vtx = vertexWithUV(c);
        Mesh& me = m_.Meshes[static_cast<std::size_t>(mesh_)];
        for (std::size_t k = 0; k + 2 < corners_.size(); ++k) {
            std::int32_t global = m_.ttlnum_Faces;
            m_.AddFace(mesh_, 0, corners_[0].vtx, corners_[k + 1].vtx, corners_[k + 2].vtx);
            m_.AddFaceToGroup(mesh_, m_.currFgnum, textured, global - me.face_ndx_stt, global);
        }
    }

    void openGroup(bool textured) {
        std::int32_t mtl = m_.currMtlID;
        bool linked = mtl >= 0 && mtl < m_.nMaterials;
        std::int32_t g = m_.AddFaceGroup(textured, linked ? mtl : -1, 0);
        if (!linked) unlinked_.push_back(g);
        groupOpen_ = true;
        // The run's size is known from the counting pass: size its lists once.
        const auto r = static_cast<std::size_t>(run_ - 1);
        if (counts_ && r < counts_->runTris.size()) {
            FaceGroup& fg = m_.FaceGrps[static_cast<std::size_t>(g)];
            fg.FgFaces.reserve(static_cast<std::size_t>(counts_->runTris[r]) + 102);
            fg.FgGlblFaces.reserve(static_cast<std::size_t>(counts_->runTris[r]) + 102);
        }
    }

    // The store vertex that carries this corner's position and texture
    // vertex: the source vertex itself when free or already carrying it,
    // else an earlier copy carrying it, else a new copy.
    std::int32_t vertexWithUV(const Corner& c) {
        const std::int32_t uvId = c.tex + (zeroBased_ ? 0 : 1);
        const std::int32_t first = srcVtx_[static_cast<std::size_t>(c.src)];
        for (std::int32_t v = first; v >= 0; v = nextCopy(v))
            if (m_.Vertices[static_cast<std::size_t>(v)].uv_id == uvId) return v;
        const UV uv = tex_[static_cast<std::size_t>(c.tex)];
        if (m_.Vertices[static_cast<std::size_t>(first)].uv_id == -1) return m_.SetVertexUV(0, first, uvId, uv);
        std::int32_t copy = m_.SetVertexUV(0, first, uvId, uv);
        if (copies_.size() < static_cast<std::size_t>(m_.ttlnum_Vertices))
            copies_.resize(std::max<std::size_t>(static_cast<std::size_t>(m_.ttlnum_Vertices), copies_.size() * 2), -1);
        copies_[static_cast<std::size_t>(copy)] = nextCopy(first);
        copies_[static_cast<std::size_t>(first)] = copy;
        if (m_.detailWanted(m_.meshVtxCount)) {
            const Vec3& p = m_.Vertices[static_cast<std::size_t>(copy)].pos;
            ctx_.logFileIfDebug(padIntLeft(lineNo_, 6) + "AddVtx[" + std::to_string(copy) + "] " + fmt2(p.x) +
                                  " " + fmt2(p.y) + " " + fmt2(p.z));
        }
        return copy;
    }

    std::int32_t nextCopy(std::int32_t v) const {
        return static_cast<std::size_t>(v) < copies_.size() ? copies_[static_cast<std::size_t>(v)] : -1;
    }

    void badFace(const char* what, std::string_view number, std::int64_t count) {
        ++badFaces_;
        if (badFaces_ > kReportedFacesMax) return;
        std::string text = path_ + " line " + std::to_string(lineNo_) + ": face skipped, " + what + " number \"" +
                           std::string(number) + "\" names none of the " + std::to_string(count) + " read so far";
        if (badFaces_ == 1)
            ctx_.msgBox(text, Buttons::Ok);
        else
            ctx_.logMsg(text, 0);
    }

    void tooLarge() {
        ctx_.msgBox(path_ + " line " + std::to_string(lineNo_) + ": too large to read (more than " +
                    std::to_string(kInt32Max) + " vertices or faces)");
        ctx_.app.readAbort = true;
    }

    void mtllib(std::string_view names) {
        libName_ = std::string(names);
        const std::string folder = folderOf(path_);
        if (!findLibrary(folder, names).empty() || names.find_first_of(" \t") == std::string_view::npos) {
            loadLibrary(folder, names);
            return;
        }
        // Several libraries on one line.
        Fields fl(names);
        std::string_view one;
        while (!ctx_.app.readAbort && fl.next(one)) loadLibrary(folder, one);
    }

    static std::string findLibrary(const std::string& folder, std::string_view name) {
        std::string n(name);
        if (n.empty()) return {};
        if (n[0] == '/' && fileExists(n)) return n;
        if (fileExists(folder + n)) return folder + n;
        std::string fwd = n;
        for (char& ch : fwd)
            if (ch == '\\') ch = '/';
        if (fwd != n && fileExists(folder + fwd)) return folder + fwd;
        // Exporters often write the author's own folder; the library usually
        // sits beside the object file.
        std::size_t k = n.find_last_of("/\\");
        if (k != std::string::npos && fileExists(folder + n.substr(k + 1))) return folder + n.substr(k + 1);
        return {};
    }

    bool loadLibrary(const std::string& folder, std::string_view name) {
        std::string found = findLibrary(folder, name);
        std::string text, err;
        if (found.empty() || !readWholeFile(found, text, err)) {
            std::string shown = (!name.empty() && name[0] == '/') ? std::string(name) : folder + std::string(name);
            Answer a = ctx_.msgBox("Cannot find material file: (" + shown + ")", Buttons::OkCancel, Answer::Ok);
            if (a == Answer::Cancel) ctx_.app.readAbort = true;
            return false;
        }
        MtlReader(ctx_, dfltMtlID_).read(text);
        return true;
    }

    void usemtl(std::string_view name) {
        if (ctx_.logWanted(1)) ctx_.logMsg("  #####   Use Material ##### : " + std::string(name), 1);
        mtlName_ = std::string(name);
        std::int32_t id = -1;
        for (std::int32_t i = 0; i < m_.nMaterials; ++i)
            if (eqNoCase(m_.Materials[static_cast<std::size_t>(i)].name, name)) id = i;
        if (id < 0) {
            std::string low = lowerCopy(name);
            if (low.find("default") != std::string::npos || low == "off") {
                // Files without a library often still name a default
                // material: that is the synthesised one.
                if (dfltMtlID_ < 0 && m_.nMaterials == 0) MtlReader(ctx_, dfltMtlID_).read("");
                id = dfltMtlID_;
            }
        }
        if (id < 0) {
            // A name already answered is not asked again.
            bool asked = false;
            for (auto& n : notFound_) asked = asked || n == name;
            if (!asked) {
                Answer a = ctx_.msgBox("Material not found (" + std::string(name) + ")", Buttons::OkCancel, Answer::Ok);
                if (a == Answer::Cancel) {
                    ctx_.app.readAbort = true;
                    return;
                }
                notFound_.emplace_back(name);
            }
            id = 0;
        }
        m_.currMtlID = id;
    }

    // Face groups opened without an existing material take material 0, or
    // the synthesised "Default" when the model has no material at all, so
    // no group points at a material that is not there.
    void linkUnlinkedGroups() {
        if (unlinked_.empty()) return;
        if (m_.nMaterials == 0) {
            std::int32_t keep = m_.currMtlID;
            MtlReader(ctx_, dfltMtlID_).read("");
            m_.currMtlID = keep;
        }
        for (std::int32_t g : unlinked_) m_.SetFaceGroupMaterial(g, 0);
    }

    Context& ctx_;
    ModelStore& m_;
    const std::string& path_;
    ObjCounts* counts_ = nullptr;
    std::int16_t mesh_ = 0;
    bool zeroBased_ = false;
    long lineNo_ = 0;
    Kw prev_ = Kw::None;
    std::int64_t nNormals_ = 0;
    std::int64_t run_ = 0;
    bool groupOpen_ = false;
    std::int64_t badFaces_ = 0;
    std::int32_t dfltMtlID_ = -1;
    std::vector<std::int32_t> srcVtx_;   // store index of each source vertex
    std::vector<UV> tex_;
    std::vector<std::int32_t> copies_;   // store index -> next copy of the same source vertex
    std::vector<Corner> corners_;        // reused by every face line
    std::vector<std::int32_t> unlinked_;
    std::vector<std::string> notFound_;
    std::string libName_, mtlName_;
};

bool outOfMemory(Context& ctx, const std::string& path) {
    ctx.msgBox("Not enough memory to read " + path);
    ctx.app.readAbort = true;
    return false;
}

}  // namespace

bool LoadObjText(Context& ctx, std::string_view text, const std::string& path) {
    ctx.app.readAbort = false;
    try {
        std::string wide;
        if (isUtf16(text)) text = wide = fromUtf16(text);
        text = stripBom(text);
        ObjCounts counts;
        const char eol = eolOf(text);
        CountPass(counts).block(text, eol);
        ObjReader r(ctx, path);
        if (!r.prepare(counts)) {
            ctx.app.readAbort = true;
            return false;
        }
        r.block(text, eol);
        r.finish();
    } catch (const std::bad_alloc&) {
        return outOfMemory(ctx, path);
    } catch (const std::length_error&) {
        return outOfMemory(ctx, path);
    }
    return !ctx.app.readAbort;
}

bool LoadObj(Context& ctx, const std::string& path) {
    ctx.app.readAbort = false;
    BlockFile file;
    if (!fileExists(path) || !file.open(path)) {
        ctx.msgBox("Can't find: " + path);
        ctx.app.readAbort = true;
        return false;
    }
    try {
        char head[2] = {0, 0};
        if (file.peek(head, 2) == 2 && isUtf16(std::string_view(head, 2))) {
            std::string text, err;
            if (!readWholeFile(path, text, err)) {
                ctx.msgBox("Cannot read " + path + ": " + err);
                ctx.app.readAbort = true;
                return false;
            }
            return LoadObjText(ctx, text, path);
        }
        ObjCounts counts;
        {
            CountPass cp(counts);
            std::string_view block;
            bool first = true;
            while (file.next(block)) {
                cp.block(first ? stripBom(block) : block, file.eol());
                first = false;
            }
        }
        if (!file.failed()) {
            ObjReader r(ctx, path);
            if (!r.prepare(counts)) {
                ctx.app.readAbort = true;
                return false;
            }
            file.rewind();
            std::string_view block;
            bool first = true;
            while (file.next(block)) {
                if (!r.block(first ? stripBom(block) : block, file.eol())) break;
                first = false;
            }
            r.finish();
        }
        if (file.failed()) {
            ctx.msgBox("Cannot read " + path + ": read error");
            ctx.app.readAbort = true;
            return false;
        }
    } catch (const std::bad_alloc&) {
        return outOfMemory(ctx, path);
    } catch (const std::length_error&) {
        return outOfMemory(ctx, path);
    }
    return !ctx.app.readAbort;
}

bool LoadMtlText(Context& ctx, std::string_view text, const std::string& path) {
    std::int32_t dflt = -1;
    try {
        MtlReader(ctx, dflt).read(text);
    } catch (const std::bad_alloc&) {
        return outOfMemory(ctx, path);
    }
    return true;
}

}  // namespace molv
