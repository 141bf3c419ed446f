#include "formats/xml_tag.h"

#include <algorithm>
#include <cstring>

#include "core/diagnostics.h"
#include "util/assoc_array.h"
#include "util/encoding.h"
#include "util/text.h"

namespace molv {

namespace {

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

const char* find(const char* p, const char* end, std::string_view what) {
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
            const char* e = find(q + 4, end, "-->");
            if (!e) return nullptr;
            q = e + 2;
        } else if (c == '>' && brackets == 0) {
            return q + 1;
        }
    }
    return nullptr;
}

}  // namespace

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
// Tag reader

XmlSource::XmlSource(std::string_view bytes)
    : begin_(bytes.data()), p_(bytes.data()), end_(bytes.data() + bytes.size()) {
    if (hasUtf8Bom(bytes)) p_ += 3;
}

bool XmlSource::readLine(std::string& line) {
    line.clear();
    LineCursor lines(std::string_view(p_, static_cast<std::size_t>(end_ - p_)));
    std::string_view v;
    if (!lines.next(v)) return false;
    for (char c : v)
        if (c != '\r' && c != '\0' && c != 26) line += c;
    p_ += lines.offset(p_);
    if (p_[-1] == '\n') ++line_;
    return true;
}

namespace {

// Steps 3 to 5: name, self-closing mark and attributes of the tag in
// xmlLine. Returns the 1-based position after the delimiter that ended the
// name, and sets delim to it.
std::size_t parseTagHead(const std::string& line, std::string& tagName, std::string& closingTag, AssocArray& attrs,
                         std::string& delim) {
    std::size_t pos = 2;
    nextToken(line, tagName, pos, 0, "<>", &delim);
    if (!tagName.empty() && tagName.back() == '/') closingTag = "/";
    if (tagName.find('"') != std::string::npos) {
        const std::string head = tagName;
        std::size_t p = 1;
        std::string word, d;
        nextToken(head, word, p, 0, " /\t>", &d);
        tagName = word;
        std::string an, av, d2;
        while (p <= head.size()) {
            if (!nextToken(head, an, p, 0, "!q=/>", &d)) break;
            if (d == ">") break;
            if (d != "=") {
                // A name without a value ("/" of a self-closing tag, or a bare word).
                continue;
            }
            if (!nextToken(head, av, p, 0, "!q=/>", &d2)) {
                if (!an.empty()) attrs.add(an, "");
                break;
            }
            if (!an.empty()) attrs.add(an, av);
            if (d2 == ">") break;
        }
    }
    return pos;
}

}  // namespace

bool readXmlTag(Diagnostics& ctx, XmlSource& src, std::string& tagName, std::string& tagText, std::string& closingTag,
                AssocArray& attrs, bool charMode) {
    std::string& xmlLine = ctx.xml.xmlLine;
    xmlLine.clear();
    tagName.clear();
    tagText.clear();
    closingTag.clear();
    attrs.clear();

    if (!charMode) {
        bool inComment = false, inDoctype = false;
        std::string piece;
        while (xmlLine.empty()) {
            if (!src.readLine(piece)) return false;
            ctx.xml.xmlLineNo += 1;
            src.reportedLine_ += 1;
            std::string s = skipLeadingControls(piece);
            if (inDoctype) {
                if (startsWith(s, "]>")) inDoctype = false;
                continue;
            }
            if (startsWithNoCase(s, "<!DOCTYPE ")) {
                if (s.empty() || s.back() != '>') inDoctype = true;
                continue;
            }
            if (startsWith(s, "<!--")) inComment = true;
            if (inComment) {
                if (s.find("-->") != std::string::npos)
                    inComment = false;
                else
                    continue;
            }
            if (s.empty() || s[0] != '<' || startsWith(s, "<?")) continue;
            xmlLine = std::move(s);
        }
        std::string delim;
        std::size_t pos = parseTagHead(xmlLine, tagName, closingTag, attrs, delim);
        if (closingTag != "/") {
            // Text up to the next "<", then the closing tag up to ">".
            if (pos <= xmlLine.size() && delim == ">") {
                std::size_t lt = xmlLine.find('<', pos - 1);
                std::string_view rest(xmlLine);
                std::string_view txt = rest.substr(pos - 1, lt == std::string::npos ? std::string::npos : lt - (pos - 1));
                tagText = trim(txt);
                if (lt != std::string::npos) {
                    std::size_t p2 = lt + 2;
                    std::string d;
                    nextToken(xmlLine, closingTag, p2, 0, ">", &d);
                    pos = p2;
                } else {
                    pos = xmlLine.size() + 1;
                }
            }
            if (!closingTag.empty() && closingTag != "/" + tagName) {
                ctx.lastErrText = "Mismatched tags: " + tagName + " : " + closingTag;
                ctx.msgBox("***** ERROR: " + ctx.lastErrText);
                ctx.logMsg(ctx.lastErrText, 1);
                return false;
            }
        }
        if (pos <= xmlLine.size() && !trimView(std::string_view(xmlLine).substr(pos - 1)).empty()) {
            ctx.lastErrText = "Extra : " + xmlLine;
            ctx.logMsg("***** WARNING: " + ctx.lastErrText, 1);
        }
        return true;
    }

    // Character mode: from the next "<" to the ">" that ends the tag,
    // whatever the line breaks; comments, declarations and processing
    // instructions are passed over.
    const char* end = src.end_;
    const char* p = src.p_;
    const char* lt = nullptr;
    const char* gt = nullptr;
    for (;;) {
        const void* hit = p < end ? std::memchr(p, '<', static_cast<std::size_t>(end - p)) : nullptr;
        if (!hit) {
            src.line_ += countLineFeeds(p, end);
            src.p_ = end;
            return false;
        }
        lt = static_cast<const char*>(hit);
        std::string_view at(lt, static_cast<std::size_t>(end - lt));
        const char* after = nullptr;
        if (startsWith(at, "<!--")) {
            const char* e = find(lt + 4, end, "-->");
            after = e ? e + 3 : end;
        } else if (startsWith(at, "<![CDATA[")) {
            const char* e = find(lt + 9, end, "]]>");
            after = e ? e + 3 : end;
        } else if (startsWith(at, "<!")) {
            const char* e = skipDeclaration(lt, end);
            after = e ? e : end;
        } else if (startsWith(at, "<?")) {
            const char* e = find(lt + 2, end, "?>");
            after = e ? e + 2 : end;
        }
        if (after) {
            src.line_ += countLineFeeds(p, after);
            p = after;
            continue;
        }
        char quote = 0;
        for (const char* q = lt + 1; q < end; ++q) {
            if (quote) {
                if (*q == quote) quote = 0;
            } else if (*q == '"' || *q == '\'') {
                quote = *q;
            } else if (*q == '>') {
                gt = q;
                break;
            }
        }
        break;
    }
    src.line_ += countLineFeeds(p, lt);
    const std::int64_t tagLine = src.line_;
    const char* tagEnd = gt ? gt + 1 : end;
    src.line_ += countLineFeeds(lt, tagEnd);
    p = tagEnd;
    for (const char* q = lt; q < tagEnd; ++q) xmlLine += (*q == '\n' || *q == '\r' || *q == '\t') ? ' ' : *q;
    if (tagLine > src.reportedLine_) {
        ctx.xml.xmlLineNo += static_cast<std::int32_t>(tagLine - src.reportedLine_);
        src.reportedLine_ = tagLine;
    }
    std::string delim;
    parseTagHead(xmlLine, tagName, closingTag, attrs, delim);
    if (closingTag != "/" && !tagName.empty() && tagName[0] != '/' && tagName[0] != '!' && gt) {
        // The element's text, and its closing tag when it follows the text.
        const void* hit = std::memchr(p, '<', static_cast<std::size_t>(end - p));
        const char* nlt = hit ? static_cast<const char*>(hit) : end;
        tagText = trim(std::string_view(p, static_cast<std::size_t>(nlt - p)));
        const char* consumed = nlt;
        if (nlt + 1 < end && nlt[1] == '/') {
            const void* g = std::memchr(nlt, '>', static_cast<std::size_t>(end - nlt));
            const char* cg = g ? static_cast<const char*>(g) : end;
            closingTag = trim(std::string_view(nlt + 1, static_cast<std::size_t>(cg - nlt - 1)));
            consumed = g ? cg + 1 : end;
        }
        if (!tagText.empty()) xmlLine += tagText;
        if (!closingTag.empty()) xmlLine += "<" + closingTag + ">";
        src.line_ += countLineFeeds(p, consumed);
        p = consumed;
        src.p_ = p;
        if (!closingTag.empty() && closingTag != "/" + tagName) {
            ctx.lastErrText = "Mismatched tags: " + tagName + " : " + closingTag;
            ctx.msgBox("***** ERROR: " + ctx.lastErrText);
            ctx.logMsg(ctx.lastErrText, 1);
            return false;
        }
        return true;
    }
    src.p_ = p;
    return true;
}

bool readXmlElement(Diagnostics& ctx, XmlSource& src, std::string& tagName, std::string& path, std::string& tagText,
                    AssocArray& attrs) {
    std::string name, closing;
    if (!readXmlTag(ctx, src, name, tagText, closing, attrs, false)) return false;
    XmlState& x = ctx.xml;
    if (!name.empty() && name.back() == '/') {
        name.pop_back();
        tagName = name;
        return true;
    }
    if (name.empty() || name[0] != '/') {
        tagName = name;
        if (x.xmlPath.empty())
            path += name;
        else
            path = x.xmlPath + "__" + name;
        if (closing.empty()) {
            if (x.xmlDepth >= kXmlMaxDepth) {
                ctx.lastErrText = "tag nesting too deep: more than " + std::to_string(kXmlMaxDepth) +
                                  " open elements at line " + std::to_string(x.xmlLineNo);
                ctx.msgBox(ctx.lastErrText);
                return false;
            }
            x.xmlDepth += 1;
            x.xmlStack[static_cast<std::size_t>(x.xmlDepth)] = name;
            x.xmlPath = path;
        }
        return true;
    }
    // Closing tag.
    if (x.xmlDepth <= 0) {
        ctx.msgBox("tag nesting underflow");
        return false;
    }
    x.xmlStack[static_cast<std::size_t>(x.xmlDepth)].clear();
    x.xmlDepth -= 1;
    std::size_t cut = x.xmlPath.rfind("__");
    if (cut == std::string::npos)
        x.xmlPath.clear();
    else
        x.xmlPath.erase(cut);
    return true;
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
                const char* e = find(p_ + 4, end_, "-->");
                if (!e) return fail(p_, "comment not closed");
                advanceTo(e + 3);
                continue;
            }
            if (left >= 9 && std::memcmp(p_, "<![CDATA[", 9) == 0) {
                const char* e = find(p_ + 9, end_, "]]>");
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
            const char* e = find(p_ + 2, end_, "?>");
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
