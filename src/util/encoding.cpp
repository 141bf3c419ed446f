#include "util/encoding.h"

namespace molv {

namespace {
inline unsigned byteAt(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }
}  // namespace

bool hasUtf8Bom(std::string_view s) {
    return s.size() >= 3 && byteAt(s, 0) == 0xEF && byteAt(s, 1) == 0xBB && byteAt(s, 2) == 0xBF;
}

std::string_view stripUtf8Bom(std::string_view s) {
    if (hasUtf8Bom(s)) s.remove_prefix(3);
    return s;
}

Utf16Mark utf16Mark(std::string_view s) {
    if (s.size() < 2) return Utf16Mark::None;
    if (byteAt(s, 0) == 0xFF && byteAt(s, 1) == 0xFE) return Utf16Mark::LittleEndian;
    if (byteAt(s, 0) == 0xFE && byteAt(s, 1) == 0xFF) return Utf16Mark::BigEndian;
    return Utf16Mark::None;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool appendUtf16(std::string& out, std::string_view bytes, std::size_t start, bool little, LoneSurrogate lone,
                 std::size_t* badAt) {
    const std::size_t n = bytes.size();
    auto unit = [&](std::size_t i) -> std::uint32_t {
        return little ? (byteAt(bytes, i) | byteAt(bytes, i + 1) << 8) : (byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
    };
    out.reserve(out.size() + (n > start ? (n - start) / 2 : 0));
    for (std::size_t i = start; i + 1 < n; i += 2) {
        const std::uint32_t w = unit(i);
        if (w < 0xD800 || w > 0xDFFF) {
            appendUtf8(out, w);
            continue;
        }
        if (w <= 0xDBFF && i + 3 < n) {
            const std::uint32_t w2 = unit(i + 2);
            if (w2 >= 0xDC00 && w2 <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((w - 0xD800) << 10) + (w2 - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (lone == LoneSurrogate::Fail) {
            if (badAt) *badAt = i;
            return false;
        }
        out += '?';
    }
    return true;
}

std::string utf16ToUtf8(std::string_view s) {
    const Utf16Mark m = utf16Mark(s);
    if (m == Utf16Mark::None) return std::string(s);
    std::string out;
    appendUtf16(out, s, 2, m == Utf16Mark::LittleEndian);
    return out;
}

namespace {

// Bytes of the well-formed UTF-8 sequence at s[i], or 0 (no overlong forms,
// no surrogates, nothing above U+10FFFF).
std::size_t utf8SequenceAt(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    const unsigned c = b(i);
    if (c < 0x80) return 1;
    const auto cont = [&](std::size_t k) { return (b(k) & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return b(i + 1) >= lo && b(i + 1) <= hi && cont(i + 2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return b(i + 1) >= lo && b(i + 1) <= hi && cont(i + 2) && cont(i + 3) ? 4 : 0;
    }
    return 0;
}

}  // namespace

bool latin1Repaired(std::string_view s, std::string& out) {
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t n = utf8SequenceAt(s, i);
        if (n == 0) break;
        i += n;
    }
    if (i == s.size()) return false;
    std::string r(s.substr(0, i));
    r.reserve(s.size() + 16);
    while (i < s.size()) {
        const std::size_t n = utf8SequenceAt(s, i);
        if (n == 0) {
            appendUtf8(r, static_cast<unsigned char>(s[i]));
            ++i;
        } else {
            r.append(s.substr(i, n));
            i += n;
        }
    }
    out = std::move(r);
    return true;
}

}  // namespace molv
