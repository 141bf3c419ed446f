#include "util/xml_text.h"

#include <algorithm>
#include <cstring>

#include "util/encoding.h"
#include "util/text.h"

namespace molv {

namespace {

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

const char* findText(const char* p, const char* end, std::string_view what) {
    if (what.empty()) return p;
    while (static_cast<std::size_t>(end - p) >= what.size()) {
        const void* hit = std::memchr(p, what[0], static_cast<std::size_t>(end - p) - what.size() + 1);
        if (!hit) return nullptr;
        const char* q = static_cast<const char*>(hit);
        if (std::memcmp(q, what.data(), what.size()) == 0) return q;
        p = q + 1;
    }
    return nullptr;
}

// Line feeds in [a, b): memchr strides over the long lines of number arrays.
std::int64_t countLineFeeds(const char* a, const char* b) {
    std::int64_t n = 0;
    while (a < b) {
        const void* hit = std::memchr(a, '\n', static_cast<std::size_t>(b - a));
        if (!hit) break;
        ++n;
        a = static_cast<const char*>(hit) + 1;
    }
    return n;
}

// Skips a markup declaration ("<!DOCTYPE ...>" with an optional internal
// subset in brackets) starting at p; returns the position after its ">" or
// nullptr when it never ends.
const char* skipDeclaration(const char* p, const char* end) {
    int brackets = 0;
    char quote = 0;
    for (const char* q = p + 2; q < end; ++q) {
        char c = *q;
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            if (brackets > 0) --brackets;
        } else if (c == '<' && q + 3 < end && q[1] == '!' && q[2] == '-' && q[3] == '-') {
            const char* e = findText(q + 4, end, "-->");
            if (!e) return nullptr;
            q = e + 2;
        } else if (c == '>' && brackets == 0) {
            return q + 1;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Encodings and entities

bool xmlNeedsRecoding(std::string_view b) {
    if (hasUtf8Bom(b)) return true;
    if (b.size() >= 2) {
        unsigned char c0 = static_cast<unsigned char>(b[0]), c1 = static_cast<unsigned char>(b[1]);
        if (utf16Mark(b) != Utf16Mark::None) return true;
        if ((c0 == 0 && c1 != 0) || (c0 != 0 && c1 == 0)) return true;
    }
    return false;
}

bool makeXmlUtf8(std::string& bytes, std::string& err) {
    const std::size_t n = bytes.size();
    auto u = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (hasUtf8Bom(bytes)) {
        bytes.erase(0, 3);
        return true;
    }
    if (n >= 4 && ((u(0) == 0xFF && u(1) == 0xFE && u(2) == 0 && u(3) == 0) ||
                   (u(0) == 0 && u(1) == 0 && u(2) == 0xFE && u(3) == 0xFF))) {
        err = "UTF-32 text is not supported";
        return false;
    }
    bool little;
    std::size_t start = 0;
    const Utf16Mark mark = utf16Mark(bytes);
    if (mark != Utf16Mark::None) {
        little = mark == Utf16Mark::LittleEndian;
        start = 2;
    } else if (n >= 2 && u(0) != 0 && u(1) == 0) {
        little = true;
    } else if (n >= 2 && u(0) == 0 && u(1) != 0) {
        little = false;
    } else {
        return true;  // UTF-8 (or ASCII) already
    }
    if ((n - start) % 2 != 0) {
        err = "UTF-16 text with an odd number of bytes";
        return false;
    }
    std::string out;
    out.reserve((n - start) / 2 + 16);
    std::size_t bad = 0;
    if (!appendUtf16(out, bytes, start, little, LoneSurrogate::Fail, &bad)) {
        err = "broken UTF-16 text (unpaired surrogate at byte " + std::to_string(bad) + ")";
        return false;
    }
    bytes.swap(out);
    return true;
}

void appendXmlDecoded(std::string& out, std::string_view t) {
    std::size_t i = 0;
    while (i < t.size()) {
        std::size_t amp = t.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(t.substr(i));
            return;
        }
        out.append(t.substr(i, amp - i));
        std::size_t semi = t.find(';', amp + 1);
        if (semi == std::string_view::npos || semi - amp > 12) {
            out += '&';
            i = amp + 1;
            continue;
        }
        std::string_view ent = t.substr(amp + 1, semi - amp - 1);
        bool done = true;
        if (ent == "amp")
            out += '&';
        else if (ent == "lt")
            out += '<';
        else if (ent == "gt")
            out += '>';
        else if (ent == "quot")
            out += '"';
        else if (ent == "apos")
            out += '\'';
        else if (ent.size() >= 2 && ent[0] == '#') {
            bool hex = ent[1] == 'x' || ent[1] == 'X';
            std::string_view digits = ent.substr(hex ? 2 : 1);
            std::uint32_t cp = 0;
            bool ok = !digits.empty();
            for (char c : digits) {
                int d;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                else {
                    ok = false;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
                if (cp > 0x10FFFF) {
                    ok = false;
                    break;
                }
            }
            if (ok && cp != 0 && !(cp >= 0xD800 && cp <= 0xDFFF))
                appendUtf8(out, cp);
            else
                done = false;
        } else {
            done = false;
        }
        if (done) {
            i = semi + 1;
        } else {
            out += '&';
            i = amp + 1;
        }
    }
}

// ---------------------------------------------------------------------------
// Forward scanner

XmlCursor::XmlCursor(std::string_view bytes)
    : begin_(bytes.data()), p_(bytes.data()), end_(bytes.data() + bytes.size()), itemStart_(bytes.data()) {
    if (hasUtf8Bom(bytes)) p_ += 3;
}

void XmlCursor::advanceTo(const char* q) {
    line_ += static_cast<std::int32_t>(countLineFeeds(p_, q));
    p_ = q;
}

XmlCursor::Event XmlCursor::fail(const char* at, std::string message) {
    itemStart_ = at;
    itemLine_ = line_;
    failed_ = true;
    error_ = std::move(message);
    return Error;
}

XmlCursor::Event XmlCursor::next() {
    if (failed_) return Error;
    for (;;) {
        if (p_ >= end_) {
            itemStart_ = end_;
            itemLine_ = line_;
            return End;
        }
        itemStart_ = p_;
        itemLine_ = line_;
        if (*p_ != '<') {
            const void* hit = std::memchr(p_, '<', static_cast<std::size_t>(end_ - p_));
            const char* q = hit ? static_cast<const char*>(hit) : end_;
            text_ = std::string_view(p_, static_cast<std::size_t>(q - p_));
            cdata_ = false;
            advanceTo(q);
            return Text;
        }
        const std::size_t left = static_cast<std::size_t>(end_ - p_);
        if (left >= 2 && p_[1] == '!') {
            if (left >= 4 && p_[2] == '-' && p_[3] == '-') {
                const char* e = findText(p_ + 4, end_, "-->");
                if (!e) return fail(p_, "comment not closed");
                advanceTo(e + 3);
                continue;
            }
            if (left >= 9 && std::memcmp(p_, "<![CDATA[", 9) == 0) {
                const char* e = findText(p_ + 9, end_, "]]>");
                if (!e) return fail(p_, "CDATA section not closed");
                text_ = std::string_view(p_ + 9, static_cast<std::size_t>(e - p_ - 9));
                cdata_ = true;
                advanceTo(e + 3);
                return Text;
            }
            const char* e = skipDeclaration(p_, end_);
            if (!e) return fail(p_, "declaration not closed");
            advanceTo(e);
            continue;
        }
        if (left >= 2 && p_[1] == '?') {
            const char* e = findText(p_ + 2, end_, "?>");
            if (!e) return fail(p_, "processing instruction not closed");
            advanceTo(e + 2);
            continue;
        }
        const bool closing = left >= 2 && p_[1] == '/';
        const char* n0 = p_ + (closing ? 2 : 1);
        const char* n1 = n0;
        while (n1 < end_ && !isSpace(*n1) && *n1 != '>' && *n1 != '/' && *n1 != '<') ++n1;
        if (n1 == n0) return fail(p_, "a tag without a name");
        name_ = std::string_view(n0, static_cast<std::size_t>(n1 - n0));
        char quote = 0;
        const char* q = n1;
        for (; q < end_; ++q) {
            char c = *q;
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            } else if (c == '<') {
                return fail(p_, "tag <" + std::string(name_) + "> not closed with \">\"");
            }
        }
        if (q >= end_) return fail(p_, "tag <" + std::string(closing ? "/" : "") + std::string(name_) + "> not closed");
        const char* a0 = n1;
        const char* a1 = q;
        selfClosing_ = false;
        if (!closing && a1 > a0 && a1[-1] == '/') {
            selfClosing_ = true;
            --a1;
        }
        attrs_ = std::string_view(a0, static_cast<std::size_t>(a1 - a0));
        advanceTo(q + 1);
        return closing ? EndTag : StartTag;
    }
}

std::string XmlCursor::lineText(std::size_t maxLen) const {
    const char* at = itemStart_ ? itemStart_ : p_;
    const char* s = at;
    // Back to the start of the line, but not further than maxLen.
    while (s > begin_ && s[-1] != '\n' && static_cast<std::size_t>(at - s) < maxLen) --s;
    while (s < at && static_cast<unsigned char>(*s) <= 32) ++s;
    std::string out;
    for (const char* q = s; q < end_ && *q != '\n' && out.size() < maxLen; ++q)
        if (*q != '\r') out += (*q == '\t') ? ' ' : *q;
    return out;
}

bool nextXmlAttr(std::string_view raw, std::size_t& pos, std::string_view& name, std::string_view& value) {
    std::size_t i = pos;
    const std::size_t n = raw.size();
    while (i < n && isSpace(raw[i])) ++i;
    if (i >= n) {
        pos = n;
        return false;
    }
    std::size_t n0 = i;
    while (i < n && !isSpace(raw[i]) && raw[i] != '=') ++i;
    name = raw.substr(n0, i - n0);
    while (i < n && isSpace(raw[i])) ++i;
    if (i >= n || raw[i] != '=') {
        pos = n;
        return false;
    }
    ++i;
    while (i < n && isSpace(raw[i])) ++i;
    if (i >= n || (raw[i] != '"' && raw[i] != '\'')) {
        pos = n;
        return false;
    }
    char quote = raw[i++];
    std::size_t v0 = i;
    while (i < n && raw[i] != quote) ++i;
    if (i >= n) {
        pos = n;
        return false;
    }
    value = raw.substr(v0, i - v0);
    pos = i + 1;
    return true;
}

bool xmlAttr(std::string_view raw, std::string_view name, std::string& value) {
    std::size_t pos = 0;
    std::string_view n, v;
    while (nextXmlAttr(raw, pos, n, v)) {
        if (equalsNoCase(n, name)) {
            value.clear();
            appendXmlDecoded(value, v);
            return true;
        }
    }
    return false;
}

}  // namespace molv
