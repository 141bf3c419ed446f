// Text tokenisers, XML-safe escaping and line readers over bytes in memory.
//
// Positions are 1-based character positions (0 is taken as 1 where a
// position is passed in). Token arrays keep index 0 empty and hold their
// tokens at 1..count, so count == tokens.size() - 1.
//
// Separator / delimiter arguments may begin with option codes, each "!"
// plus one code, read from the front and removed; the rest is the set of
// separator characters:
//   "! "  no effect                 "!q"  quote characters stay in the token
//   "!rq" quote characters are dropped and end the token, never quote
//   "!'"  "!`" "!^" "!!"  that character quotes too
//   "!k"  non-blank separators come back as tokens of their own
// Which codes a routine honours is listed with it; other codes end the
// option list and count as separator characters.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace molv {


// Splits at separator characters. Blanks and tabs between tokens are
// skipped; a double quote (plus "!'", "!`", "!^", "!!") quotes separators
// into the token and is dropped unless "!q". Consecutive non-blank
// separators give empty tokens. Options: all of the above.
std::vector<std::string> splitTokens(std::string_view text, std::string_view separators,
                                     bool keepSeparators = false);
inline std::vector<std::string> tokenize(std::string_view text, std::string_view separators) {
    return splitTokens(text, separators, false);
}
// Splits a command line into words (empty separators mean one blank), so a
// quoted path with blanks stays one word.
std::vector<std::string> splitCommandLine(std::string_view text, std::string_view separators = {});

// Takes the token starting at pos (1-based) up to the first delimiter
// character or endPos (inclusive; 0 = end of text), trims it and strips one
// quote character at each end. pos moves past the delimiter; lastDelim gets
// the delimiter met ("" at the end). False when pos is beyond endPos.
// Quote characters: double quote and back-quote. Options "!q" (a token that
// starts with a double quote runs to the next double quote), "!^", "!!".
bool nextToken(std::string_view text, std::string& token, std::size_t& pos, std::size_t endPos,
               std::string_view delimiters, std::string* lastDelim = nullptr);

// Field fieldNo (1-based; 0 counts as 1; -1 is the last field) of text split
// at any delimiter character, trimmed, with surrounding quotes removed.
// Consecutive delimiters give empty fields. Returns the field's 1-based
// start position, or 0 when the text has no such field (field is then
// empty). Options "!^", "!!".
std::size_t findField(std::string_view text, std::string& field, int fieldNo, std::string_view delims);
std::string getField(std::string_view text, int fieldNo, std::string_view delims);

// Entities for " ' & < >; a blank next to an escaped character becomes
// "&nbsp;" so it survives attribute whitespace rules.
std::string xmlEscape(std::string_view text);
// The text from its first character above a blank; the last character is
// always kept.
std::string skipLeadingControls(std::string_view text);
// Quotes and apostrophes removed; blank, "&", "," and control characters
// (a line break would split a line of the .cfg that names the file) become
// "_".
std::string cleanFileName(std::string_view name);
// The text with every control character (below a blank, and DEL) replaced
// by `with`: a name written into a line of a text file cannot end the line
// or start another.
std::string oneLine(std::string_view text, char with = '_');

// True when text begins with prefix (exact / ASCII case-insensitive).
bool startsWith(std::string_view text, std::string_view prefix);
bool startsWithNoCase(std::string_view text, std::string_view prefix);

// ASCII-only case mapping, comparison and blank trimming (blank, tab, CR,
// LF), locale independent.
inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
std::string toUpperAscii(std::string_view s);
std::string toLowerAscii(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
// trimView and trim take other blank characters when given (" \t" keeps
// line ends).
std::string_view trimView(std::string_view s, std::string_view blanks = " \t\r\n");
inline std::string trim(std::string_view s, std::string_view blanks = " \t\r\n") {
    return std::string(trimView(s, blanks));
}

// Writes one byte per blank-separated hexadecimal word of hexText ("00 1A
// ff"). The file is replaced whole, never left longer than the new bytes.
// A word that is not one or two hexadecimal digits is written as 0 and named
// in err (the first such word). False when the file could not be written
// (err says why).
bool writeHexBytes(const std::string& path, std::string_view hexText, std::string* err = nullptr);

// Iterates the lines of a text in memory without copying. A line ends at
// eol (a line feed, or CR for text from old Mac tools); one CR before the
// end is dropped; NUL and character 26 are kept for the caller to judge.
class LineCursor {
public:
    explicit LineCursor(std::string_view text, char eol = '\n')
        : p_(text.data()), end_(text.data() + text.size()), eol_(eol) {}
    // Next line without its line end; false at the end of the text.
    bool next(std::string_view& line);
    long lineNo() const { return lineNo_; }
    std::size_t offset(const char* base) const { return static_cast<std::size_t>(p_ - base); }

private:
    const char* p_;
    const char* end_;
    char eol_;
    long lineNo_ = 0;
};

// Sequential reader over bytes in memory (a file read with readWholeFile).
// A line ends after a line feed; CR, LF, NUL and character 26 are read but
// not kept. No length limit unless a maximum is given.
class TextReader {
public:
    TextReader() = default;
    explicit TextReader(std::string_view bytes);

    // Next line into `line` (its capacity is reused). Stops after a line
    // feed, at the end, or after `max` characters when max > 0. False only
    // when nothing was left to read.
    bool readLineText(std::string& line, std::size_t max = 0);
    // The same without a copy: line views the bytes (or, when bytes had to
    // be dropped, a buffer of this reader) and stays valid until the next
    // read.
    bool readLineView(std::string_view& line, std::size_t max = 0);
    bool readLineBin(std::string& line, std::size_t max = 0) { return readLineText(line, max); }
    // Like readLineText, but also stops at any character of `stops`; returns
    // the character that ended the piece (a stop character or '\n', not kept
    // in `out`), or '\0' at the end of the bytes or at the maximum.
    char readUntil(std::string& out, std::string_view stops, std::size_t max = 0);

    bool atEnd() const { return p_ >= end_; }
    // Byte offset of the next unread byte.
    std::size_t offset() const { return static_cast<std::size_t>(p_ - begin_); }
    // Number of the line the last consumed byte belongs to (1-based; 0
    // before the first read). After readLineText it is the number of the
    // line just read.
    std::int64_t lineNo() const;

private:
    const char* find(char c) const;
    std::string_view kept(std::size_t n);

    const char* p_ = nullptr;
    const char* begin_ = nullptr;
    const char* end_ = nullptr;
    // Next CR, NUL and character 26 at or after the last search (end_ when
    // none): lines before them need no copy.
    const char* nextCr_ = nullptr;
    const char* nextNul_ = nullptr;
    const char* nextSub_ = nullptr;
    std::int64_t lineFeeds_ = 0;
    std::string scratch_;
};

// Reads a file's lines (trimmed; empty ones skipped with skipEmpty) into
// lines: from index 0 with fromZero, else from index 1 with lines[0] empty.
// maxLines 0 means no limit. Returns the number of lines stored; 0 also
// when the file could not be read (then err says why).
int readTextLines(const std::string& path, std::vector<std::string>& lines, int maxLines, bool fromZero,
                  bool skipEmpty, std::string* err = nullptr);

}  // namespace molv
