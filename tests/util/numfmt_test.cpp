#include "util/numfmt.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <utility>

namespace molv {
namespace {

// Switches LC_ALL to a locale with a decimal comma while it lives, when
// the machine has one.
struct CommaLocale {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    bool active = false;
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252"})
            if (std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
                active = true;
                return;
            }
        std::setlocale(LC_ALL, saved.c_str());
    }
    ~CommaLocale() { std::setlocale(LC_ALL, saved.c_str()); }
};

TEST(NumFmt, Fmt2AndNumText) {
    EXPECT_EQ(fmt2(1.0), "1.00");
    EXPECT_EQ(fmt2(-2.5), "-2.50");
    EXPECT_EQ(fmt2(0.005), "0.01");   // 0.005 is stored a little above
    EXPECT_EQ(fmt2(-0.001), "0.00");  // no "-0.00"
    EXPECT_EQ(fmt2(3.14159, 8), "    3.14");
    EXPECT_EQ(fmt2(12345.678, 4), "12345.68");  // too wide: not cut
    EXPECT_EQ(fmt2(1e20), "100000000000000000000.00");
    // numText: the shortest text that reads back the same.
    EXPECT_EQ(numText(100.0), "100");
    EXPECT_EQ(numText(0.1f), "0.1");
    EXPECT_EQ(numText(-2.5), "-2.5");
    EXPECT_EQ(std::stof(numText(0.3f)), 0.3f);
}

TEST(NumFmt, ParseNumberAcceptsDecimalTextOnly) {
    const std::pair<const char*, double> good[] = {{"12", 12},  {"  -3.5  ", -3.5}, {"+7", 7},       {".5", 0.5},
                                                   {"5.", 5},   {"1e3", 1000},      {"1E-2", 0.01}, {"1.5\r\n", 1.5}};
    for (const auto& [text, want] : good) EXPECT_EQ(parseNumber(text), want) << text;
    for (const char* bad : {"", " ", "-", "+", ".", "nan", "NaN", "inf", "-inf", "infinity", "1e400", "-1e400",
                            "0x10", "&H10", "1,5", "12abc", "1e", "1e+", "--1", "+-1", "-+1", "1 2", "e5"}) {
        EXPECT_FALSE(parseNumber(bad).has_value()) << bad;
    }
}

TEST(NumFmt, WholeNumbersAreRangeCheckedBeforeConversion) {
    EXPECT_EQ(parseWholeNumber("12", 0, 12), 12);
    EXPECT_EQ(parseWholeNumber("-2147483648", INT32_MIN, INT32_MAX), INT32_MIN);
    EXPECT_EQ(parseWholeNumber("-9223372036854775808", INT64_MIN, INT64_MAX), INT64_MIN);
    for (const char* bad : {"13", "-1", "2.5", "x", "1e39", "-1e39", "9223372036854775808", "nan"})
        EXPECT_EQ(parseWholeNumber(bad, 0, 12), std::nullopt) << bad;
    // 2^63 is a double above every int64 even when hi is the largest one.
    EXPECT_EQ(parseWholeNumber("9223372036854775808", INT64_MIN, INT64_MAX), std::nullopt);
}

// A view that ends inside a longer buffer: what lies beyond must not count.
// The cursor parsers move past what they read, and not at all on a failure.
TEST(NumFmt, ParsersReadOnlyTheirRange) {
    EXPECT_EQ(parseNumber(std::string_view("12345", 2)), 12.0);
    EXPECT_EQ(parseNumber(std::string_view("1e5", 2)), std::nullopt);  // "1e": no number as a whole
    EXPECT_EQ(leadingNumber(std::string_view("1e5", 2)), 1.0);
    EXPECT_EQ(parseNumber(std::string_view("2e34", 3)), 2e3);  // the exponent ends with the view
    const struct {
        const char* text;
        std::size_t len;
        bool whole;  // parseIntAt, else parseFloatAt
        double value;
        long used;  // 0: no number
    } rows[] = {{"12345", 3, false, 123, 3}, {"12345", 1, true, 1, 1}, {"1e5", 2, false, 1, 1},
                {"+5", 2, false, 5, 2},      {"+-5", 3, false, 0, 0},  {"+-5", 3, true, 0, 0},
                {"3e39", 4, false, 0, 0},  // beyond a float
                // The largest float's shortest text rounds down to it; one step on rounds to infinity.
                {"3.4028235e38", 12, false, 3.4028234663852886e38, 12},
                {"-3.4028235e38", 13, false, -3.4028234663852886e38, 13},
                {"3.4028236e38", 12, false, 0, 0}};
    for (const auto& r : rows) {
        const char* p = r.text;
        float f = 0;
        long long n = 0;
        EXPECT_EQ(r.whole ? parseIntAt(p, p + r.len, n) : parseFloatAt(p, p + r.len, f), r.used > 0) << r.text;
        EXPECT_EQ(r.whole ? static_cast<double>(n) : f, r.value) << r.text;
        EXPECT_EQ(p - r.text, r.used) << r.text;
    }
}

TEST(NumFmt, DecimalPointStaysDotUnderCommaLocale) {
    CommaLocale loc;
    if (!loc.active) GTEST_SKIP() << "no locale with a decimal comma on this machine";
    EXPECT_EQ(fmt2(1.5), "1.50");
    EXPECT_EQ(fmtDecimals(2.25, 3), "2.25");
    EXPECT_EQ(numText(0.5), "0.5");
    EXPECT_EQ(numText(0.25f), "0.25");
    EXPECT_EQ(parseNumber("1.5"), 1.5);
    EXPECT_FALSE(parseNumber("1,5").has_value());
    const char* p = "3.25";
    float f = 0;
    ASSERT_TRUE(parseFloatAt(p, p + 4, f));
    EXPECT_EQ(f, 3.25f);
}

// The fast path must give exactly what the general parser gives, since the
// readers take either depending on the form of the number.
TEST(NumFmt, FastFloatMatchesGeneralParser) {
    for (const char* text : {"0", "-0.0", "+5", "1.", ".5", "0.1", "-12.375", "3.4028234e38", "1e22", "1.5e-3",
                             "123456789012345678", "0.30000000000000004", "9007199254740993", "16777217",
                             "2.0000001", "7e-22"}) {
        const char* end = text + std::strlen(text);
        const char* q = nullptr;
        const char* p = text;
        float fast = 0, general = 0;
        ASSERT_TRUE(parseFloatAt(p, end, general)) << text;
        if (parseFloatFast(text, end, q, fast)) {
            EXPECT_EQ(q, end) << text;
            EXPECT_EQ(std::memcmp(&fast, &general, sizeof fast), 0) << text;
        }
    }
    // Forms it leaves to the general parser; nothing is written then.
    for (const char* text : {"", "-", ".", "1e", "1e23", "1e-30", "12345678901234567890", "9007199254740993.5",
                             "1e39", "nan"}) {
        const char* q = nullptr;
        float f = 42;
        EXPECT_FALSE(parseFloatFast(text, text + std::strlen(text), q, f)) << text;
        EXPECT_EQ(f, 42.0f) << text;
    }
    // It stops where the number does; the caller judges what follows.
    const char* t = "2.5/3";
    const char* q = nullptr;
    float f = 0;
    ASSERT_TRUE(parseFloatFast(t, t + 5, q, f));
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(*q, '/');
}

}  // namespace
}  // namespace molv
