// Number text that never depends on the user's locale: the decimal point is
// always ".". Parsing never reads past its text and rejects nan, inf and
// values out of range.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace molv {

// Shortest decimal text that reads back to the same float ("100", "0.1", "-2.5").
std::string numText(double v);
std::string numText(float v);
inline std::string numText(int v) { return std::to_string(v); }
inline std::string numText(long v) { return std::to_string(v); }
inline std::string numText(long long v) { return std::to_string(v); }
inline std::string numText(unsigned v) { return std::to_string(v); }
inline std::string numText(unsigned long v) { return std::to_string(v); }

// "0.00": exactly two decimals, padded on the left to width when width > 0.
std::string fmt2(double v, int width = 0);
// "0.###...": at most `places` decimals, trailing zeros (and a bare point) dropped.
std::string fmtDecimals(double v, int places);
// Upper-case hexadecimal, zero padded on the left to width (two's complement
// for negative values).
std::string hexOf(std::int32_t v, int width = 6);
std::string hex16Of(std::int16_t v, int width = 4);

std::string padRight(std::string_view s, int width);
std::string padLeft(std::string_view s, int width);
std::string padIntLeft(long long v, int width);
std::string zeroPadLeft(std::string_view s, int width);

// The whole text (blanks around allowed) as a finite number; nullopt otherwise.
std::optional<double> parseNumber(std::string_view s);
// Numeric value of the leading numeric part ("12.5cm" -> 12.5, "x" -> 0).
double leadingNumber(std::string_view s);
// numOrZero: the whole text as a number, else 0. intOrZero: the same rounded
// (halves to even) and clamped to 16 bits.
double numOrZero(std::string_view s);
std::int16_t intOrZero(std::string_view s);
// Round to nearest, halves to even, clamped to the 32-bit range.
std::int32_t roundToInt32(double v);

// Fast field parsers for the readers' hot paths: parse at p (leading blanks
// and tabs skipped), never beyond end; advance p past the number. Return
// false when no finite number starts there.
bool parseFloatAt(const char*& p, const char* end, float& out);
bool parseIntAt(const char*& p, const char* end, long long& out);

// Fill four entries from the first four blank-separated fields; a field
// that is not numeric gives 0.
void parse4Doubles(std::string_view s, double out[4]);
void parse4Longs(std::string_view s, std::int32_t out[4]);
void parse4Bytes(std::string_view s, std::uint8_t out[4]);

}  // namespace molv
