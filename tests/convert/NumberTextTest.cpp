// Number text: reading typed values, the three result styles and the radix
// digit strings.
#include "convert/ConversionFailure.h"
#include "convert/NumberText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

using namespace Qt::StringLiterals;

namespace {

constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();

std::optional<FailureKind> FailureOf(auto &&call)
{
    try {
        call();
    } catch (const ConversionFailure &failure) {
        return failure.kind();
    }
    return std::nullopt;
}

QString Repeat(const char *piece, int times)
{
    return QString::fromLatin1(piece).repeated(times);
}

// ---------------------------------------------------------------------------

struct ReadCase {
    QString text;
    double value;
};

TEST(ReadNumber, ReadsTheAcceptedForms)
{
    const ReadCase cases[] = {
        {"1,000", 1000},
        {"1e3", 1000},
        {"5-", -5},
        {"5+", 5},
        {"+5", 5},
        {"1e3-", -1000},
        {" \t12 ", 12},
        {u"\u30007\u3000"_s, 7},
        {".5", 0.5},
        {"5.", 5},
        {",1,2,,3", 123},
        {"1,000.25", 1000.25},
        {"00012.5000", 12.5},
        {"1.5E-3", 0.0015},
        {"2e+2", 200},
        {"0.1", 0.1},
        {"123456789012345678901234567890", 1.2345678901234568e29},
        // Ties and near-ties between doubles round correctly.
        {"9007199254740993", 9007199254740992.0},
        {"9007199254740993.0000000001", 9007199254740994.0},
        {"1.7976931348623157e308", DBL_MAX},
        {"1.7976931348623158e308", DBL_MAX},
        {"4.9406564584124654e-324", kDenormMin},
        {"2.2250738585072014e-308", DBL_MIN},
        {"1e-400", 0.0},
        {"0e999999", 0.0},
        {"1e-99999999999999999999", 0.0},
        {"0.0000000000000000000000000000001e31", 1.0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReadNumber(c.text), c.value) << c.text.toStdString();
}

TEST(ReadNumber, GivesTheNearestDoubleOfShortAndLongDigitStrings)
{
    // Short values take a faster way than long ones; both round as strtod.
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + int(random() % 19);
        const int exponent = int(random() % 61) - 30;
        std::string text = std::to_string(random() % 10'000'000'000'000'000'000ull).substr(0, std::size_t(digits));
        text += "e" + std::to_string(exponent);
        if (i % 3 == 0)
            text.insert(text.size() > 2 ? 1 : 0, ".");
        ASSERT_EQ(ReadNumber(QString::fromLatin1(text)), std::strtod(text.c_str(), nullptr)) << text;
    }
}

TEST(ReadNumber, KeepsTheSignOfZero)
{
    EXPECT_TRUE(std::signbit(ReadNumber(u"-0")));
    EXPECT_TRUE(std::signbit(ReadNumber(u"0-")));
    EXPECT_FALSE(std::signbit(ReadNumber(u"0")));
    EXPECT_TRUE(std::signbit(ReadNumber(u"-1e-400")));
}

TEST(ReadNumber, RefusesTextThatIsNotANumber)
{
    const QString texts[] = {
        "",
        "   ",
        "+",
        "-",
        ".",
        ",",
        "1.2.3",
        "1e",
        "1e+",
        "e5",
        ".e5",
        "1,000.5,0",
        "5 5",
        "5 -",
        "- 5",
        "--5",
        "-5-",
        "+-5",
        "1d3",
        "0x10",
        "inf",
        "nan",
        "1e3.5",
        // Forms some number readers accept; pasted, they are refused.
        "$5",
        u"\u00a55"_s,
        u"5\u5186"_s,
        "(5)",
        "&HFF",
        "&O17",
        "&hff",
        // Full-width digits and a lone surrogate.
        u"\uff11"_s,
        QString(QChar(0xd800)),
    };
    for (const auto &text : texts) {
        EXPECT_EQ(FailureOf([&] { ReadNumber(text); }), FailureKind::InvalidInput) << text.toStdString();
        EXPECT_FALSE(IsNumberText(text)) << text.toStdString();
    }
}

TEST(ReadNumber, MagnitudesBeyondTheLargestDoubleOverflow)
{
    const QString texts[] = {
        "1e400",
        "-1e400",
        "1.8e308",
        "1.7976931348623159e308",
        "1e99999999999999999999",
        "1.79769313486232E+308",  // PlainText of the largest double, rounded up
        Repeat("9", 400),
        "0." + Repeat("0", 50) + "1e400",
    };
    for (const auto &text : texts)
        EXPECT_EQ(FailureOf([&] { ReadNumber(text); }), FailureKind::Overflow) << text.toStdString();
}

// ---------------------------------------------------------------------------

struct StyleCase {
    double value;
    QString text;
};

TEST(PlainText, WritesFifteenSignificantDigits)
{
    const StyleCase cases[] = {
        {1000, "1000"},
        {0.1 + 0.2, "0.3"},
        {1e15, "1E+15"},
        {123456789012345, "123456789012345"},
        {1234567890123456, "1.23456789012346E+15"},
        {999999999999999.4, "999999999999999"},
        {999999999999999.5, "1E+15"},                // rounds up into the exponent form
        {1000000000000005, "1.00000000000001E+15"},  // exact tie: away from zero
        {2.327628295998045, "2.32762829599804"},     // 16th digit 4, though it looks like 5
        {1.710549243647405, "1.71054924364741"},
        {123456789012345.5, "123456789012346"},  // exact ties below 10^15: away from zero
        {-123456789012345.5, "-123456789012346"},
        {12345678901234.25, "12345678901234.3"},
        {0x1p-26, "1.49011611938477E-08"},  // 1.490116119384765625E-08
        {0x1.fffffffffffffp-27, "1.49011611938477E-08"},
        {0x1.fffffffffffffp127, "3.40282366920938E+38"},
        {0x1p128, "3.40282366920938E+38"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {-0.5, "-0.5"},
        {0.0, "0"},
        {-0.0, "0"},
        {2.5, "2.5"},
        {-273.15, "-273.15"},
        {1e100, "1E+100"},
        {DBL_MAX, "1.79769313486232E+308"},
        {-DBL_MAX, "-1.79769313486232E+308"},
        {kDenormMin, "4.94065645841247E-324"},
        {DBL_MIN, "2.2250738585072E-308"},
        // Where small magnitudes switch to the exponent form.
        {0.001, "0.001"},
        {0.00001, "0.00001"},
        {0.000001, "0.000001"},
        {0.0000015, "0.0000015"},
        {1.23456789012345e-6, "0.00000123456789012345"},
        {9.999999999999999e-7, "0.000001"},  // rounds up to the boundary
        {1e-7, "1E-07"},
        {1.5e-7, "1.5E-07"},
        {-1e-7, "-1E-07"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PlainText(c.value), c.text) << c.value;
}

TEST(PlainText, AgreesWithAnExactFifteenDigitRoundingOnRandomDoubles)
{
    // printf rounds the exact binary value, like PlainText, but breaks exact
    // ties to even; those are left to the table above.
    std::mt19937_64 random(20240601);
    for (int i = 0; i < 20000; ++i) {
        double value;
        const std::uint64_t bits = random();
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value) || value == 0.0)
            continue;
        char exact[800];
        std::snprintf(exact, sizeof exact, "%.770E", std::fabs(value));
        const char *tail = exact + 16;  // the 16th significant digit onward
        if (tail[0] == '5' && std::strspn(tail + 1, "0") == std::strcspn(tail + 1, "E"))
            continue;
        char expected[40];
        std::snprintf(expected, sizeof expected, "%.14E", value);
        // Re-read PlainText's output and write it the same way.
        const double back = ReadNumber(PlainText(value));
        char actual[40];
        std::snprintf(actual, sizeof actual, "%.14E", back);
        ASSERT_STREQ(actual, expected) << PlainText(value).toStdString();
        ASSERT_EQ(PlainText(back), PlainText(value));
    }
}

// value rounded to 15 significant digits, half away from zero, from its
// exact decimal expansion; written as printf's "%.14E" writes a number.
std::string RoundedFromExpansion(double value)
{
    char exact[800];
    std::snprintf(exact, sizeof exact, "%.770E", std::fabs(value));
    std::string digits = exact[0] + std::string(exact + 2, 15);  // the first 16
    int exponent = std::atoi(std::strchr(exact, 'E') + 1);
    const bool up = digits[15] >= '5';
    digits.resize(15);
    int i = 14;
    for (; up && i >= 0 && digits[std::size_t(i)] == '9'; --i)
        digits[std::size_t(i)] = '0';
    if (up && i >= 0) {
        ++digits[std::size_t(i)];
    } else if (up) {
        digits = "1" + digits.substr(0, 14);
        ++exponent;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%s%c.%sE%+03d", std::signbit(value) ? "-" : "", digits[0], digits.c_str() + 1,
                  exponent);
    return text;
}

TEST(PlainText, RoundsTheExactValueHalfAwayFromZeroAtUsualMagnitudes)
{
    // Between about 1.5E-08 and 3.4E+38, where most results lie, the digits
    // come a quicker way than elsewhere: random doubles from 2^-100 to 2^141
    // cross both ends of it, and exact ties at the 16th digit (n / 2^j with
    // n * 5^j of 16 digits) lie within it.
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 30000; ++i) {
        double value = 0.0;
        if (i % 2 == 0) {
            const int exponent = int(random() % 241) - 100;
            value = std::ldexp(double(random() >> 11) / 0x1p53 + 1.0, exponent);
        } else {
            const int j = 1 + int(random() % 20);
            const std::uint64_t low = std::uint64_t(std::ceil(1e15 / std::pow(5.0, j)));
            const std::uint64_t high = std::uint64_t(1e16 / std::pow(5.0, j));
            value = std::ldexp(double((low + random() % (high - low)) | 1), -j);
        }
        if (random() % 2)
            value = -value;
        const double back = ReadNumber(PlainText(value));
        char actual[40];
        std::snprintf(actual, sizeof actual, "%.14E", back);
        ASSERT_EQ(actual, RoundedFromExpansion(value)) << PlainText(value).toStdString();
    }
}

TEST(GroupedText, GroupsTheIntegerPartAndAlwaysWritesThePoint)
{
    const StyleCase cases[] = {
        {1234567.25, "1,234,567.25"},
        {5, "5."},
        {1000, "1,000."},
        {1234.5, "1,234.5"},
        {100, "100."},
        {-1234, "-1,234."},
        {0.5, "0.5"},
        {0.0, ""},
        {-0.0, ""},
        {123456789012345.67, "123,456,789,012,346."},
        {1e20, "100,000,000,000,000,000,000."},
        {9.995, "9.995"},
        // At most 15 fraction digits, the last one rounded half away from zero.
        {0.01234567890123456, "0.012345678901235"},
        {5e-16, "0.000000000000001"},
        {4e-16, "0."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(GroupedText(c.value), c.text) << c.value;
    EXPECT_EQ(GroupedText(DBL_MAX).size(), 309 + 102 + 1);
}

// The digit limit of the grouped style: a value is grouped only while it is
// below 10 raised to the limit, so the grouped text has at most that many
// digits before the point.
TEST(BelowPowerOfTen, ComparesTheWrittenValueWithAnExactPowerOfTen)
{
    struct Case {
        double value;
        int n;
        bool below;
    };
    const Case cases[] = {
        {1e23, 23, false},  // std::pow(10, 23) is 1.0000000000000001e23, above it
        {1e22, 23, true},
        {1e15, 15, false},
        {999999999999999.0, 15, true},
        {999999999999999.9, 15, false},  // written 1,000,000,000,000,000.
        {9999.99999999999, 4, true},
        {9999.9999999999995, 4, false},  // written 10,000.
        {1.0, 0, false},
        {0.5, 0, true},
        {-1e300, 4, true},
        {0.0, 4, true},
        {DBL_MAX, 308, false},
        {DBL_MAX, 309, true},
        {HUGE_VAL, 50, false},
        {std::nan(""), 50, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BelowPowerOfTen(c.value, c.n), c.below) << c.value << " " << c.n;

    // Near every power of ten a digit limit can take, the answer agrees with
    // the number of digits the grouped text writes before its point.
    for (int n = 4; n <= 50; ++n) {
        const double power = ReadNumber(u"1e"_s + QString::number(n));
        double v = power;
        for (int step = 0; step < 4; ++step)
            v = std::nextafter(v, 0.0);
        for (int step = 0; step < 8; ++step, v = std::nextafter(v, HUGE_VAL)) {
            const QString grouped = GroupedText(v);
            const qsizetype digits = grouped.left(grouped.indexOf(u'.')).remove(u',').size();
            EXPECT_EQ(BelowPowerOfTen(v, n), digits <= n) << n << " " << grouped.toStdString();
        }
    }
}

TEST(ScientificText, RoundsTheThirdDigitHalfAwayFromZero)
{
    const StyleCase cases[] = {
        {1234.5, "1.23E+03"}, {-0.5, "-5.00E-01"},    {0.000123, "1.23E-04"},    {0.0, "0.00E+00"},
        {-0.0, "0.00E+00"},   {1e100, "1.00E+100"},   {1, "1.00E+00"},           {-1234.5, "-1.23E+03"},
        {9.995, "1.00E+01"},  // stored as 9.99499999..., 9.99500000000000 at 15 digits
        {1.005, "1.01E+00"},  {1.235, "1.24E+00"},    {-1.235, "-1.24E+00"},     {1.2349999, "1.23E+00"},
        {999.5, "1.00E+03"},  {DBL_MAX, "1.80E+308"}, {kDenormMin, "4.94E-324"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ScientificText(c.value), c.text) << c.value;
}

struct TextStyleCase {
    QString in;
    QString grouped;
    QString scientific;
};

TEST(StyleOfText, ReadsTheTextFirstAndLeavesOtherTextUnchanged)
{
    const TextStyleCase cases[] = {
        {"1,234.5", "1,234.5", "1.23E+03"},
        {" 5 ", "5.", "5.00E+00"},
        {"1234567890123456", "1,234,567,890,123,460.", "1.23E+15"},
        {"", "", ""},
        {"abc", "abc", "abc"},
        {"1.2.3", "1.2.3", "1.2.3"},
        {"1e400", "1e400", "1e400"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(GroupedText(c.in), c.grouped) << c.in.toStdString();
        EXPECT_EQ(ScientificText(c.in), c.scientific) << c.in.toStdString();
    }
}

TEST(DropLastChar, RemovesOneCharacter)
{
    EXPECT_EQ(DropLastChar("5."), "5");
    EXPECT_EQ(DropLastChar("x"), "");
    EXPECT_EQ(DropLastChar(""), "");
    EXPECT_EQ(DropLastChar(u"a\U0001F600"_s), "a");
}

TEST(IntegerPart, TruncatesTowardZero)
{
    EXPECT_EQ(IntegerPart(2.75), 2);
    EXPECT_EQ(IntegerPart(-2.75), -2);
    EXPECT_EQ(IntegerPart(123456789012345.9), 123456789012345);
    EXPECT_EQ(IntegerPart(1e20), 1e20);
}

// ---------------------------------------------------------------------------

TEST(RoundToInt16, RoundsTiesToEvenAndOverflowsOutside16Bits)
{
    const std::pair<double, int> cases[] = {
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {15.5, 16}, {16.5, 16}, {2.6, 3}, {32767.4, 32767}, {-32768.5, -32768},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(RoundToInt16(in), out) << in;
    for (const double in : {32767.5, -32769.0, 1e10, double(INFINITY), double(NAN)})
        EXPECT_EQ(FailureOf([&] { RoundToInt16(in); }), FailureKind::Overflow) << in;
}

struct ToRadixCase {
    double value;
    int radix;
    QString text;
};

TEST(ToRadixText, WritesExactUpperCaseDigits)
{
    const QString dblMaxHex = "FFFFFFFFFFFFF8" + Repeat("0", 242);
    const ToRadixCase cases[] = {
        {255, 16, "FF"},
        {255, 2, "11111111"},
        {35, 36, "Z"},
        {0, 2, "0"},
        {0, 36, "0"},
        {255, 1, "0"},
        {255, 37, "0"},
        {255, -16, "0"},
        {2.75, 10, "2"},
        {-255, 16, "-FF"},
        {9007199254740993.0, 10, "9007199254740992"},
        {18446744073709551616.0, 10, "18446744073709551616"},
        {DBL_MAX, 16, dblMaxHex},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ToRadixText(c.value, qint16(c.radix)), c.text) << c.value << " radix " << c.radix;
    EXPECT_EQ(FailureOf([] { ToRadixText(INFINITY, 10); }), FailureKind::Overflow);
    EXPECT_EQ(FailureOf([] { ToRadixText(NAN, 10); }), FailureKind::Overflow);
}

struct FromRadixCase {
    QString text;
    int radix;
    double value;
};

TEST(FromRadixText, ReadsDigitStringsOfTheRadix)
{
    const FromRadixCase cases[] = {
        {"ff", 16, 255},
        {"FF", 16, 255},
        {"fF", 16, 255},
        {" ff\t", 16, 255},
        {"11", 2, 3},
        {"z", 36, 35},
        {"Z", 36, 35},
        {"0000000000000000000000000000000000000000001", 2, 1},
        {"", 10, 0},
        {"   ", 10, 0},
        {"z", 37, 0},  // the radix is out of range: the text is not looked at
        {"z", 1, 0},
        {"1.5", 0, 0},
        // Beyond 2^53 the exact value is rounded once, to nearest even.
        {"20000000000001", 16, 9007199254740992.0},
        {"20000000000003", 16, 9007199254740996.0},
        {"FFFFFFFFFFFFFFFF", 16, 18446744073709551616.0},
        {"FFFFFFFFFFFFF8" + Repeat("0", 242), 16, DBL_MAX},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FromRadixText(c.text, qint16(c.radix)), c.value) << c.text.toStdString();
}

TEST(FromRadixText, RefusesTextThatIsNotADigitStringOfTheRadix)
{
    const std::pair<QString, int> cases[] = {
        {"1.5", 10}, {"1 5", 10}, {"-5", 10},    {"+5", 10},        {"5-", 10},        {"12", 2},
        {"g", 16},   {"Z", 35},   {"1,000", 10}, {u"\uff46"_s, 16}, {u"\u00ff"_s, 36}, {QString(QChar(0xdc00)), 16},
    };
    for (const auto &[text, radix] : cases)
        EXPECT_EQ(FailureOf([&] { FromRadixText(text, qint16(radix)); }), FailureKind::InvalidInput)
            << text.toStdString() << " radix " << radix;
}

TEST(FromRadixText, OverflowsJustBeyondTheLargestDouble)
{
    const QString dblMaxHex = "FFFFFFFFFFFFF8" + Repeat("0", 242);
    EXPECT_EQ(ToRadixTextExact(FromRadixTextExact(dblMaxHex, 16), 16), dblMaxHex);
    const QString beyond[][2] = {
        {"FFFFFFFFFFFFF8" + Repeat("0", 241) + "1", "16"},  // DBL_MAX + 1
        {"1" + Repeat("0", 1024), "2"},                     // 2^1024
        {Repeat("Z", 300), "36"},
        {Repeat("1", 100000), "10"},
    };
    for (const auto &b : beyond)
        EXPECT_EQ(FailureOf([&] { FromRadixTextExact(b[0], b[1].toInt()); }), FailureKind::Overflow)
            << b[0].left(20).toStdString();
}

struct ExactCase {
    QString text;
    int from;
    int to;
    QString result;
};

TEST(RadixConversion, IsExactBeyondTwoToThe53)
{
    const ExactCase cases[] = {
        {"FFFFFFFFFFFFFFFF", 16, 10, "18446744073709551615"},
        {"18446744073709551615", 10, 16, "FFFFFFFFFFFFFFFF"},
        {"9007199254740993", 10, 2, "1" + Repeat("0", 52) + "1"},
        {"zz", 36, 10, "1295"},
        {"ff", 16, 2, "11111111"},
        {"0", 10, 36, "0"},
        {"ff", 16, 37, "0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ToRadixTextExact(FromRadixTextExact(c.text, c.from), c.to), c.result) << c.text.toStdString();
}

TEST(RadixConversion, A300DigitRadix36NumberBelowTheLimitRoundTrips)
{
    // DBL_MAX written in radix 36, widened to 300 digits with leading zeros.
    const QString dblMax36 = ToRadixText(DBL_MAX, 36);
    ASSERT_LT(dblMax36.size(), 300);
    const QString text = QString(300 - dblMax36.size(), u'0') + dblMax36.toLower();
    const QString binary = ToRadixTextExact(FromRadixTextExact(text, 36), 2);
    EXPECT_EQ(binary, Repeat("1", 53) + Repeat("0", 971));
    EXPECT_EQ(FromRadixText(binary, 2), DBL_MAX);
}

TEST(RadixConversion, WholeDoublesRoundTripInEveryRadix)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(0, 1000);
    for (int i = 0; i < 2000; ++i) {
        const double value = IntegerPart(std::pow(2.0, exponent(random)));
        const auto radix = qint16(2 + i % 35);
        ASSERT_EQ(FromRadixText(ToRadixText(value, radix), radix), value) << value;
    }
}

}  // namespace
