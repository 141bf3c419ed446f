// Wavefront .obj and .mtl reader.
//
// The object file is read twice: a counting pass sizes the store's arrays
// (so a million-face file is not grown step by step) and detects files that
// number their vertices from 0; the second pass parses. Both walk the bytes
// in large blocks with string_views, so no line costs a heap allocation.
// The counts only size arrays: every number the parse takes from the file
// is checked on its own.
//
// Large files use a second thread: the count runs in pieces on both, and
// during the parse a worker turns the next blocks into numbers (pure work,
// no store, no messages) while this thread takes the last block into the
// store. Everything the user sees happens on the calling thread.
#include "formats/obj_reader.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/store.h"
#include "util/fileio.h"
#include "util/numfmt.h"

namespace molv {

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// Room the store keeps above its counters (it grows in steps of 1000).
constexpr std::int64_t kStoreSlack = 2002;
constexpr int kReportedFacesMax = 10;
// Files larger than this are counted and read with a second thread.
constexpr long long kThreadedFrom = 2LL << 20;

// Field separators: runs of blanks and tabs; a stray CR, NUL or Ctrl-Z
// (old DOS end of file) separates too.
constexpr bool sepByte(unsigned c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0' || c == 0x1a || c == '\v' || c == '\f';
}
struct SepTable {
    bool is[256];
    constexpr SepTable() : is() {
        for (unsigned c = 0; c < 256; ++c) is[c] = sepByte(c);
    }
};
constexpr SepTable kSep;
inline bool isSep(char c) { return kSep.is[static_cast<unsigned char>(c)]; }
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
    // At most 19 digits in all, so m cannot overflow; longer forms (and
    // the digits of an overflowed m) go to the general parser.
    std::uint64_t m = 0;
    int exp10 = 0;
    const char* d0 = p;
    for (; p < e && isDigit(*p); ++p) m = m * 10 + static_cast<unsigned>(*p - '0');
    std::ptrdiff_t digits = p - d0;
    if (p < e && *p == '.') {
        const char* f0 = ++p;
        for (; p < e && isDigit(*p); ++p) m = m * 10 + static_cast<unsigned>(*p - '0');
        exp10 = -static_cast<int>(p - f0);
        digits += p - f0;
    }
    if (digits == 0 || digits > 19) return false;
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
    // "2.0", "1e3" and numbers too long for the loop above.
    auto d = parseNumber(f);
    if (!d || !(std::fabs(*d) < 9e18)) return false;
    out = static_cast<std::int64_t>(std::nearbyint(*d));
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
        // A small file needs no more buffer than its size.
        chunk_ = static_cast<std::size_t>(std::clamp<long long>(fileSize(path) + 1, 4096, kChunk));
        return true;
    }
    // Opens the file at a byte offset inside it, with its line end known.
    bool openAt(const std::string& path, long long offset, char eol) {
        if (!open(path) || std::fseek(f_, static_cast<long>(offset), SEEK_SET) != 0) return false;
        bufPos_ = offset;
        started_ = offset > 0;
        eol_ = eol;
        eolKnown_ = true;
        return true;
    }
    void setEol(char eol) {
        eol_ = eol;
        eolKnown_ = true;
    }
    // As next, but the block's bytes move to `out` (whose old buffer this
    // file takes over), so the caller may keep them while reading on.
    bool nextInto(std::string& out, std::string_view& block) {
        if (!next(block)) return false;
        const auto off = static_cast<std::size_t>(block.data() - buf_.data());
        out.swap(buf_);
        if (buf_.size() < out.size()) buf_.resize(out.size());
        std::memcpy(buf_.data(), out.data() + next_, have_ - next_);
        have_ -= next_;
        bufPos_ += static_cast<long long>(next_);
        next_ = 0;
        block = std::string_view(out.data() + off, block.size());
        return true;
    }
    // File offset of the block last handed out.
    long long blockPos() const { return blockPos_; }
    // Lends the file a buffer to read into, and takes it back: fresh
    // memory is slow to come by, so a reader of many pieces keeps one.
    void lend(std::string& buffer) { buf_.swap(buffer); }
    void giveBack(std::string& buffer) { buf_.swap(buffer); }
    // The first bytes of the file, leaving it at its start.
    std::size_t peek(char* out, std::size_t n) {
        std::size_t got = std::fread(out, 1, n, f_);
        std::rewind(f_);
        return got;
    }
    void rewind() {
        std::rewind(f_);
        have_ = next_ = 0;
        bufPos_ = 0;
        eof_ = failed_ = false;
        started_ = false;
    }
    bool failed() const { return failed_; }
    char eol() const { return eol_; }
    bool next(std::string_view& block) {
        if (buf_.empty()) buf_.resize(chunk_);
        if (next_ > 0) {
            std::memmove(buf_.data(), buf_.data() + next_, have_ - next_);
            have_ -= next_;
            bufPos_ += static_cast<long long>(next_);
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
                block = firstBlock(std::string_view(base, next_));
                return true;
            }
            searched = have_;
            if (eof_) {
                if (have_ == 0) return false;
                next_ = have_;
                block = firstBlock(std::string_view(base, have_));
                return true;
            }
            if (have_ == buf_.size()) buf_.resize(buf_.size() * 2);
        }
    }

private:
    static constexpr long long kChunk = 1LL << 20;
    std::size_t chunk_ = kChunk;
    std::FILE* f_ = nullptr;
    std::string buf_;
    std::size_t have_ = 0, next_ = 0;
    bool eof_ = false, failed_ = false;
    bool eolKnown_ = false;
    bool started_ = false;
    char eol_ = '\n';

    long long bufPos_ = 0, blockPos_ = 0;

    // The byte order mark is not part of the first line.
    std::string_view firstBlock(std::string_view b) {
        if (started_) {
            blockPos_ = bufPos_;
            return b;
        }
        started_ = true;
        std::string_view r = stripBom(b);
        blockPos_ = bufPos_ + static_cast<long long>(r.data() - b.data());
        return r;
    }
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
    // Counts lines that start before `limit` bytes from the block's start
    // (all when negative); with skipFirst the block begins inside a line
    // that belongs to someone else.
    void block(std::string_view text, char eol, long long limit = -1, bool skipFirst = false) {
        const char* p = text.data();
        const char* e = p + text.size();
        if (limit >= 0 && static_cast<long long>(text.size()) > limit) e = p + limit;
        if (skipFirst) {
            const void* q = std::memchr(p, eol, static_cast<std::size_t>(e - p));
            p = q ? static_cast<const char*>(q) + 1 : e;
        }
        while (p < e) {
            Fields fl(p, text.data() + text.size(), eol);
            Kw k = lineKind(fl);
            if (k != Kw::None && first_ == Kw::None) first_ = k;
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
    Kw first() const { return first_; }
    Kw last() const { return prev_; }

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
    Kw first_ = Kw::None;
};

// Counts the lines of a file that start in [from, to) (to < 0: the end),
// reading through the caller's buffer.
void countRange(const std::string& path, long long from, long long to, char eol, ObjCounts& c, Kw& first, Kw& last,
                bool& failed, std::string& buffer) {
    BlockFile f;
    if (!f.openAt(path, from > 0 ? from - 1 : 0, eol)) {
        failed = true;
        return;
    }
    struct Lent {
        BlockFile& f;
        std::string& b;
        ~Lent() { f.giveBack(b); }
    } lent{f, buffer};
    f.lend(buffer);
    CountPass cp(c);
    std::string_view block;
    bool skip = from > 0;
    while (f.next(block)) {
        long long limit = to < 0 ? -1 : to - f.blockPos();
        if (to >= 0 && limit <= 0 && !skip) break;
        cp.block(block, eol, limit, skip);
        skip = false;
        if (limit >= 0 && limit <= static_cast<long long>(block.size())) break;
    }
    failed = f.failed();
    first = cp.first();
    last = cp.last();
}

// The counts of a whole file, counted in pieces by two threads side by
// side; pieces rather than halves, as face lines cost more to count than
// the rest and often fill one end of the file.
bool countFile(const std::string& path, long long size, char eol, ObjCounts& c) {
    struct Piece {
        ObjCounts counts;
        Kw first = Kw::None, last = Kw::None;
        bool failed = false;
    };
    constexpr long long kPiece = 4LL << 20;
    const auto nPieces = static_cast<std::size_t>(std::max<long long>(2, (size + kPiece - 1) / kPiece));
    std::vector<Piece> pieces(nPieces);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        std::string buffer;
        for (std::size_t i; (i = next.fetch_add(1)) < nPieces;) {
            const long long from = size * static_cast<long long>(i) / static_cast<long long>(nPieces);
            const long long to = i + 1 == nPieces ? -1 : size * static_cast<long long>(i + 1) / static_cast<long long>(nPieces);
            Piece& pc = pieces[i];
            countRange(path, from, to, eol, pc.counts, pc.first, pc.last, pc.failed, buffer);
        }
    };
    std::exception_ptr error;
    std::thread t;
    try {
        t = std::thread([&] {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
                next = nPieces;
            }
        });
    } catch (const std::system_error&) {
        // No second thread to be had: this one counts every piece.
    }
    try {
        work();
    } catch (...) {
        next = nPieces;
        if (t.joinable()) t.join();
        throw;
    }
    if (t.joinable()) t.join();
    if (error) std::rethrow_exception(error);
    Kw last = Kw::None;
    for (Piece& pc : pieces) {
        if (pc.failed) return false;
        const ObjCounts& p = pc.counts;
        c.v += p.v;
        c.vt += p.vt;
        c.vn += p.vn;
        c.tris += p.tris;
        c.texCorners += p.texCorners;
        c.zeroBased = c.zeroBased || p.zeroBased;
        std::size_t from = 0;
        // A run of faces that goes on over a piece's start is one run.
        if (last == Kw::F && pc.first == Kw::F && !c.runTris.empty() && !p.runTris.empty()) {
            c.runTris.back() =
                static_cast<std::int32_t>(std::min<std::int64_t>(kInt32Max, std::int64_t{c.runTris.back()} + p.runTris[0]));
            from = 1;
        }
        c.runTris.insert(c.runTris.end(), p.runTris.begin() + static_cast<std::ptrdiff_t>(from), p.runTris.end());
        if (pc.last != Kw::None) last = pc.last;
    }
    return true;
}

// Asks for large memory pages under a big array's reserved storage: a
// million vertices then cost a few dozen page faults instead of tens of
// thousands. Only for arrays that will hold many megabytes, as the last
// large page is resident whole. A hint; nothing depends on it being taken.
template <class T>
void largePages([[maybe_unused]] std::vector<T>& v, [[maybe_unused]] std::size_t expected) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (expected * sizeof(T) < 8 * kHuge) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(v.data());
    const std::uintptr_t end = begin + v.capacity() * sizeof(T);
    const std::uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1), to = end & ~(kHuge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

// --- tokenising: text to numbers, no store, no messages ------------------
//
// This part is pure so that it can run on a worker thread while the main
// thread fills the store with the block before.

// One face corner's numbers as written (positive or relative).
struct RawCorner {
    std::int32_t v, t, n;
    std::uint8_t has;  // kHasT, kHasN: that part is given
};
constexpr std::uint8_t kHasT = 1, kHasN = 2;

enum class OpKind : std::uint8_t { V, VT, VN, F, BadFace, MtlLib, UseMtl, Other };

// One line that matters, in file order.
struct Op {
    OpKind kind;
    std::uint8_t part;    // BadFace: 0 vertex, 1 texture vertex, 2 normal
    std::uint32_t n = 0;  // F: corners in the block's corner list; V, VT, VN, Other: lines in a row
    long lineNo = 0;
    std::uint32_t off = 0, len = 0;  // MtlLib, UseMtl: the name; BadFace: the number as written
};

struct TokBlock {
    std::string own;        // the bytes, when they came from a file
    std::string_view text;  // the block the offsets refer to
    std::vector<Op> ops;
    std::vector<float> nums;  // v: x y z; vt: u v; vn: x y z when kept
    std::vector<RawCorner> corners;
    void reset() {
        ops.clear();
        nums.clear();
        corners.clear();
    }
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
        b.reset();
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
            if (runs && last.kind == op.kind && last.lineNo + last.n == op.lineNo && last.n < 0xFFFFFFFFu) {
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

struct Corner {
    std::int32_t vtx;  // store vertex index
    std::int32_t src;  // source vertex index (0-based)
    std::int32_t tex;  // texture vertex index (0-based), -1 for none
};

// The material library reader; shared by mtllib lines and LoadMtlText.
class MtlReader {
public:
    MtlReader(ReadEnv& env, std::int32_t& dfltMtlID) : ctx_(env.diag), m_(env.model), dfltMtlID_(dfltMtlID) {}

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

    Diagnostics& ctx_;
    ModelStore& m_;
    std::int32_t& dfltMtlID_;
    std::int32_t cur_ = -1;
    bool hasDefault_ = false;
    std::vector<std::string> unhandled_;
};

class ObjReader {
public:
    ObjReader(ReadEnv& env, const std::string& path)
        : env_(env), ctx_(env.diag), m_(env.model), path_(path), keepNormals_(env.diag.dbgLevel >= 2) {}

    bool aborted() const { return aborted_; }

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
        largePages(m_.Vertices, static_cast<std::size_t>(counts.v));
        largePages(m_.Normals, static_cast<std::size_t>(counts.v));
        largePages(m_.VFaces, static_cast<std::size_t>(counts.tris));
        return true;
    }

    // Takes one tokenised block into the store; false once reading was
    // given up.
    bool replay(const TokBlock& b) {
        const float* num = b.nums.data();
        const RawCorner* cs = b.corners.data();
        for (const Op& op : b.ops) {
            if (aborted_) break;
            lineNo_ = op.lineNo;
            if (ctx_.statusDue()) status();
            Kw k = Kw::Other;
            switch (op.kind) {
                case OpKind::V:
                    k = Kw::V;
                    for (std::uint32_t i = 0; i < op.n && !aborted_; ++i, num += 3) {
                        lineNo_ = op.lineNo + i;
                        vertex(num);
                        prev_ = k;
                    }
                    break;
                case OpKind::VT:
                    k = Kw::VT;
                    for (std::uint32_t i = 0; i < op.n; ++i, num += 2) {
                        lineNo_ = op.lineNo + i;
                        texVertex(num);
                        prev_ = k;
                    }
                    break;
                case OpKind::VN:
                    k = Kw::VN;
                    for (std::uint32_t i = 0; i < op.n; ++i) {
                        lineNo_ = op.lineNo + i;
                        normal(keepNormals_ ? num : nullptr);
                        if (keepNormals_) num += 3;
                        prev_ = k;
                    }
                    break;
                case OpKind::F:
                    k = Kw::F;
                    face(cs, op.n);
                    cs += op.n;
                    break;
                case OpKind::BadFace:
                    k = Kw::F;
                    startFaces();
                    badFace(op.part, b.text.substr(op.off, op.len));
                    break;
                case OpKind::MtlLib:
                    k = Kw::MtlLib;
                    mtllib(b.text.substr(op.off, op.len));
                    break;
                case OpKind::UseMtl:
                    k = Kw::UseMtl;
                    usemtl(b.text.substr(op.off, op.len));
                    break;
                case OpKind::Other: break;
            }
            prev_ = k;
        }
        return !aborted_;
    }

    bool keepNormals() const { return keepNormals_; }

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

    void vertex(const float* c) {
        header(Kw::V, "  #####        Vertices ##### : ");
        if (m_.ttlnum_Vertices >= kInt32Max - kStoreSlack) return tooLarge();
        std::int32_t idx = -1;
        m_.AddVertex(idx, c[0], c[1], -c[2], c[0], -c[2], c[1], 0, false);
        srcVtx_.push_back(idx);
    }

    void texVertex(const float* c) {
        header(Kw::VT, "  ##### Vertex UVs ##### : ");
        tex_.push_back(UV{c[0], c[1]});
        if (m_.detailWanted(static_cast<std::int32_t>(tex_.size()))) {
            ctx_.logFileIfDebug(padIntLeft(lineNo_, 6) + ":[" + std::to_string(tex_.size() - 1) + "] " + fmt2(c[0]) +
                                " " + fmt2(c[1]));
        }
    }

    void normal(const float* c) {
        header(Kw::VN, "  ##### Vertex Normals ##### : ");
        ++nNormals_;
        if (c && m_.detailWanted(static_cast<std::int32_t>(std::min<std::int64_t>(nNormals_, kInt32Max)))) {
            ctx_.logFileIfDebug(padIntLeft(lineNo_, 6) + ":[" + std::to_string(nNormals_ - 1) + "] " + fmt2(c[0]) +
                                " " + fmt2(c[1]) + " " + fmt2(c[2]));
        }
    }

    // Resolves a corner number (1-based, 0-based in files that use 0,
    // negative counting back from the last one read) to a 0-based index;
    // -1 when it names nothing read so far.
    std::int64_t resolve(std::int64_t n, std::int64_t count) const {
        std::int64_t i = n < 0 ? count + n : (zeroBased_ ? n : n - 1);
        return (i >= 0 && i < count) ? i : -1;
    }

    // A line of faces: a run of them shares one face group.
    void startFaces() {
        header(Kw::F, "  #####   Faces    ##### : ");
        if (prev_ != Kw::F) {
            ++run_;
            groupOpen_ = false;
        }
    }

    void face(const RawCorner* cs, std::uint32_t n) {
        startFaces();
        corners_.clear();
        bool textured = false;
        const auto nv = static_cast<std::int64_t>(srcVtx_.size());
        const auto nt = static_cast<std::int64_t>(tex_.size());
        for (std::uint32_t i = 0; i < n; ++i) {
            const RawCorner& c = cs[i];
            std::int64_t vi = resolve(c.v, nv);
            if (vi < 0) return badFace(0, std::to_string(c.v));
            std::int64_t ti = -1;
            // In a file counting from 1, number 0 means none.
            if ((c.has & kHasT) && (c.t != 0 || zeroBased_)) {
                ti = resolve(c.t, nt);
                if (ti < 0) return badFace(1, std::to_string(c.t));
                textured = true;
            }
            if ((c.has & kHasN) && (c.n != 0 || zeroBased_) && resolve(c.n, nNormals_) < 0)
                return badFace(2, std::to_string(c.n));
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
        const std::int32_t faceBase = m_.Meshes[static_cast<std::size_t>(mesh_)].face_ndx_stt;
        for (std::size_t k = 0; k + 2 < corners_.size(); ++k) {
            std::int32_t global = m_.ttlnum_Faces;
            m_.AddFace(mesh_, 0, corners_[0].vtx, corners_[k + 1].vtx, corners_[k + 2].vtx);
            m_.AddFaceToGroup(mesh_, m_.currFgnum, textured, global - faceBase, global);
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

    void badFace(int part, std::string_view number) {
        static const char* const what[] = {"vertex", "texture vertex", "normal"};
        const std::int64_t count = part == 0   ? static_cast<std::int64_t>(srcVtx_.size())
                                   : part == 1 ? static_cast<std::int64_t>(tex_.size())
                                               : nNormals_;
        ++badFaces_;
        if (badFaces_ > kReportedFacesMax) return;
        std::string text = path_ + " line " + std::to_string(lineNo_) + ": face skipped, " + what[part] + " number \"" +
                           std::string(number) + "\" names none of the " + std::to_string(count) + " read so far";
        if (badFaces_ == 1)
            ctx_.msgBox(text, Buttons::Ok);
        else
            ctx_.logMsg(text, 0);
    }

    void tooLarge() {
        ctx_.msgBox(path_ + " line " + std::to_string(lineNo_) + ": too large to read (more than " +
                    std::to_string(kInt32Max) + " vertices or faces)");
        aborted_ = true;
    }

    void mtllib(std::string_view names) {
        libName_ = std::string(names);
        // Libraries sit beside the object file; a bare file name is in the
        // current folder.
        std::string folder = folderOf(path_);
        if (folder.empty()) folder = env_.currentFolder;
        if (!findLibrary(folder, names).empty() || names.find_first_of(" \t") == std::string_view::npos) {
            loadLibrary(folder, names);
            return;
        }
        // Several libraries on one line.
        Fields fl(names);
        std::string_view one;
        while (!aborted_ && fl.next(one)) loadLibrary(folder, one);
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
            if (a == Answer::Cancel) aborted_ = true;
            return false;
        }
        MtlReader(env_, dfltMtlID_).read(text);
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
                if (dfltMtlID_ < 0 && m_.nMaterials == 0) MtlReader(env_, dfltMtlID_).read("");
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
                    aborted_ = true;
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
            MtlReader(env_, dfltMtlID_).read("");
            m_.currMtlID = keep;
        }
        for (std::int32_t g : unlinked_) m_.SetFaceGroupMaterial(g, 0);
    }

    ReadEnv& env_;
    Diagnostics& ctx_;
    ModelStore& m_;
    const std::string& path_;
    bool aborted_ = false;
    const bool keepNormals_;  // normal values are only wanted for detail lines
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
    bool nextInto(std::string& out, std::string_view& block) {
        if (!next(block)) return false;
        out.assign(block);
        block = out;
        return true;
    }

private:
    static constexpr std::size_t kTextBlock = std::size_t{1} << 20;
    std::string_view t_;
    char eol_;
    std::size_t pos_ = 0;
};

// Tokenises the source's blocks and replays them into the store. Threaded,
// a worker reads and tokenises the next blocks while this thread replays
// the one before; the worker touches neither the context nor the store.
template <class Source>
void runBlocks(ObjReader& r, Tokeniser& tk, Source& src, bool threaded);

template <class Source>
void runBlocksAlone(ObjReader& r, Tokeniser& tk, Source& src) {
    TokBlock b;
    std::string_view v;
    while (src.next(v)) {
        b.text = v;
        tk.block(b);
        if (!r.replay(b)) break;
    }
}

template <class Source>
void runBlocks(ObjReader& r, Tokeniser& tk, Source& src, bool threaded) {
    if (!threaded) return runBlocksAlone(r, tk, src);
    struct Shared {
        std::mutex mu;
        std::condition_variable cv;
        std::deque<TokBlock*> full;
        std::vector<TokBlock*> spare;
        bool done = false, stop = false;
        std::exception_ptr error;
    } sh;
    constexpr int kInFlight = 3;
    std::vector<std::unique_ptr<TokBlock>> blocks;
    for (int i = 0; i < kInFlight; ++i) {
        blocks.push_back(std::make_unique<TokBlock>());
        sh.spare.push_back(blocks.back().get());
    }
    auto tokenise = [&sh, &tk, &src] {
        try {
            for (;;) {
                TokBlock* b = nullptr;
                {
                    std::unique_lock<std::mutex> lk(sh.mu);
                    sh.cv.wait(lk, [&] { return sh.stop || !sh.spare.empty(); });
                    if (sh.stop) break;
                    b = sh.spare.back();
                    sh.spare.pop_back();
                }
                std::string_view v;
                if (!src.nextInto(b->own, v)) break;
                b->text = v;
                tk.block(*b);
                {
                    std::lock_guard<std::mutex> lk(sh.mu);
                    sh.full.push_back(b);
                }
                sh.cv.notify_all();
            }
        } catch (...) {
            std::lock_guard<std::mutex> lk(sh.mu);
            sh.error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lk(sh.mu);
            sh.done = true;
        }
        sh.cv.notify_all();
    };
    std::thread worker;
    try {
        worker = std::thread(tokenise);
    } catch (const std::system_error&) {
        return runBlocksAlone(r, tk, src);  // no second thread to be had
    }
    auto finish = [&] {
        {
            std::lock_guard<std::mutex> lk(sh.mu);
            sh.stop = true;
        }
        sh.cv.notify_all();
        worker.join();
    };
    try {
        for (;;) {
            TokBlock* b = nullptr;
            {
                std::unique_lock<std::mutex> lk(sh.mu);
                sh.cv.wait(lk, [&] { return sh.done || !sh.full.empty(); });
                if (sh.full.empty()) break;
                b = sh.full.front();
                sh.full.pop_front();
            }
            bool more = r.replay(*b);
            {
                std::lock_guard<std::mutex> lk(sh.mu);
                sh.spare.push_back(b);
            }
            sh.cv.notify_all();
            if (!more) break;
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    if (sh.error) std::rethrow_exception(sh.error);
}

ReadResult outOfMemory(const std::string& path) { return ReadResult::failed("Not enough memory to read " + path, path); }

}  // namespace

ReadResult LoadObjText(ReadEnv& env, std::string_view text, const std::string& path) {
    try {
        std::string wide;
        if (isUtf16(text)) text = wide = fromUtf16(text);
        text = stripBom(text);
        const char eol = eolOf(text);
        ObjCounts counts;
        {
            TextBlocks src(text, eol);
            CountPass cp(counts);
            std::string_view block;
            while (src.next(block)) cp.block(block, eol);
        }
        ObjReader r(env, path);
        if (!r.prepare(counts)) return ReadResult::cancelled();
        TextBlocks src(text, eol);
        Tokeniser tk(eol, r.keepNormals());
        runBlocks(r, tk, src, false);
        r.finish();
        if (r.aborted()) return ReadResult::cancelled();
    } catch (const std::bad_alloc&) {
        return outOfMemory(path);
    } catch (const std::length_error&) {
        return outOfMemory(path);
    }
    return {};
}

ReadResult LoadObj(ReadEnv& env, const std::string& path) {
    BlockFile file;
    if (!fileExists(path) || !file.open(path)) return ReadResult::failed("Can't find: " + path, path);
    try {
        std::string head(65536, '\0');
        head.resize(file.peek(head.data(), head.size()));
        if (isUtf16(head)) {
            std::string text, err;
            if (!readWholeFile(path, text, err)) return ReadResult::failed("Cannot read " + path + ": " + err, path);
            return LoadObjText(env, text, path);
        }
        ObjCounts counts;
        const long long size = fileSize(path);
        const bool threaded = size > kThreadedFrom;
        const char eol = eolOf(stripBom(head));
        file.setEol(eol);
        if (threaded) {
            if (!countFile(path, size, eol, counts)) return ReadResult::failed("Cannot read " + path + ": read error", path);
        } else {
            CountPass cp(counts);
            std::string_view block;
            while (file.next(block)) cp.block(block, eol);
        }
        if (!file.failed()) {
            ObjReader r(env, path);
            if (!r.prepare(counts)) return ReadResult::cancelled();
            file.rewind();
            Tokeniser tk(eol, r.keepNormals());
            // Small files are read before a thread would have started.
            runBlocks(r, tk, file, threaded);
            r.finish();
            if (r.aborted()) return ReadResult::cancelled();
        }
        if (file.failed()) return ReadResult::failed("Cannot read " + path + ": read error", path);
    } catch (const std::bad_alloc&) {
        return outOfMemory(path);
    } catch (const std::length_error&) {
        return outOfMemory(path);
    }
    return {};
}

ReadResult LoadMtlText(ReadEnv& env, std::string_view text, const std::string& path) {
    std::int32_t dflt = -1;
    try {
        MtlReader(env, dflt).read(text);
    } catch (const std::bad_alloc&) {
        return outOfMemory(path);
    }
    return {};
}

}  // namespace molv
