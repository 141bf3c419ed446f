#include "util/numfmt.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace molv {

std::string numText(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string numText(float v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

void appendNumText(std::string& out, float v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendNumText(std::string& out, long long v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

std::string fmt2(double v, int width) {
    char buf[400];  // room for the largest double in fixed notation
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    std::string s = r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.00");
    if (s == "-0.00") s = "0.00";
    return width > 0 ? padLeft(s, width) : s;
}

std::string fmtDecimals(double v, int places) {
    if (places < 0) places = 0;
    if (places > 30) places = 30;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, places);
    if (r.ec != std::errc()) return numText(v);
    std::string s(buf, r.ptr);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

std::string hexOf(std::int32_t v, int width) {
    static const char* digits = "0123456789ABCDEF";
    std::uint32_t u = static_cast<std::uint32_t>(v);
    std::string s;
    do {
        s.insert(s.begin(), digits[u & 15]);
        u >>= 4;
    } while (u);
    return zeroPadLeft(s, width);
}

std::string padRight(std::string_view s, int width) {
    std::string r(s);
    if (static_cast<int>(r.size()) < width) r.append(static_cast<std::size_t>(width) - r.size(), ' ');
    return r;
}

std::string padLeft(std::string_view s, int width) {
    std::string r;
    if (static_cast<int>(s.size()) < width) r.assign(static_cast<std::size_t>(width) - s.size(), ' ');
    r.append(s);
    return r;
}

std::string padIntLeft(long long v, int width) { return padLeft(std::to_string(v), width); }

std::string zeroPadLeft(std::string_view s, int width) {
    std::string r;
    if (static_cast<int>(s.size()) < width) r.assign(static_cast<std::size_t>(width) - s.size(), '0');
    r.append(s);
    return r;
}

namespace {
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Parses a decimal number at [p,end): optional sign, digits, optional
// fraction and exponent. Hex, nan and inf are not numbers here.
bool parseDoubleAt(const char*& p, const char* end, double& out) {
    const char* q = p;
    while (q < end && (*q == ' ' || *q == '\t')) ++q;
    const char* start = q;
    bool plus = false;
    if (q < end && *q == '+') ++q, ++start, plus = true;  // from_chars rejects a leading '+'
    const char* s = q;
    if (!plus && s < end && *s == '-') ++s;
    bool digits = false;
    while (s < end && *s >= '0' && *s <= '9') ++s, digits = true;
    if (s < end && *s == '.') {
        ++s;
        while (s < end && *s >= '0' && *s <= '9') ++s, digits = true;
    }
    if (!digits) return false;
    if (s < end && (*s == 'e' || *s == 'E')) {
        const char* e = s + 1;
        if (e < end && (*e == '+' || *e == '-')) ++e;
        if (e < end && *e >= '0' && *e <= '9') {
            while (e < end && *e >= '0' && *e <= '9') ++e;
            s = e;
        }
    }
    double v = 0;
    auto r = std::from_chars(q, s, v, std::chars_format::general);
    if (r.ec != std::errc() || !std::isfinite(v)) return false;
    (void)start;
    out = v;
    p = r.ptr;
    return true;
}
}  // namespace

bool roundsToFiniteFloat(double d) {
    // The largest float plus half its last step: from there on, a value rounds to infinity.
    constexpr double kLimit = 0x1.ffffffp+127;
    return std::fabs(d) < kLimit;
}

bool parseFloatAt(const char*& p, const char* end, float& out) {
    double d;
    const char* q = p;
    if (!parseDoubleAt(q, end, d)) return false;
    if (!roundsToFiniteFloat(d)) return false;
    out = static_cast<float>(d);
    p = q;
    return true;
}

bool parseIntAt(const char*& p, const char* end, long long& out) {
    const char* q = p;
    while (q < end && (*q == ' ' || *q == '\t')) ++q;
    if (q < end && *q == '+') {
        ++q;
        if (q < end && *q == '-') return false;  // "+-5" is no number
    }
    long long v = 0;
    auto r = std::from_chars(q, end, v, 10);
    if (r.ec != std::errc()) return false;
    out = v;
    p = r.ptr;
    return true;
}

std::optional<double> parseNumber(std::string_view s) {
    const char* p = s.data();
    const char* end = p + s.size();
    double v;
    if (!parseDoubleAt(p, end, v)) return std::nullopt;
    while (p < end && isBlank(*p)) ++p;
    if (p != end) return std::nullopt;
    return v;
}

std::optional<std::int64_t> parseWholeNumber(std::string_view s, std::int64_t lo, std::int64_t hi) {
    const std::optional<double> d = parseNumber(s);
    // -2^63 <= d < 2^63: the doubles that convert to int64 at all.
    if (!d || !(*d >= -9223372036854775808.0 && *d < 9223372036854775808.0)) return std::nullopt;
    const auto v = static_cast<std::int64_t>(*d);
    if (static_cast<double>(v) != *d || v < lo || v > hi) return std::nullopt;
    return v;
}

double leadingNumber(std::string_view s) {
    const char* p = s.data();
    double v = 0;
    if (!parseDoubleAt(p, p + s.size(), v)) return 0;
    return v;
}

double numOrZero(std::string_view s) { return parseNumber(s).value_or(0.0); }

std::int32_t roundToInt32(double v) {
    if (!std::isfinite(v)) return 0;
    double r = std::nearbyint(v);  // default rounding mode: halves to even
    if (r >= 2147483647.0) return 2147483647;
    if (r <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(r);
}

std::int16_t intOrZero(std::string_view s) {
    std::int32_t v = roundToInt32(numOrZero(s));
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    return static_cast<std::int16_t>(v);
}

namespace {
// The n-th (0-based) blank-separated field of s.
std::string_view fieldN(std::string_view s, int n) {
    std::size_t i = 0;
    for (int k = 0;; ++k) {
        std::size_t j = s.find(' ', i);
        if (k == n) return s.substr(i, j == std::string_view::npos ? std::string_view::npos : j - i);
        if (j == std::string_view::npos) return {};
        i = j + 1;
    }
}
}  // namespace

void parse4Bytes(std::string_view s, std::uint8_t out[4]) {
    for (int i = 0; i < 4; ++i) {
        std::int32_t v = roundToInt32(numOrZero(fieldN(s, i)));
        out[i] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

}  // namespace molv
