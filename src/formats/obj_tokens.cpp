// Tokenising Wavefront text: fields, numbers, keywords, the counting pass
// and the pass that turns object lines into numbers. Pure work over text in
// memory.
#include "formats/obj_tokens.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

#include "util/numfmt.h"
#include "util/text.h"

namespace molv::wavefront {

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "nan", "inf", "-Infinity" and numbers beyond a float's range: values a
// field can name but a model cannot hold.
bool namesNonFinite(std::string_view f) {
    if (!f.empty() && (f[0] == '-' || f[0] == '+')) f.remove_prefix(1);
    std::string w = toLowerAscii(f);
    if (w == "inf" || w == "infinity" || w.rfind("nan", 0) == 0) return true;
    double d = 0;
    const auto r = std::from_chars(f.data(), f.data() + f.size(), d, std::chars_format::general);
    return (r.ec == std::errc::result_out_of_range && r.ptr == f.data() + f.size() && w.find('e') != std::string::npos &&
            w[w.find('e') + 1] != '-') ||
           (r.ec == std::errc() && r.ptr == f.data() + f.size() && !roundsToFiniteFloat(d));
}

// The next field of the line as a number: false when the line has no more
// fields; a field that is not a number reads as 0, one that names a value
// no float holds as NaN (which the caller refuses).
inline bool nextFloat(Fields& fl, float& out) {
    if (!fl.skip()) return false;
    const char* q = nullptr;
    if (parseFloatFast(fl.p, fl.e, q, out) && (q == fl.e || isSep(*q))) {
        fl.p = q;
        return true;
    }
    std::string_view f;
    fl.next(f);
    if (!fieldFloat(f, out)) out = namesNonFinite(f) ? std::numeric_limits<float>::quiet_NaN() : 0.0f;
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
    // "2.0", "1e3" and numbers too long for the loop above.
    auto d = parseNumber(f);
    if (!d || !(std::fabs(*d) < 9e18)) return false;
    out = static_cast<std::int64_t>(std::nearbyint(*d));
    return true;
}

Kw classify(std::string_view kw) {
    switch (kw.size()) {
        case 1:
            if (lowerAscii(kw[0]) == 'v') return Kw::V;
            if (lowerAscii(kw[0]) == 'f') return Kw::F;
            break;
        case 2:
            if (lowerAscii(kw[0]) == 'v') {
                if (lowerAscii(kw[1]) == 't') return Kw::VT;
                if (lowerAscii(kw[1]) == 'n') return Kw::VN;
            }
            break;
        case 6:
            if (equalsNoCase(kw, "mtllib")) return Kw::MtlLib;
            if (equalsNoCase(kw, "usemtl")) return Kw::UseMtl;
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

// Counts v, vt, vn and face lines block by block.
class CountPass {
public:
    explicit CountPass(ObjCounts& c) : c_(c) {}
    // Counts the lines of a block of whole lines.
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
    // Corners, corners with a "/" and a vertex number 0, in one sweep over
    // the line's bytes.
    void face(Fields& fl) {
        if (prev_ != Kw::F) c_.runTris.push_back(0);
        std::int64_t n = 0, tex = 0;
        const char* p = fl.p;
        const char* const e = fl.e;
        for (;;) {
            while (p < e && *p != fl.eol && isSep(*p)) ++p;
            if (p == e || *p == fl.eol) break;
            ++n;
            if (*p == '0' && !c_.zeroBased) {
                const char* q = p;
                while (q < e && *q == '0') ++q;
                c_.zeroBased = q == e || *q == '/' || isSep(*q);
            }
            bool slash = false;
            for (; p < e && !isSep(*p); ++p) slash = slash || *p == '/';
            tex += slash;
        }
        fl.p = p;
        c_.texCorners += tex;
        if (n >= 3) {
            c_.tris += n - 2;
            std::int32_t& r = c_.runTris.back();
            r = static_cast<std::int32_t>(std::min<std::int64_t>(kInt32Max, r + n - 2));
        }
    }
    ObjCounts& c_;
    Kw prev_ = Kw::None;
};

// A part of a corner: 0 empty, 1 a whole number (at most 10 digits),
// 2 anything else.
inline int fastPart(const char*& p, const char* e, std::int64_t& v) {
    const char* s = p;
    bool neg = false;
    if (p < e && (*p == '-' || *p == '+')) neg = *p++ == '-';
    const char* d = p;
    std::int64_t x = 0;
    while (p < e && isDigit(*p) && p - d < 10) x = x * 10 + (*p++ - '0');
    if (p == d) return p == s ? 0 : 2;
    if (p < e && *p != '/' && !isSep(*p)) return 2;
    v = neg ? -x : x;
    return 1;
}

inline bool fitsInt32(std::int64_t v) { return v >= -kInt32Max && v <= kInt32Max; }

class Tokeniser {
public:
    Tokeniser(char eol, bool keepNormals) : eol_(eol), keepNormals_(keepNormals) {}

    void block(TokBlock& b) {
        b.ops.clear();
        b.nums.clear();
        b.corners.clear();
        const char* const base = b.text.data();
        const char* p = base;
        const char* const e = p + b.text.size();
        while (p < e) {
            ++lineNo_;
            Fields fl(p, e, eol_);
            Kw k = lineKind(fl);
            Op op{OpKind::Other, 0, 1, lineNo_, 0, 0};
            float c[3] = {0, 0, 0};
            switch (k) {
                case Kw::None: break;
                case Kw::V:
                    op.kind = OpKind::V;
                    for (int i = 0; i < 3 && nextFloat(fl, c[i]); ++i) {
                    }
                    b.nums.push_back(c[0]);
                    b.nums.push_back(c[1]);
                    b.nums.push_back(c[2]);
                    break;
                case Kw::VT:
                    op.kind = OpKind::VT;
                    if (nextFloat(fl, c[0])) nextFloat(fl, c[1]);
                    b.nums.push_back(c[0]);
                    b.nums.push_back(c[1]);
                    break;
                case Kw::VN:
                    op.kind = OpKind::VN;
                    if (keepNormals_) {
                        for (int i = 0; i < 3 && nextFloat(fl, c[i]); ++i) {
                        }
                        b.nums.insert(b.nums.end(), c, c + 3);
                    }
                    break;
                case Kw::F: face(fl, b, op); break;
                case Kw::MtlLib:
                case Kw::UseMtl:
                    op.kind = k == Kw::MtlLib ? OpKind::MtlLib : OpKind::UseMtl;
                    textOf(fl.rest(), base, op);
                    break;
                default: break;
            }
            if (k != Kw::None) push(b, op);
            p = fl.nextLine();
        }
    }

private:
    // Lines of one kind in a row (v, vt, vn and the ignored ones) become
    // one op.
    static void push(TokBlock& b, const Op& op) {
        if (!b.ops.empty()) {
            Op& last = b.ops.back();
            const bool runs = op.kind == OpKind::V || op.kind == OpKind::VT || op.kind == OpKind::VN ||
                              op.kind == OpKind::Other;
            // long long: long has 32 bits on Windows.
            const bool next = static_cast<long long>(last.lineNo) + last.n == op.lineNo;
            if (runs && last.kind == op.kind && next && last.n < 0xFFFFFFFFu) {
                ++last.n;
                return;
            }
        }
        b.ops.push_back(op);
    }

    // Where a text of the line lies in the block (a block of 4 GB and more
    // gives up texts beyond that).
    static void textOf(std::string_view t, const char* base, Op& op) {
        const auto off = static_cast<std::size_t>(t.data() - base);
        if (off > 0xFFFFFFFFu || t.size() > 0xFFFFFFFFu - off) return;
        op.off = static_cast<std::uint32_t>(off);
        op.len = static_cast<std::uint32_t>(t.size());
    }

    void face(Fields& fl, TokBlock& b, Op& op) {
        op.kind = OpKind::F;
        const std::size_t first = b.corners.size();
        const char* const base = b.text.data();
        while (fl.skip()) {
            const char* p = fl.p;
            RawCorner c{0, 0, 0, 0};
            std::int64_t v[3] = {0, 0, 0};
            int r1 = 0, r2 = 0;
            bool fast = fastPart(p, fl.e, v[0]) == 1;
            if (fast && p < fl.e && *p == '/') {
                r1 = fastPart(++p, fl.e, v[1]);
                if (r1 != 2 && p < fl.e && *p == '/') r2 = fastPart(++p, fl.e, v[2]);
                fast = r1 != 2 && r2 != 2 && (p == fl.e || isSep(*p));
            }
            if (fast && fitsInt32(v[0]) && fitsInt32(v[1]) && fitsInt32(v[2])) {
                fl.p = p;
                c.v = static_cast<std::int32_t>(v[0]);
                c.t = static_cast<std::int32_t>(v[1]);
                c.n = static_cast<std::int32_t>(v[2]);
                c.has = static_cast<std::uint8_t>((r1 == 1 ? kHasT : 0) | (r2 == 1 ? kHasN : 0));
                b.corners.push_back(c);
                continue;
            }
            // Anything unusual: split the whole field and read each part.
            std::string_view f;
            fl.next(f);
            for (int k = 0; k < 3; ++k) {
                std::size_t slash = f.find('/');
                std::string_view part = f.substr(0, slash);
                f = slash == std::string_view::npos ? std::string_view() : f.substr(slash + 1);
                std::int64_t x = 0;
                if (!(part.empty() && k > 0)) {
                    if (!partInt(part, x) || !fitsInt32(x)) {
                        b.corners.resize(first);
                        op.kind = OpKind::BadFace;
                        op.part = static_cast<std::uint8_t>(k);
                        op.n = 0;
                        textOf(part, base, op);
                        return;
                    }
                    if (k == 0) c.v = static_cast<std::int32_t>(x);
                    if (k == 1) c.t = static_cast<std::int32_t>(x), c.has |= kHasT;
                    if (k == 2) c.n = static_cast<std::int32_t>(x), c.has |= kHasN;
                }
                if (slash == std::string_view::npos) break;
            }
            b.corners.push_back(c);
        }
        op.n = static_cast<std::uint32_t>(b.corners.size() - first);
    }

    char eol_;
    bool keepNormals_;
    long lineNo_ = 0;
};

// A text in memory handed out in blocks of whole lines, about
// kTextBlock bytes each.
class TextBlocks {
public:
    TextBlocks(std::string_view t, char eol) : t_(t), eol_(eol) {}
    bool next(std::string_view& block) {
        if (pos_ >= t_.size()) return false;
        std::size_t end = t_.size();
        if (t_.size() - pos_ > kTextBlock) {
            std::size_t nl = t_.find(eol_, pos_ + kTextBlock - 1);
            if (nl != std::string_view::npos) end = nl + 1;
        }
        block = t_.substr(pos_, end - pos_);
        pos_ = end;
        return true;
    }

private:
    static constexpr std::size_t kTextBlock = std::size_t{1} << 20;
    std::string_view t_;
    char eol_;
    std::size_t pos_ = 0;
};

}  // namespace

bool fieldFloat(std::string_view f, float& out) {
    const char* e = f.data() + f.size();
    const char* q = nullptr;
    if (parseFloatFast(f.data(), e, q, out) && q == e) return true;
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

char eolOf(std::string_view text) {
    std::size_t n = std::min<std::size_t>(text.size(), 65536);
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] == '\n') return '\n';
        if (text[i] == '\r') return (i + 1 < text.size() && text[i + 1] == '\n') ? '\n' : '\r';
    }
    return '\n';
}

ObjCounts countObj(std::string_view text, char eol) {
    ObjCounts counts;
    TextBlocks src(text, eol);
    CountPass cp(counts);
    std::string_view block;
    while (src.next(block)) cp.block(block, eol);
    return counts;
}

void tokeniseBlocks(std::string_view text, char eol, bool keepNormals,
                    const std::function<bool(const TokBlock&)>& take) {
    TextBlocks src(text, eol);
    Tokeniser tk(eol, keepNormals);
    TokBlock b;
    std::string_view v;
    while (src.next(v)) {
        b.text = v;
        tk.block(b);
        if (!take(b)) break;
    }
}

}  // namespace molv::wavefront
