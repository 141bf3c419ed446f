// XML without a tree. Two ways to pull a document apart:
//
// - readXmlTag / readXmlElement: one tag at a time as name, attributes,
//   text and closing tag, for files that put one element per line (the
//   Cal3D XML files, host listings). Line mode reads a line per call;
//   character mode reads from "<" to ">" and copes with any layout.
// - XmlCursor: a forward scanner over the bytes that yields start tags, end
//   tags and text runs as views into the document, for readers with large
//   number arrays (Collada) that must not copy or allocate per item.
//
// Both skip comments, document type declarations and processing
// instructions. Line numbers count from 1 and go into ctx.xml.xmlLineNo,
// which readers quote in their messages.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/text.h"  // equalsNoCase

namespace molv {

class Diagnostics;
class AssocArray;

// Makes a document's bytes UTF-8: a UTF-8 byte order mark is removed, and
// UTF-16 (either byte order, with a mark or recognised by its "<" byte
// pattern) is converted. False, with err set, when UTF-16 text is broken
// (an unpaired surrogate or an odd byte count) or the document is UTF-32.
bool makeXmlUtf8(std::string& bytes, std::string& err);
// True when the bytes need makeXmlUtf8 to change them.
bool xmlNeedsRecoding(std::string_view bytes);

// Appends text with the five predefined entities and decimal or
// hexadecimal character references decoded (as UTF-8). An unknown or
// malformed reference is kept as written.
void appendXmlDecoded(std::string& out, std::string_view text);
inline std::string decodeXmlText(std::string_view text) {
    std::string s;
    appendXmlDecoded(s, text);
    return s;
}

// ---------------------------------------------------------------------------
// Tag reader

// A document in memory with a read position (UTF-8 mark skipped).
class XmlSource {
public:
    XmlSource() = default;
    explicit XmlSource(std::string_view bytes);

    bool atEnd() const { return p_ >= end_; }
    std::size_t offset() const { return static_cast<std::size_t>(p_ - begin_); }
    // Next line without its line end; CR, NUL and character 26 are dropped.
    // False when nothing was left.
    bool readLine(std::string& line);

private:
    friend bool readXmlTag(Diagnostics&, XmlSource&, std::string&, std::string&, std::string&, AssocArray&, bool);
    const char* begin_ = nullptr;
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    std::int64_t line_ = 1;          // line of p_
    std::int64_t reportedLine_ = 0;  // last line counted into xmlLineNo
};

// Reads the next tag. True when a tag was read; false at the end of the
// source or on a closing tag that does not match its opening tag on the
// same line (then lastErrText holds "Mismatched tags: " + name + " : " +
// closing, and the user was shown it). A closing tag alone comes back as a
// name beginning with "/"; a self-closing tag gives closingTag "/".
// Attribute values keep their entities; decodeXmlText decodes them.
// Line mode counts a line into xmlLineNo per line read; character mode
// sets it to the line of the tag's "<".
bool readXmlTag(Diagnostics& ctx, XmlSource& src, std::string& tagName, std::string& tagText, std::string& closingTag,
                AssocArray& attrs, bool charMode = false);

// Reads the next tag in line mode and keeps the path of open elements in
// ctx.xml.xmlPath (names joined with "__"). An opening tag gives its name
// and path; a closing tag pops the path and leaves tagName as it was.
// False at the end, on a mismatch, on a closing tag with nothing open
// ("tag nesting underflow") and on an element nested deeper than
// kXmlMaxDepth ("tag nesting too deep").
inline constexpr int kXmlMaxDepth = 20;
bool readXmlElement(Diagnostics& ctx, XmlSource& src, std::string& tagName, std::string& path, std::string& tagText,
                    AssocArray& attrs);

// ---------------------------------------------------------------------------
// Forward scanner

class XmlCursor {
public:
    enum Event { StartTag, EndTag, Text, End, Error };

    XmlCursor() = default;
    // The bytes must stay alive while the cursor is used. A UTF-8 mark is
    // skipped; other encodings go through makeXmlUtf8 first.
    explicit XmlCursor(std::string_view bytes);

    // Moves to the next start tag, end tag or text run. Comments, processing
    // instructions and declarations are passed over; CDATA comes as Text.
    // End at the end of the bytes; Error (sticky) on broken markup.
    Event next();

    // Start and end tags: the name as written. Start tags: the attribute
    // text between the name and ">" or "/>", and whether it closed itself.
    std::string_view name() const { return name_; }
    std::string_view rawAttrs() const { return attrs_; }
    bool selfClosing() const { return selfClosing_; }
    // Text runs: the raw bytes (entities not decoded) or a CDATA section.
    std::string_view text() const { return text_; }
    bool isCData() const { return cdata_; }

    // Line (from 1) where the current item begins.
    std::int32_t line() const { return itemLine_; }
    // The line holding the current item, from its first non-blank
    // character, at most maxLen characters.
    std::string lineText(std::size_t maxLen = 200) const;
    // What was wrong when next() returned Error.
    const std::string& error() const { return error_; }
    std::size_t offset() const { return static_cast<std::size_t>(p_ - begin_); }

private:
    Event fail(const char* at, std::string message);
    void advanceTo(const char* q);  // counts the line feeds passed

    const char* begin_ = nullptr;
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    const char* itemStart_ = nullptr;
    std::int32_t line_ = 1;
    std::int32_t itemLine_ = 1;
    std::string_view name_, attrs_, text_;
    bool selfClosing_ = false;
    bool cdata_ = false;
    bool failed_ = false;
    std::string error_;
};

// Finds an attribute in a start tag's attribute text (names compared
// without regard to case) and sets value to its decoded value. False when
// it is not there.
bool xmlAttr(std::string_view rawAttrs, std::string_view name, std::string& value);
// Walks the attributes in order: false when there are no more (or the text
// is broken). pos starts at 0.
bool nextXmlAttr(std::string_view rawAttrs, std::size_t& pos, std::string_view& name, std::string_view& rawValue);

}  // namespace molv
