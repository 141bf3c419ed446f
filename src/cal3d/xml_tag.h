// The line-mode XML tag reader: one tag at a time as name, attributes,
// text and closing tag, for files that put one element per line (the Cal3D
// XML files, host listings). Line mode reads a line per call; character
// mode reads from "<" to ">" and copes with any layout. Comments, document
// type declarations and processing instructions are skipped. Line numbers
// count from 1 and are kept, with the tag's text, in the source's
// `where()`, which readers quote in their messages.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/store_fill.h"
#include "util/xml_text.h"

namespace molv {

class Diagnostics;
class AssocArray;

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
    // The line of the tag read last and its text.
    const SourceLine& where() const { return where_; }
    // Why the last tag could not be read ("Mismatched tags: a : /b").
    const std::string& error() const { return error_; }

private:
    friend bool readXmlTag(Diagnostics&, XmlSource&, std::string&, std::string&, std::string&, AssocArray&, bool);
    const char* begin_ = nullptr;
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    std::int64_t line_ = 1;          // line of p_
    std::int64_t reportedLine_ = 0;  // last line counted into where_.no
    SourceLine where_;
    std::string error_;
};

// Reads the next tag. True when a tag was read; false at the end of the
// source or on a closing tag that does not match its opening tag on the
// same line (then the source's error() holds "Mismatched tags: " + name +
// " : " + closing, and the user was shown it). A closing tag alone comes back as a
// name beginning with "/"; a self-closing tag gives closingTag "/".
// Attribute values keep their entities; decodeXmlText decodes them.
// Line mode counts a line into where().no per line read; character mode
// sets it to the line of the tag's "<".
bool readXmlTag(Diagnostics& ctx, XmlSource& src, std::string& tagName, std::string& tagText, std::string& closingTag,
                AssocArray& attrs, bool charMode = false);

}  // namespace molv
