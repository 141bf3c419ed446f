// Conversions of numbers, paths and text, one case a line in the files of
// tests/data/util/: "function | argument | ... | expected". Fields are
// trimmed unless quoted ("  x "); \xHH writes any byte. The expected text
// is the rest of the line, so it may hold '|'. Lists show as [a][b].
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "util/encoding.h"
#include "util/image.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/xml_text.h"

namespace molv {
namespace {

using Args = std::vector<std::string>;

std::string field(std::string_view f) {
    f = trimView(f, " \t");
    if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f.substr(i, 2) == "\\x" && i + 3 < f.size() && std::isxdigit(static_cast<unsigned char>(f[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(f[i + 3]))) {
            out += static_cast<char>(std::stoi(std::string(f.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += f[i];
        }
    }
    return out;
}

// Numbers in the case files are read locale-free, whatever the test runs under.
template <class T>
T num(const std::string& s) {
    T v{};
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

std::string list(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& s : items) out += "[" + s + "]";
    return out;
}

// A '^' ends the view early: what lies beyond it in the buffer must not count.
struct View {
    std::string buf;
    std::size_t len;
    explicit View(std::string s) : buf(std::move(s)), len(std::min(buf.find('^'), buf.size())) {
        if (len < buf.size()) buf.erase(len, 1);
    }
    std::string_view view() const { return std::string_view(buf).substr(0, len); }
};

// A cursor parser's value (or "fail") and how far it moved.
template <class T, class F>
std::string atCursor(const std::string& s, F parse) {
    const View v(s);
    const char* p = v.buf.data();
    T out{};
    const bool ok = parse(p, v.buf.data() + v.len, out);
    return (ok ? "" : "fail ") + numText(out) + " @" + std::to_string(p - v.buf.data());
}

std::string fastFloat(const std::string& s) {
    const char* end = s.data() + s.size();
    const char* q = nullptr;
    float fast = 42;
    if (!parseFloatFast(s.data(), end, q, fast)) return fast == 42 ? "declines" : "declines but wrote";
    const char* p = s.data();
    float general = 0;
    // The readers take either path depending on the form: both must agree to the bit.
    if (!parseFloatAt(p, q, general) || p != q || std::memcmp(&fast, &general, sizeof fast) != 0)
        return "differs from " + numText(general);
    return numText(fast) + (q == end ? "" : " then " + std::string(q, end));
}

std::string lines(const std::string& bytes) {
    TextReader r(bytes);
    std::vector<std::string> out;
    std::string line;
    while (r.readLineText(line)) out.push_back(line);
    return list(out);
}

std::string tokenWalk(const std::string& text, const std::string& seps) {
    std::size_t pos = 1;
    std::string tok, delim, out;
    while (nextToken(text, tok, pos, 0, seps, &delim)) out += "[" + tok + "]" + delim;
    return out + (pos == text.size() + 1 ? "." : " stopped at " + std::to_string(pos));
}

// Each piece up to a stop, the stop met (or "end") and the line it is on.
std::string pieces(const std::string& text, const std::string& stops, const std::string& max) {
    TextReader r(text);
    std::string piece, out;
    for (int n = 0; n < 50; ++n) {
        const char c = r.readUntil(piece, stops, num<std::size_t>(max));
        out += "[" + piece + "]" + (c == '\0' ? "end" : c == '\n' ? "LF" : std::string(1, c));
        out += std::to_string(r.lineNo());
        if (c == '\0' && piece.empty()) break;
    }
    return out + " @" + std::to_string(r.offset());
}

std::string latin1(const std::string& s) {
    std::string out = "untouched";
    const bool repaired = latin1Repaired(s, out);
    return repaired ? out : out == "untouched" ? "well-formed" : "well-formed but wrote";
}

std::string utf16Failing(const std::string& s, bool little) {
    std::string out;
    std::size_t bad = 0;
    return appendUtf16(out, s, 0, little, LoneSurrogate::Fail, &bad) ? "converted" : "fails at " + std::to_string(bad);
}

std::string recoded(std::string s) {
    std::string err;
    const bool needed = xmlNeedsRecoding(s);
    if (!makeXmlUtf8(s, err)) return "refused: " + err;
    return std::string(needed ? "recoded" : "kept") + (xmlNeedsRecoding(s) ? " (still not UTF-8) " : " ") + s;
}

// The forward scanner's events; after an error it only ever gives that error again.
std::string xmlEvents(const std::string& doc) {
    XmlCursor c(doc);
    std::string out;
    for (XmlCursor::Event e = c.next(); e != XmlCursor::End; e = c.next()) {
        const std::string at = "@" + std::to_string(c.line());
        if (e == XmlCursor::Error)
            return out + "ERROR " + c.error() + at + (c.next() == XmlCursor::Error ? "" : " and went on");
        if (e != XmlCursor::Text)
            out += (e == XmlCursor::EndTag ? "</" : "<") + std::string(c.name()) + (c.selfClosing() ? "/" : "") + at +
                   " ";
        else if (c.isCData() || c.text().find_first_not_of(" \t\r\n") != std::string_view::npos)
            out += "'" + std::string(c.text()) + "' ";
    }
    return out + "end";
}

// Pictures a texture may not be, from tests/data/util/images/.
std::string imageRefusal(const std::string& name) {
    Image out;
    std::string err;
    if (decodeImage(test::readFile(test::dataPath("util/images/" + name)), name, out, err)) return "decoded";
    if (err.rfind("unreadable image", 0) == 0) err.resize(16);  // the rest is the codec's own words
    return (out.empty() ? "" : "left pixels: ") + err;
}

// An operation: how many arguments it takes, and what it makes of them.
using Op = std::pair<std::size_t, std::function<std::string(const Args&)>>;

const std::map<std::string, Op>& ops() {
    static const std::map<std::string, Op> table = {
        {"fmt2", {2, [](const Args& a) { return fmt2(num<double>(a[0]), num<int>(a[1])); }}},
        {"fmtDecimals", {2, [](const Args& a) { return fmtDecimals(num<double>(a[0]), num<int>(a[1])); }}},
        {"numText", {1, [](const Args& a) { return numText(num<double>(a[0])); }}},
        {"numTextFloat", {1, [](const Args& a) { return numText(num<float>(a[0])); }}},
        {"parseNumber", {1, [](const Args& a) {
             const auto v = parseNumber(View(a[0]).view());
             return v ? numText(*v) : "none";
         }}},
        {"leadingNumber", {1, [](const Args& a) { return numText(leadingNumber(View(a[0]).view())); }}},
        {"parseWholeNumber", {3, [](const Args& a) {
             auto v = parseWholeNumber(a[0], num<std::int64_t>(a[1]), num<std::int64_t>(a[2]));
             return v ? std::to_string(*v) : "none";
         }}},
        {"parseFloatAt", {1, [](const Args& a) { return atCursor<float>(a[0], parseFloatAt); }}},
        {"parseIntAt", {1, [](const Args& a) { return atCursor<long long>(a[0], parseIntAt); }}},
        {"parseFloatFast", {1, [](const Args& a) { return fastFloat(a[0]); }}},
        {"pathPart", {1, [](const Args& a) {
             return pathPart(a[0], kDrive) + "|" + pathPart(a[0], kFolder) + "|" + pathPart(a[0], kName) + "|" +
                    pathPart(a[0], kExt);
         }}},
        {"staysInside", {1, [](const Args& a) { return std::string(staysInside(a[0]) ? "yes" : "no"); }}},
        {"lastComponent", {1, [](const Args& a) { return std::string(lastComponent(a[0])); }}},
        {"companionPath", {2, [](const Args& a) { return companionPath(a[0], a[1]); }}},
        {"splitTokens", {2, [](const Args& a) { return list(splitTokens(a[0], a[1])); }}},
        {"splitCommandLine", {1, [](const Args& a) { return list(splitCommandLine(a[0])); }}},
        {"nextToken", {2, [](const Args& a) { return tokenWalk(a[0], a[1]); }}},
        {"oneLine", {2, [](const Args& a) { return oneLine(a[0], a[1].empty() ? '_' : a[1][0]); }}},
        {"cleanFileName", {1, [](const Args& a) { return cleanFileName(a[0]); }}},
        {"lines", {1, [](const Args& a) { return lines(a[0]); }}},
        {"readUntil", {3, [](const Args& a) { return pieces(a[0], a[1], a[2]); }}},
        {"latin1Repaired", {1, [](const Args& a) { return latin1(a[0]); }}},
        {"stripUtf8Bom", {1, [](const Args& a) { return std::string(stripUtf8Bom(a[0])); }}},
        {"utf16Mark", {1, [](const Args& a) {
             const Utf16Mark m = utf16Mark(View(a[0]).view());
             return std::string(m == Utf16Mark::LittleEndian ? "little" : m == Utf16Mark::BigEndian ? "big" : "none");
         }}},
        {"utf16ToUtf8", {1, [](const Args& a) { return utf16ToUtf8(a[0]); }}},
        {"utf16Strict", {2, [](const Args& a) { return utf16Failing(a[0], a[1] == "little"); }}},
        {"makeXmlUtf8", {1, [](const Args& a) { return recoded(a[0]); }}},
        {"xmlEvents", {1, [](const Args& a) { return xmlEvents(a[0]); }}},
        {"decodeXmlText", {1, [](const Args& a) { return decodeXmlText(a[0]); }}},
        {"decodeImage", {1, [](const Args& a) { return imageRefusal(a[0]); }}},
    };
    return table;
}

void runCases(const std::string& file) {
    const std::string text = test::readFile(test::dataPath("util/" + file));
    std::vector<std::string> rows;
    TextReader r(text);
    for (std::string line; r.readLineText(line);) rows.push_back(line);
    ASSERT_FALSE(rows.empty()) << file;
    for (std::size_t n = 0; n < rows.size(); ++n) {
        const std::string& row = rows[n];
        if (trimView(row).empty() || row[0] == '#') continue;
        SCOPED_TRACE(file + ":" + std::to_string(n + 1) + ": " + row);
        const std::size_t bar = row.find('|');
        const auto op = ops().find(field(row.substr(0, bar)));
        ASSERT_TRUE(bar != std::string::npos && op != ops().end());
        Args args;
        std::size_t at = bar + 1;
        for (std::size_t next; args.size() < op->second.first && (next = row.find('|', at)) != std::string::npos;
             at = next + 1)
            args.push_back(field(row.substr(at, next - at)));
        ASSERT_EQ(args.size(), op->second.first);
        EXPECT_EQ(op->second.second(args), field(row.substr(at)));
    }
}

struct CaseFile : ::testing::TestWithParam<std::string> {};

TEST_P(CaseFile, EveryRowGivesItsExpectedText) { runCases(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Data, CaseFile, ::testing::Values("numbers.txt", "paths.txt", "text.txt"),
                         [](const auto& info) { return test::testName(info.param); });

// Files are written and read alike wherever the user lives: the numbers
// again under a locale with a decimal comma, when the machine has one.
TEST(NumFmt, DecimalPointStaysDotUnderCommaLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    bool active = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252"})
        if (!active && std::setlocale(LC_ALL, name)) active = *std::localeconv()->decimal_point == ',';
    if (active) runCases("numbers.txt");
    std::setlocale(LC_ALL, saved.c_str());
    if (!active) GTEST_SKIP() << "no locale with a decimal comma on this machine";
}

}  // namespace
}  // namespace molv
