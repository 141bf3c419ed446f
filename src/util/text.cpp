#include "util/text.h"

#include <cstring>

#include "util/fileio.h"

namespace molv {

namespace {

inline bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

struct TokenOptions {
    bool keepQuotes = false;    // "!q"
    bool dropQuotes = false;    // "!rq"
    bool keepSeparators = false;  // "!k"
    std::string quotes;
    std::string_view seps;
};

// Strips the option codes `allowed` names from the front of arg. Unknown
// codes end the option list; the remainder is the separator set.
TokenOptions parseOptions(std::string_view arg, std::string_view allowed, std::string_view defaultQuotes) {
    TokenOptions o;
    o.quotes.assign(defaultQuotes);
    auto allows = [&](char c) { return allowed.find(c) != std::string_view::npos; };
    while (arg.size() >= 2 && arg[0] == '!') {
        char c = arg[1];
        if (c == 'r' && arg.size() >= 3 && arg[2] == 'q' && allows('r')) {
            o.dropQuotes = true;
            arg.remove_prefix(3);
            continue;
        }
        if (!allows(c)) break;
        switch (c) {
            case ' ': break;
            case 'q': o.keepQuotes = true; break;
            case 'k': o.keepSeparators = true; break;
            default:
                if (o.quotes.find(c) == std::string::npos) o.quotes.push_back(c);
                break;
        }
        arg.remove_prefix(2);
    }
    o.seps = arg;
    return o;
}

inline bool isIn(std::string_view set, char c) {
    return !set.empty() && std::memchr(set.data(), c, set.size()) != nullptr;
}

}  // namespace

std::vector<std::string> splitTokens(std::string_view text, std::string_view separators, bool keepSeparators) {
    TokenOptions o = parseOptions(separators, " qrk'`^!", "\"");
    if (keepSeparators) o.keepSeparators = true;
    std::vector<std::string> tokens(1);
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (true) {
        while (i < n && isBlankOrTab(text[i])) ++i;
        if (i >= n) break;
        tokens.emplace_back();
        bool inQuote = false;
        bool quoteTest = true;  // false for the character right after a dropped quote
        while (i < n) {
            const char c = text[i];
            if (quoteTest && isIn(o.quotes, c)) {
                if (o.dropQuotes) {
                    ++i;
                    break;
                }
                inQuote = !inQuote;
                ++i;
                if (o.keepQuotes) {
                    tokens.back().push_back(c);
                } else {
                    quoteTest = false;
                }
                continue;
            }
            quoteTest = true;
            if (!inQuote && isIn(o.seps, c)) {
                ++i;
                if (o.keepSeparators && c != ' ') {
                    if (tokens.back().empty())
                        tokens.back().push_back(c);
                    else
                        tokens.emplace_back(1, c);
                }
                break;
            }
            tokens.back().push_back(c);
            ++i;
        }
    }
    return tokens;
}

std::vector<std::string> splitCommandLine(std::string_view text, std::string_view separators) {
    return splitTokens(text, separators.empty() ? std::string_view(" ") : separators, false);
}

bool nextToken(std::string_view text, std::string& token, std::size_t& pos, std::size_t endPos,
               std::string_view delimiters, std::string* lastDelim) {
    TokenOptions o = parseOptions(delimiters, "q^!", "\"`");
    if (pos == 0) pos = 1;
    if (endPos == 0 || endPos > text.size()) endPos = text.size();
    if (pos > endPos) return false;
    std::size_t i = pos - 1;  // 0-based cursor
    const std::size_t end = endPos;  // exclusive, 0-based
    while (i < end && isBlankOrTab(text[i])) ++i;
    std::string_view delims = o.seps;
    if (o.keepQuotes && i < end && text[i] == '"') {
        ++i;
        delims = "\"";
    }
    std::size_t j = i;
    while (j < end && !isIn(delims, text[j])) ++j;
    std::string_view tok = text.substr(i, j - i);
    if (lastDelim) {
        if (j < end)
            lastDelim->assign(1, text[j]);
        else
            lastDelim->clear();
    }
    pos = (j < end ? j + 1 : end) + 1;
    tok = trimView(tok, " \t");
    if (!tok.empty() && isIn(o.quotes, tok.front())) tok.remove_prefix(1);
    if (!tok.empty() && isIn(o.quotes, tok.back())) tok.remove_suffix(1);
    token.assign(trimView(tok, " \t"));
    return true;
}

std::size_t findField(std::string_view text, std::string& field, int fieldNo, std::string_view delims) {
    TokenOptions o = parseOptions(delims, "^!", "\"`");
    field.clear();
    const std::size_t n = text.size();
    std::size_t start = 0;  // 0-based
    if (fieldNo == -1) {
        std::size_t k = n;
        while (k > 0 && !isIn(o.seps, text[k - 1])) --k;
        start = k;
    } else if (fieldNo < -1) {
        return 0;
    } else if (fieldNo > 1) {
        int seen = 0;
        std::size_t k = 0;
        for (; k < n && seen < fieldNo - 1; ++k)
            if (isIn(o.seps, text[k])) ++seen;
        if (seen < fieldNo - 1) return 0;
        start = k;
    }
    std::size_t e = start;
    while (e < n && !isIn(o.seps, text[e])) ++e;
    std::string_view f = trimView(text.substr(start, e - start), " \t");
    if (!f.empty() && isIn(o.quotes, f.front())) {
        f.remove_prefix(1);
        // An unclosed quote keeps its last character.
        if (!f.empty() && isIn(o.quotes, f.back())) f.remove_suffix(1);
        f = trimView(f, " \t");
    }
    field.assign(f);
    return start + 1;
}

std::string getField(std::string_view text, int fieldNo, std::string_view delims) {
    std::string f;
    findField(text, f, fieldNo, delims);
    return f;
}

std::string xmlEscape(std::string_view text) {
    auto entity = [](char c) -> const char* {
        switch (c) {
            case '"': return "&quot;";
            case '\'': return "&#039;";
            case '&': return "&amp;";
            case '>': return "&gt;";
            case '<': return "&lt;";
            default: return nullptr;
        }
    };
    std::string out;
    out.reserve(text.size());
    bool prevEscaped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (const char* e = entity(c)) {
            out += e;
            prevEscaped = true;
            continue;
        }
        if (c == ' ' && (prevEscaped || (i + 1 < text.size() && entity(text[i + 1])))) {
            out += "&nbsp;";
        } else {
            out.push_back(c);
        }
        prevEscaped = false;
    }
    return out;
}

std::string skipLeadingControls(std::string_view text) {
    if (text.empty()) return {};
    std::size_t i = 0;
    while (i + 1 < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
    return std::string(text.substr(i));
}

std::string cleanFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '"' || c == '\'') continue;
        const bool control = static_cast<unsigned char>(c) < ' ' || c == '\x7f';
        out.push_back((c == ' ' || c == '&' || c == ',' || control) ? '_' : c);
    }
    return out;
}

std::string oneLine(std::string_view text, char with) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7f') c = with;
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (upperAscii(text[i]) != upperAscii(prefix[i])) return false;
    return true;
}

std::string toUpperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = upperAscii(c);
    return r;
}

std::string toLowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = lowerAscii(c);
    return r;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::string_view trimView(std::string_view s, std::string_view blanks) {
    const std::size_t b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos) return s.substr(s.size());
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

bool writeHexBytes(const std::string& path, std::string_view hexText, std::string* errOut) {
    std::string bytes;
    bytes.reserve(hexText.size() / 3 + 1);
    std::size_t i = 0;
    const std::size_t n = hexText.size();
    while (i < n) {
        while (i < n && isBlankOrTab(hexText[i])) ++i;
        if (i >= n) break;
        std::size_t j = i;
        while (j < n && !isBlankOrTab(hexText[j])) ++j;
        std::string_view word = hexText.substr(i, j - i);
        i = j;
        unsigned v = 0;
        bool ok = !word.empty() && word.size() <= 2;
        for (char c : word) {
            int d = (c >= '0' && c <= '9') ? c - '0'
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                              : -1;
            if (d < 0) ok = false;
            v = v * 16 + static_cast<unsigned>(d < 0 ? 0 : d);
        }
        if (!ok) {
            v = 0;
            if (errOut && errOut->empty()) *errOut = "not a hexadecimal byte: " + std::string(word) + " in " + path;
        }
        bytes.push_back(static_cast<char>(v & 0xFF));
    }
    std::string err;
    if (!writeFileAtomic(path, bytes, err)) {
        if (errOut) *errOut = path + ": " + err;
        return false;
    }
    return true;
}

// ---- LineCursor ----

bool LineCursor::next(std::string_view& line) {
    if (p_ >= end_) return false;
    const char* s = p_;
    const char* nl = static_cast<const char*>(std::memchr(s, eol_, static_cast<std::size_t>(end_ - s)));
    const char* e = nl ? nl : end_;
    p_ = nl ? nl + 1 : end_;
    if (e > s && e[-1] == '\r') --e;
    line = std::string_view(s, static_cast<std::size_t>(e - s));
    ++lineNo_;
    return true;
}

// ---- TextReader ----

std::int64_t TextReader::lineNo() const {
    if (p_ == begin_) return 0;
    return lineFeeds_ + (p_[-1] == '\n' ? 0 : 1);
}

namespace {
// Appends [s, s+n) to out without CR, NUL and character 26.
void appendKept(std::string& out, const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const char c = s[i];
        if (c != '\r' && c != '\0' && c != 26) out.push_back(c);
    }
}
}  // namespace

TextReader::TextReader(std::string_view bytes)
    : p_(bytes.data()), begin_(bytes.data()), end_(bytes.data() + bytes.size()) {
    nextCr_ = find('\r');
    nextNul_ = find('\0');
    nextSub_ = find(26);
}

const char* TextReader::find(char c) const {
    const void* r = p_ < end_ ? std::memchr(p_, c, static_cast<std::size_t>(end_ - p_)) : nullptr;
    return r ? static_cast<const char*>(r) : end_;
}

// The piece [p_, p_+n) as kept: a view of the bytes themselves when nothing
// is dropped (the usual case, a CR before the line feed aside), else a copy
// in scratch_. The positions of the next CR, NUL and 26 are found lazily,
// each byte of the input searched once per kind, so clean lines cost no scan
// of their own.
std::string_view TextReader::kept(std::size_t n) {
    if (nextCr_ < p_) nextCr_ = find('\r');
    if (nextNul_ < p_) nextNul_ = find('\0');
    if (nextSub_ < p_) nextSub_ = find(26);
    if (n > 0 && p_[n - 1] == '\r') --n;
    const char* e = p_ + n;
    if (nextCr_ >= e && nextNul_ >= e && nextSub_ >= e) return std::string_view(p_, n);
    scratch_.clear();
    appendKept(scratch_, p_, n);
    return scratch_;
}

bool TextReader::readLineView(std::string_view& line, std::size_t max) {
    if (p_ >= end_) {
        line = {};
        return false;
    }
    const std::size_t avail = static_cast<std::size_t>(end_ - p_);
    const std::size_t span = (max > 0 && max < avail) ? max : avail;
    const char* nl = static_cast<const char*>(std::memchr(p_, '\n', span));
    const std::size_t n = nl ? static_cast<std::size_t>(nl - p_) : span;
    line = kept(n);
    if (nl) {
        p_ = nl + 1;
        ++lineFeeds_;
    } else {
        p_ += n;
    }
    return true;
}

bool TextReader::readLineText(std::string& line, std::size_t max) {
    std::string_view v;
    if (!readLineView(v, max)) {
        line.clear();
        return false;
    }
    line.assign(v.data(), v.size());
    return true;
}

char TextReader::readUntil(std::string& out, std::string_view stops, std::size_t max) {
    out.clear();
    if (p_ >= end_) return '\0';
    std::size_t avail = static_cast<std::size_t>(end_ - p_);
    const char* lim = p_ + ((max > 0 && max < avail) ? max : avail);
    const char* q = p_;
    // The scan stops at a line feed too. Short stop sets (the usual ">")
    // compare directly; longer ones use a table.
    if (stops.size() == 1) {
        const char a = stops[0];
        while (q < lim && *q != a && *q != '\n') ++q;
    } else if (stops.size() == 2) {
        const char a = stops[0], b = stops[1];
        while (q < lim && *q != a && *q != b && *q != '\n') ++q;
    } else {
        bool table[256] = {};
        for (char c : stops) table[static_cast<unsigned char>(c)] = true;
        table[static_cast<unsigned char>('\n')] = true;
        while (q < lim && !table[static_cast<unsigned char>(*q)]) ++q;
    }
    std::string_view piece = kept(static_cast<std::size_t>(q - p_));
    out.assign(piece.data(), piece.size());
    if (q < lim) {
        char c = *q;
        p_ = q + 1;
        if (c == '\n') ++lineFeeds_;
        // A stop set that holds CR, NUL or 26 reports them as met.
        return c;
    }
    p_ = q;
    return '\0';
}

int readTextLines(const std::string& path, std::vector<std::string>& lines, int maxLines, bool fromZero,
                  bool skipEmpty, std::string* errOut) {
    lines.clear();
    if (!fromZero) lines.emplace_back();
    std::string bytes, err;
    if (!readWholeFile(path, bytes, err)) {
        if (errOut) *errOut = path + ": " + err;
        return 0;
    }
    TextReader rd(bytes);
    std::string line;
    int stored = 0;
    while ((maxLines <= 0 || stored < maxLines) && rd.readLineBin(line)) {
        std::string_view t = trimView(line);
        if (skipEmpty && t.empty()) continue;
        lines.emplace_back(t);
        ++stored;
    }
    return stored;
}

}  // namespace molv
