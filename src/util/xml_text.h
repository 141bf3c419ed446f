// XML text without a tree: encodings, entities, attributes, and a forward
// scanner over the bytes that yields start tags, end tags and text runs as
// views into the document, for readers with large number arrays (Collada)
// that must not copy or allocate per item. Comments, document type
// declarations and processing instructions are passed over.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace molv {

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

// Markup helpers shared with the line-mode tag reader: the first match of
// what in [p, end) or nullptr; the end of a "<!DOCTYPE" declaration (with
// its internal subset) or nullptr; line feeds in [a, b).
const char* findText(const char* p, const char* end, std::string_view what);
const char* skipDeclaration(const char* p, const char* end);
std::int64_t countLineFeeds(const char* a, const char* b);

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
