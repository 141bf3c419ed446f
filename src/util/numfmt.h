// Number text that never depends on the user's locale: the decimal point is
// always ".". Parsing never reads past its text and rejects nan, inf and
// values out of range.
#pragma once
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace molv {

// Shortest decimal text that reads back to the same float ("100", "0.1", "-2.5").
std::string numText(double v);
std::string numText(float v);
inline std::string numText(int v) { return std::to_string(v); }
inline std::string numText(long v) { return std::to_string(v); }
inline std::string numText(long long v) { return std::to_string(v); }
inline std::string numText(unsigned v) { return std::to_string(v); }
inline std::string numText(unsigned long v) { return std::to_string(v); }
// numText appended to out without a string of its own, for writers that
// emit millions of numbers.
void appendNumText(std::string& out, float v);
void appendNumText(std::string& out, long long v);

// "0.00": exactly two decimals, padded on the left to width when width > 0.
std::string fmt2(double v, int width = 0);
// "0.###...": at most `places` decimals, trailing zeros (and a bare point) dropped.
std::string fmtDecimals(double v, int places);
// Upper-case hexadecimal, zero padded on the left to width (two's complement
// for negative values).
std::string hexOf(std::int32_t v, int width = 6);

std::string padRight(std::string_view s, int width);
std::string padLeft(std::string_view s, int width);
std::string padIntLeft(long long v, int width);
std::string zeroPadLeft(std::string_view s, int width);

// The whole text (blanks around allowed) as a finite number; nullopt otherwise.
std::optional<double> parseNumber(std::string_view s);
// The whole text as a whole number from lo to hi; nullopt otherwise. The
// range is checked before any conversion, which is undefined beyond int64.
std::optional<std::int64_t> parseWholeNumber(std::string_view s, std::int64_t lo, std::int64_t hi);
// Numeric value of the leading numeric part ("12.5cm" -> 12.5, "x" -> 0).
double leadingNumber(std::string_view s);
// numOrZero: the whole text as a number, else 0. intOrZero: the same rounded
// (halves to even) and clamped to 16 bits.
double numOrZero(std::string_view s);
std::int16_t intOrZero(std::string_view s);
// Round to nearest, halves to even, clamped to the 32-bit range.
std::int32_t roundToInt32(double v);

// Fast field parsers for the readers' hot paths: parse at p (leading blanks
// and tabs skipped), never beyond end; advance p past the number. Return
// false when no finite number starts there.
bool parseFloatAt(const char*& p, const char* end, float& out);
// Whether a value rounds to a finite float. A little above the largest
// float still rounds down to it: "3.4028235e+38", the shortest text of the
// largest float and what the text writers write for it, must read back.
bool roundsToFiniteFloat(double d);
bool parseIntAt(const char*& p, const char* end, long long& out);

// The short decimal forms exporters write ("-12.375", "1.5e-3"), converted
// exactly (Clinger's fast path: at most 19 digits and a power of ten a double
// holds exactly), so the value is the one parseFloatAt gives. No blanks are
// skipped; q receives the position after the number, whatever follows it.
// False when no number starts at p or it needs parseFloatAt. Inline: the
// readers call it once per number of files with millions of them.
inline bool parseFloatFast(const char* p, const char* end, const char*& q, float& out) {
    constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    bool neg = false;
    if (p < end && (*p == '-' || *p == '+')) neg = *p++ == '-';
    // At most 19 digits in all, so m cannot overflow; longer forms go to
    // the general parser.
    std::uint64_t m = 0;
    int exp10 = 0;
    const char* d0 = p;
    for (; p < end && digit(*p); ++p) m = m * 10 + static_cast<unsigned>(*p - '0');
    std::ptrdiff_t digits = p - d0;
    if (p < end && *p == '.') {
        const char* f0 = ++p;
        for (; p < end && digit(*p); ++p) m = m * 10 + static_cast<unsigned>(*p - '0');
        exp10 = -static_cast<int>(p - f0);
        digits += p - f0;
    }
    if (digits == 0 || digits > 19) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* x = p + 1;
        bool eneg = false;
        if (x < end && (*x == '-' || *x == '+')) eneg = *x++ == '-';
        if (x == end || !digit(*x)) return false;
        int v = 0;
        for (; x < end && digit(*x); ++x)
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

void parse4Bytes(std::string_view s, std::uint8_t out[4]);

}  // namespace molv
