#include "cal3d/xml_tag.h"

#include <algorithm>
#include <cstring>

#include "core/diagnostics.h"
#include "util/assoc_array.h"
#include "util/encoding.h"
#include "util/text.h"

namespace molv {

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
    std::string& xmlLine = src.where_.text;
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
            src.where_.no += 1;
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
                src.error_ = "Mismatched tags: " + tagName + " : " + closingTag;
                ctx.msgBox("***** ERROR: " + src.error_);
                ctx.logMsg(src.error_, 1);
                return false;
            }
        }
        if (pos <= xmlLine.size() && !trimView(std::string_view(xmlLine).substr(pos - 1)).empty()) {
            ctx.logMsg("***** WARNING: Extra : " + xmlLine, 1);
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
            const char* e = findText(lt + 4, end, "-->");
            after = e ? e + 3 : end;
        } else if (startsWith(at, "<![CDATA[")) {
            const char* e = findText(lt + 9, end, "]]>");
            after = e ? e + 3 : end;
        } else if (startsWith(at, "<!")) {
            const char* e = skipDeclaration(lt, end);
            after = e ? e : end;
        } else if (startsWith(at, "<?")) {
            const char* e = findText(lt + 2, end, "?>");
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
        src.where_.no += static_cast<std::int32_t>(tagLine - src.reportedLine_);
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
            src.error_ = "Mismatched tags: " + tagName + " : " + closingTag;
            ctx.msgBox("***** ERROR: " + src.error_);
            ctx.logMsg(src.error_, 1);
            return false;
        }
        return true;
    }
    src.p_ = p;
    return true;
}

}  // namespace molv
