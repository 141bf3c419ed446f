// Text encodings of source files: UTF-8 byte order marks and UTF-16 in
// either byte order, turned into UTF-8 for the readers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace molv {

// The text without a leading UTF-8 byte order mark.
bool hasUtf8Bom(std::string_view s);
std::string_view stripUtf8Bom(std::string_view s);

// Byte order announced by a UTF-16 mark at the start of s.
enum class Utf16Mark { None, LittleEndian, BigEndian };
Utf16Mark utf16Mark(std::string_view s);

// Appends one code point as UTF-8.
void appendUtf8(std::string& out, std::uint32_t cp);

// What a surrogate without its partner becomes.
enum class LoneSurrogate { Question, Fail };

// Appends the UTF-16 units of bytes from byte `start` on as UTF-8 (an odd
// last byte is ignored). With LoneSurrogate::Fail it stops at the first
// unpaired surrogate and returns false with badAt set to its byte offset;
// with Question the surrogate becomes "?".
bool appendUtf16(std::string& out, std::string_view bytes, std::size_t start, bool littleEndian,
                 LoneSurrogate lone = LoneSurrogate::Question, std::size_t* badAt = nullptr);

// Text that is not all well-formed UTF-8 (older exporters write names in
// Latin-1): every byte of an ill-formed sequence read as Latin-1, so the
// result is UTF-8 and the same on every system. False (out untouched) when
// s is well-formed already.
bool latin1Repaired(std::string_view s, std::string& out);

// Text with a UTF-16 mark as UTF-8 (lone surrogates as "?"); other text
// comes back as it is.
std::string utf16ToUtf8(std::string_view s);

}  // namespace molv
