// Tokeniser of Wavefront .obj and .mtl lines over text in memory: fields,
// numbers, and the pure pass that turns object text into numbers (no
// store, no messages) for the object reader to take into the store.
#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

namespace molv::wavefront {

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
inline constexpr SepTable kSep;
inline bool isSep(char c) { return kSep.is[static_cast<unsigned char>(c)]; }

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
    // What is left of the line, without separators at either end.
    std::string_view rest() const {
        const char* s = p;
        const char* t = lineEnd();
        while (s < t && isSep(*s)) ++s;
        while (t > s && isSep(t[-1])) --t;
        return std::string_view(s, static_cast<std::size_t>(t - s));
    }
};

// Keyword of an object line; None for blank and comment lines.
enum class Kw : std::uint8_t { None, V, VT, VN, F, MtlLib, UseMtl, Other };

// The whole field as a finite float; false when it is not a number
// (fieldFloatOr0 then gives 0, as the readers take it).
bool fieldFloat(std::string_view f, float& out);
float fieldFloatOr0(std::string_view f);

// Line end of a text: LF (with or without CR before it), or a lone CR as
// old Mac tools wrote it.
char eolOf(std::string_view text);

// What counting an object text finds; the counts only size arrays.
struct ObjCounts {
    std::int64_t v = 0, vt = 0, vn = 0, tris = 0, texCorners = 0;
    bool zeroBased = false;              // a face names vertex 0
    std::vector<std::int32_t> runTris;  // triangles of each run of f lines
};
// Counts a text.
ObjCounts countObj(std::string_view text, char eol);

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

// A block of whole lines as numbers; offsets refer to text.
struct TokBlock {
    std::string_view text;
    std::vector<Op> ops;
    std::vector<float> nums;  // v: x y z; vt: u v; vn: x y z when kept
    std::vector<RawCorner> corners;
};

// Tokenises text in blocks of whole lines and hands each to take, in order
// and on the calling thread; take returning false stops.
void tokeniseBlocks(std::string_view text, char eol, bool keepNormals,
                    const std::function<bool(const TokBlock&)>& take);

}  // namespace molv::wavefront
