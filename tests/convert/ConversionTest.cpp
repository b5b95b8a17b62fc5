// Converting a typed value between two units of a series: the three styles,
// linear and number-base series, and each failure kind.
#include "catalogue/SeriesCatalogue.h"
#include "convert/Conversion.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <optional>
#include <string>

using namespace Qt::StringLiterals;

namespace {

UnitRecord Unit(const char *name, double factor, double offset, int separatorOK, int exponentOK)
{
    return {QString::fromUtf8(name), factor, offset, qint16(separatorOK), qint16(exponentOK)};
}

// A linear series: lengths and temperatures side by side.
const UnitArray &Linear()
{
    static const UnitArray units = {
        Unit("m", 1, 0, 1, 1),         // 0
        Unit("km", 1000, 0, 1, 1),     // 1
        Unit("mm", 0.001, 0, 0, 0),    // 2: neither grouped nor scientific
        Unit("K", 1, 0, 1, 1),         // 3
        Unit("℃", 1, -273.15, 1, 1),   // 4
        Unit("zero", 0, 0, 1, 1),      // 5: a factor of 0
        Unit("huge", 1e300, 0, 1, 1),  // 6
    };
    return units;
}

// The number-base series; the factor is the radix.
const UnitArray &Radices()
{
    static const UnitArray units = {
        Unit("2進数", 2, 0, 0, 0),       // 0
        Unit("10進数", 10, 0, 0, 0),     // 1
        Unit("16進数", 16, 0, 0, 0),     // 2
        Unit("36進数", 36, 0, 0, 0),     // 3
        Unit("bad", 40000, 0, 0, 0),     // 4: beyond 16 bits
        Unit("37進数", 37, 0, 0, 0),     // 5: radix out of range
        Unit("15.5", 15.5, 0, 0, 0),     // 6: rounds to 16
        Unit("grouped16", 16, 0, 1, 0),  // 7: allows grouping
    };
    return units;
}

// Fuel economy: km/L is the base unit, L/100km and L/km are its reciprocals.
const UnitArray &Fuel()
{
    static const UnitArray units = [] {
        UnitArray u = {
            Unit("km/L", 1, 0, 1, 1),                      // 0
            Unit("mpg", 1.609344 / 3.785411784, 0, 1, 1),  // 1
            Unit("L/100km", 100, 0, 1, 1),                 // 2
            Unit("L/km", 1, 0, 0, 0),                      // 3
            Unit("no constant", 0, 0, 1, 1),               // 4: a reciprocal line without K
            Unit("negative", -100, 0, 1, 1),               // 5: a constant below 0
            Unit("big", 1e300, 0, 1, 1),                   // 6: far from the base unit
            Unit("h/km", 1e300, 0, 1, 1),                  // 7: a reciprocal of a K as far
        };
        for (size_t i = 2; i < u.size(); ++i)
            u[i].Reciprocal = i != 6;
        return u;
    }();
    return units;
}

enum Series { LinearSeries, NumberBase, FuelSeries };

struct Case {
    const char *name;
    Series series;
    QString typed;
    int source;
    int target;
    int showAns;
    int placeNum;
    // Expected outcome; a failure kind of nullopt means success.
    bool written;
    QString result;
    std::optional<FailureKind> failure;
    QString shown;
    int sig = 15;                     // significant digits
    std::optional<double> kept = {};  // a kept value behind the typed text
};

constexpr auto Overflow = FailureKind::Overflow;
constexpr auto Invalid = FailureKind::InvalidInput;
constexpr auto Other = FailureKind::Other;
constexpr std::nullopt_t Ok = std::nullopt;

const Case kCases[] = {
    // name, series, typed, source, target, showAns, placeNum, written, result, failure, shown
    {"same unit re-writes the number", LinearSeries, "1,000", 0, 0, 0, 15, true, "1000", Ok, "1,000"},
    {"same unit keeps digit strings", NumberBase, "ff", 2, 2, 0, 15, true, "ff", Ok, "ff"},
    {"same unit digit string is not checked", NumberBase, "x y", 2, 2, 0, 15, true, "x y", Ok, "x y"},
    {"same unit scientific leaves empty text", LinearSeries, "", 0, 0, 2, 15, true, "", Ok, ""},
    {"same unit scientific", LinearSeries, "1234.5", 0, 0, 2, 15, true, "1.23E+03", Ok, "1234.5"},
    {"same unit grouped", LinearSeries, "1234567.5", 0, 0, 1, 15, true, "1,234,567.5", Ok, "1,234,567.5"},
    {"same unit grouped drops the point of 0.", LinearSeries, "0.", 0, 0, 1, 15, true, "0", Ok, "0"},
    {"same unit grouped below 1 keeps the text", LinearSeries, "0.50", 0, 0, 1, 15, true, "0.50", Ok, "0.50"},
    {"same unit plain of empty text", LinearSeries, "", 0, 0, 0, 15, false, "", Invalid, ""},
    {"same unit grouped of empty text", LinearSeries, "", 0, 0, 1, 15, false, "", Invalid, ""},
    {"same unit plain beyond 15 digits", LinearSeries, "123456789012345678", 0, 0, 0, 15, true, "1.23456789012346E+17",
     Ok, "123456789012345678"},

    {"plain km to m", LinearSeries, "1", 1, 0, 0, 15, true, "1000", Ok, "1"},
    {"negative zero shows as 0", LinearSeries, "-0", 0, 1, 0, 15, true, "0", Ok, "-0"},
    {"grouped 1234.5", LinearSeries, "1.2345", 1, 0, 1, 15, true, "1,234.5", Ok, "1.2345"},
    {"grouped drops the final point", LinearSeries, "0.005", 1, 0, 1, 15, true, "5", Ok, "0.005"},
    {"grouped below 1 is plain", LinearSeries, "0.0005", 1, 0, 1, 15, true, "0.5", Ok, "0.0005"},
    {"grouped negative is plain", LinearSeries, "-1.234", 1, 0, 1, 15, true, "-1234", Ok, "-1.234"},
    {"grouped from 10^15 is plain", LinearSeries, "1e12", 1, 0, 1, 15, true, "1E+15", Ok, "1,000,000,000,000"},
    {"grouped just below 10^15", LinearSeries, "999999999999.999", 1, 0, 1, 15, true, "999,999,999,999,999", Ok,
     "999,999,999,999.999"},
    {"grouped with a wider limit", LinearSeries, "1e14", 1, 0, 1, 20, true, "100,000,000,000,000,000", Ok,
     "100,000,000,000,000"},
    {"grouped 1e23 at a limit of 23 is plain", LinearSeries, "1e23", 0, 3, 1, 23, true, "1E+23", Ok, "1e23"},
    {"grouped 16 written digits at a limit of 15 is plain", LinearSeries, "999999999999999.9", 0, 3, 1, 15, true,
     "1E+15", Ok, "999999999999999.9"},
    {"grouped limit of 4 digits", LinearSeries, "12.345", 1, 0, 1, 4, true, "12345", Ok, "12.345"},
    {"grouped within 4 digits", LinearSeries, "1.234", 1, 0, 1, 4, true, "1,234", Ok, "1.234"},
    {"source grouped in the line", LinearSeries, "1234.5", 0, 1, 1, 15, true, "1.2345", Ok, "1,234.5"},
    {"source grouped drops its point", LinearSeries, "5000", 0, 1, 1, 15, true, "5", Ok, "5,000"},
    {"no grouping where the target forbids it", LinearSeries, "1234", 0, 2, 1, 15, true, "1234000", Ok, "1234"},
    {"separators and a trailing sign shown as typed", LinearSeries, "1,234-", 1, 0, 0, 15, true, "-1234000", Ok,
     "1,234-"},
    {"scientific", LinearSeries, "1.2345", 1, 0, 2, 15, true, "1.23E+03", Ok, "1.2345"},
    {"scientific 9.995", LinearSeries, "9.995", 0, 3, 2, 15, true, "1.00E+01", Ok, "9.995"},
    {"scientific near the largest double", LinearSeries, "1.7976931348623157e308", 0, 3, 2, 15, true, "1.80E+308", Ok,
     "1.7976931348623157e308"},
    {"no exponent where the target forbids it", LinearSeries, "1.2345", 0, 2, 2, 15, true, "1234.5", Ok, "1.2345"},
    {"unknown style is plain", LinearSeries, "1.2345", 1, 0, 7, 15, true, "1234.5", Ok, "1.2345"},
    {"offset: base to celsius", LinearSeries, "0", 3, 4, 0, 15, true, "-273.15", Ok, "0"},
    {"offset: celsius to base", LinearSeries, "0", 4, 3, 0, 15, true, "273.15", Ok, "0"},
    {"offset: 100 celsius", LinearSeries, "100", 4, 3, 0, 15, true, "373.15", Ok, "100"},

    {"empty box", LinearSeries, "", 0, 1, 0, 15, false, "", Invalid, ""},
    {"two points", LinearSeries, "1.2.3", 0, 1, 0, 15, false, "", Invalid, ""},
    {"lone sign", LinearSeries, "-", 0, 1, 0, 15, false, "", Invalid, ""},
    {"1e400", LinearSeries, "1e400", 0, 1, 0, 15, false, "", Overflow, ""},
    {"result beyond double range", LinearSeries, "1e10", 6, 0, 0, 15, false, "", Overflow, ""},
    {"huge value with an offset", LinearSeries, "-1.7e308", 4, 3, 0, 15, true, "-1.7E+308", Ok, "-1.7e308"},
    {"non-zero divided by a factor of 0", LinearSeries, "5", 0, 5, 0, 15, false, "", Other, ""},
    {"zero divided by a factor of 0", LinearSeries, "0", 0, 5, 0, 15, false, "", Overflow, ""},
    {"no source unit", LinearSeries, "1", -1, 0, 0, 15, false, "", Other, ""},
    {"target beyond the units", LinearSeries, "1", 0, 7, 0, 15, false, "", Other, ""},

    {"30 mpg in L/100km", FuelSeries, "30", 1, 2, 0, 15, true, "7.84048611111111", Ok, "30"},
    {"reciprocal to reciprocal", FuelSeries, "5", 2, 3, 0, 15, true, "0.05", Ok, "5"},
    {"0 in a reciprocal unit is infinite", FuelSeries, "0", 2, 0, 0, 15, true, u"∞"_s, Ok, "0"},
    {"0 into a reciprocal unit is infinite", FuelSeries, "-0", 0, 2, 0, 15, true, u"∞"_s, Ok, "-0"},
    {"grouped infinity", FuelSeries, "0", 0, 2, 1, 15, true, u"∞"_s, Ok, "0"},
    {"scientific infinity", FuelSeries, "0", 0, 2, 2, 15, true, u"∞"_s, Ok, "0"},
    {"0 reciprocal to reciprocal is 0", FuelSeries, "0", 2, 3, 0, 15, true, "0", Ok, "0"},
    {"0 in the same reciprocal unit", FuelSeries, "0", 2, 2, 0, 15, true, "0", Ok, "0"},
    {"0 in a reciprocal unit without a constant", FuelSeries, "0", 4, 0, 0, 15, false, "", Other, ""},
    {"kept infinity swaps back to 0", FuelSeries, u"∞"_s, 2, 0, 0, 15, true, "0", Ok, u"∞"_s, 15, HUGE_VAL},
    {"kept infinity into a linear unit", FuelSeries, u"∞"_s, 0, 1, 0, 15, true, u"∞"_s, Ok, u"∞"_s, 15, HUGE_VAL},
    // 7 L/100km is 14.2857142857143 km/L as shown; the text alone goes back
    // to 6.99999999999999, the kept value to 7.
    {"shown text alone does not swap back", FuelSeries, "14.2857142857143", 0, 2, 0, 15, true, "6.99999999999999", Ok,
     "14.2857142857143"},
    {"kept value swaps back exactly", FuelSeries, "14.2857142857143", 0, 2, 0, 15, true, "7", Ok, "14.2857142857143",
     15, 100.0 / 7.0},
    {"kept value is not grouped again", LinearSeries, "1,234.5", 0, 1, 1, 15, true, "1.2345", Ok, "1,234.5", 15,
     1234.5},

    // name, series, typed, source, target, showAns, placeNum, written, result, failure, shown, sig
    {"3 digits", LinearSeries, "3.30578512396694", 0, 3, 0, 15, true, "3.31", Ok, "3.30578512396694", 3},
    {"3 digits of a whole number", LinearSeries, "123456", 0, 3, 0, 15, true, "123000", Ok, "123456", 3},
    {"3 digits in the same unit", LinearSeries, "123456", 0, 0, 0, 15, true, "123000", Ok, "123456", 3},
    {"3 digits drop trailing zeros", LinearSeries, "5.0004", 0, 3, 0, 15, true, "5", Ok, "5.0004", 3},
    {"rounding carries into a new digit", LinearSeries, "9.996", 0, 3, 0, 15, true, "10", Ok, "9.996", 3},
    {"3 digits below 1", LinearSeries, "0.000123456", 0, 3, 0, 15, true, "0.000123", Ok, "0.000123456", 3},
    {"3 digits grouped", LinearSeries, "1234.567", 1, 0, 1, 15, true, "1,230,000", Ok, "1,234.567", 3},
    {"rounding reaches the digit limit", LinearSeries, "9999.6", 0, 3, 1, 4, true, "10000", Ok, "9,999.6", 4},
    {"1 digit scientific", LinearSeries, "1.2345", 1, 0, 2, 15, true, "1.00E+03", Ok, "1.2345", 1},
    {"digits beyond 15 count as 15", LinearSeries, "1.23456789012345678", 0, 3, 0, 15, true, "1.23456789012346", Ok,
     "1.23456789012345678", 40},
    {"digit strings are not rounded", NumberBase, "FFFFFFFFFFFFFFFF", 2, 1, 0, 15, true, "18446744073709551615", Ok,
     "FFFFFFFFFFFFFFFF", 3},
    {"reciprocal unit without a constant", FuelSeries, "1", 4, 0, 0, 15, false, "", Other, ""},
    {"reciprocal unit without a constant into itself", FuelSeries, "5", 4, 4, 0, 15, false, "", Other, ""},
    {"reciprocal unit of a negative constant", FuelSeries, "5", 5, 5, 0, 15, false, "", Other, ""},
    {"into a reciprocal unit of a negative constant", FuelSeries, "5", 0, 5, 0, 15, false, "", Other, ""},
    // In range although the plain order passes a value beyond a double.
    {"linear beyond a double in the base into a reciprocal", FuelSeries, "1e10", 6, 7, 2, 15, true, "1.00E-10", Ok,
     "1e10"},
    {"reciprocal beyond a double in the base into a linear", FuelSeries, "1e-10", 7, 6, 2, 15, true, "1.00E+10", Ok,
     "1e-10"},
    {"reciprocal beyond double range", FuelSeries, "1e-307", 2, 0, 0, 15, false, "", Overflow, ""},

    {"radix 16 to 2", NumberBase, "ff", 2, 0, 0, 15, true, "11111111", Ok, "ff"},
    {"radix 36 to 10", NumberBase, "z", 3, 1, 0, 15, true, "35", Ok, "z"},
    {"blanks around digits", NumberBase, " ff ", 2, 0, 0, 15, true, "11111111", Ok, " ff "},
    {"empty digit string is 0", NumberBase, "", 2, 0, 0, 15, true, "0", Ok, ""},
    {"beyond 2^53, exactly", NumberBase, "FFFFFFFFFFFFFFFF", 2, 1, 0, 15, true, "18446744073709551615", Ok,
     "FFFFFFFFFFFFFFFF"},
    {"digit string with a point", NumberBase, "1.5", 1, 0, 0, 15, false, "", Invalid, ""},
    {"digit not below the radix", NumberBase, "12", 0, 1, 0, 15, false, "", Invalid, ""},
    {"digit string with a sign", NumberBase, "-5", 1, 0, 0, 15, false, "", Invalid, ""},
    {"digit string beyond the largest double", NumberBase, QString(400, u'9'), 1, 0, 0, 15, false, "", Overflow, ""},
    {"source radix beyond 16 bits", NumberBase, "1", 4, 1, 0, 15, false, "", Overflow, ""},
    {"target radix beyond 16 bits", NumberBase, "1", 1, 4, 0, 15, false, "", Overflow, ""},
    {"invalid text before a bad target radix", NumberBase, "g", 2, 4, 0, 15, false, "", Invalid, ""},
    {"target radix out of range", NumberBase, "255", 1, 5, 0, 15, true, "0", Ok, "255"},
    {"source radix out of range", NumberBase, "zz", 5, 1, 0, 15, true, "0", Ok, "zz"},
    {"radix factor rounds to even", NumberBase, "ff", 6, 1, 0, 15, true, "255", Ok, "ff"},
    // The source value of the line is read as a decimal number when the
    // target allows grouping: the result stays, the line fails.
    {"line fails after the result", NumberBase, "ff", 2, 7, 1, 15, true, "FF", Invalid, ""},
    {"grouped target, decimal digits", NumberBase, "1234", 1, 7, 1, 15, true, "4D2", Ok, "1,234"},
};

class ConvertRequestTest : public ::testing::TestWithParam<Case> {};

ConversionRequest RequestOf(const Case &c)
{
    ConversionRequest request;
    request.typedText = c.typed;
    request.sourcePos = c.source;
    request.targetPos = c.target;
    request.numberBase = c.series == NumberBase;
    request.style = ResultStyleOf(c.showAns);
    request.placeNum = c.placeNum;
    request.sigDigits = c.sig;
    request.keptValue = c.kept;
    return request;
}

const UnitArray &UnitsOf(const Case &c)
{
    return c.series == NumberBase ? Radices() : c.series == FuelSeries ? Fuel() : Linear();
}

TEST_P(ConvertRequestTest, GivesTheExpectedOutcome)
{
    const Case &c = GetParam();
    const ConversionOutcome out = ConvertRequest(RequestOf(c), UnitsOf(c));
    EXPECT_EQ(out.resultWritten, c.written);
    if (c.written) {
        EXPECT_EQ(out.resultText, c.result);
    }
    EXPECT_EQ(out.failed, c.failure.has_value());
    if (c.failure) {
        EXPECT_EQ(out.failure, *c.failure);
    } else {
        EXPECT_EQ(out.shownSource, c.shown);
    }
}

// The direct way for many values in a row writes what ConvertRequest writes,
// where it is taken: a plain number from one unit of a linear series into
// another, its line showing the value as typed (not grouped).
TEST_P(ConvertRequestTest, TheDirectResultIsConvertRequestsResult)
{
    const Case &c = GetParam();
    const ConversionRequest request = RequestOf(c);
    const UnitArray &units = UnitsOf(c);

    std::string direct = "before ";
    const bool taken = AppendLinearResultText(request, units, &direct);
    const bool groupedTarget = c.showAns == 1 && c.target >= 0 && std::size_t(c.target) < units.size()
        && units[std::size_t(c.target)].SeparatorOK == 1;
    EXPECT_EQ(taken, c.series != NumberBase && !c.kept && c.source != c.target && !c.failure && !groupedTarget);
    const ConversionOutcome outcome = ConvertRequest(request, units);
    if (taken) {
        EXPECT_EQ(direct, "before " + outcome.resultText.toStdString());
        EXPECT_EQ(outcome.shownSource, c.typed);
    } else {
        EXPECT_EQ(direct, "before ");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConvertRequestTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             std::string name;
                             for (const char *p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return std::to_string(info.index) + "_" + name;
                         });

TEST(Conversion, OnlyTheExactNameIsTheNumberBaseSeries)
{
    EXPECT_EQ(NumberBaseSeriesName(), u"進数"_s);
    EXPECT_TRUE(IsNumberBaseSeries(u"進数"_s));
    EXPECT_FALSE(IsNumberBaseSeries(u"進数 "_s));
    EXPECT_FALSE(IsNumberBaseSeries(u"長さ"_s));
    EXPECT_FALSE(IsNumberBaseSeries(QString()));
}

TEST(Conversion, ANamedSeriesOtherThanNumberBaseIsLinear)
{
    ConversionRequest request;
    request.typedText = "ff";
    request.sourcePos = 2;
    request.targetPos = 0;
    request.numberBase = IsNumberBaseSeries(u"進数2"_s);
    const ConversionOutcome out = ConvertRequest(request, Radices());
    EXPECT_TRUE(out.failed);
    EXPECT_EQ(out.failure, FailureKind::InvalidInput);
}

TEST(Conversion, ResultLineJoinsValueUnitsAndLineEnd)
{
    EXPECT_EQ(ResultLine("1", "km", "1000", "m"), u"1 (km) => 1000 (m)\r\n"_s);
    EXPECT_EQ(ResultLine("1,234.5", u"℃"_s, "", "K"), u"1,234.5 (℃) =>  (K)\r\n"_s);
}

TEST(Conversion, AResultGoesBackIntoTheValueBoxAsTheSameNumber)
{
    struct Case {
        const char *result;
        bool numberBase;
        const char *value;
    };
    const Case cases[] = {
        {"1,234,500.", false, "1234500"},
        {"", false, "0"},  // a grouped zero shows nothing
        {"1.23E+03", false, "1.23E+03"},
        {"FF", true, "FF"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.result);
        const QString value = ValueTextOfResult(QString::fromUtf8(c.result), c.numberBase);
        EXPECT_EQ(value, QString::fromUtf8(c.value));
    }
}

// Lengths for values in several units, and minutes and seconds of arc.
const UnitArray &Lengths()
{
    static const UnitArray units = {
        Unit("m", 1, 0, 1, 1),                   // 0
        Unit("間", 6.0 * 10 / 33, 0, 1, 1),      // 1
        Unit("尺", 10.0 / 33, 0, 1, 1),          // 2
        Unit("寸", 1.0 / 33, 0, 1, 1),           // 3
        Unit("ft", 0.3048, 0, 1, 1),             // 4
        Unit("in", 0.0254, 0, 1, 1),             // 5
        Unit("mile", 1609.344, 0, 1, 1),         // 6
        Unit("yd", 0.9144, 0, 1, 1),             // 7
        Unit("度", 3600, 0, 1, 1),               // 8
        Unit("分", 60, 0, 1, 1),                 // 9
        Unit("秒", 1, 0, 1, 1),                  // 10
        Unit("no exponent", 1.0 / 33, 0, 0, 0),  // 11
    };
    return units;
}

struct CompoundCase {
    const char *typed;
    int source;
    std::vector<int> parts;
    int showAns;
    int sig;
    const char *text;  // the result text; empty for a failure
    const char *line;  // its part of the result line
};

TEST(Conversion, AValueInSeveralUnitsSplitsIntoWholePartsAndAFraction)
{
    const CompoundCase cases[] = {
        {"1.6", 0, {2, 3}, 0, 15, "5 尺 2.8 寸", "5 (尺) 2.8 (寸)"},
        {"0.5", 0, {2, 3}, 0, 15, "1 尺 6.5 寸", "1 (尺) 6.5 (寸)"},  // 0 尺 is left out
        {"0.01", 0, {1, 2, 3}, 0, 15, "0.33 寸", "0.33 (寸)"},
        {"2", 0, {1, 2, 3}, 0, 15, "1 間 0 尺 6 寸", "1 (間) 0 (尺) 6 (寸)"},  // only leading zeros go
        {"-1.6", 0, {2, 3}, 0, 15, "-5 尺 2.8 寸", "-5 (尺) 2.8 (寸)"},        // signed once
        {"0", 0, {2, 3}, 0, 15, "0 寸", "0 (寸)"},
        {"1.8", 0, {4, 5}, 0, 3, "5 ft 10.9 in", "5 (ft) 10.9 (in)"},
        {"1.8287", 0, {4, 5}, 0, 3, "6 ft 0 in", "6 (ft) 0 (in)"},                 // 5 ft 11.996 in carries
        {"1.8181", 0, {2, 3}, 0, 2, "6 尺 0 寸", "6 (尺) 0 (寸)"},                 // never 5 尺 10 寸
        {"1.8181", 0, {1, 2, 3}, 0, 2, "1 間 0 尺 0 寸", "1 (間) 0 (尺) 0 (寸)"},  // carries twice
        {"1000.5", 6, {6, 7}, 1, 15, "1,000 mile 880 yd", "1,000 (mile) 880 (yd)"},
        {"1.6", 0, {2, 3}, 2, 15, "5 尺 2.80E+00 寸", "5 (尺) 2.80E+00 (寸)"},
        {"1.6", 0, {2, 11}, 2, 15, "5 尺 2.8 no exponent", "5 (尺) 2.8 (no exponent)"},
        {"12.3456", 8, {8, 9, 10}, 0, 15, "12 度 20 分 44.16 秒", "12 (度) 20 (分) 44.16 (秒)"},
        // The fraction keeps no digit finer than the whole value has.
        {"123456.789", 8, {8, 9, 10}, 0, 15, "123456 度 47 分 20.4 秒", "123456 (度) 47 (分) 20.4 (秒)"},
        {"1e308", 6, {6, 7}, 0, 15, "", ""},  // too large in the last unit
    };
    for (const CompoundCase &c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " " + c.text);
        ConversionRequest request;
        request.typedText = QString::fromUtf8(c.typed);
        request.sourcePos = c.source;
        request.targetParts = c.parts;
        request.style = ResultStyleOf(c.showAns);
        request.sigDigits = c.sig;
        const ConversionOutcome out = ConvertRequest(request, Lengths());
        EXPECT_EQ(out.failed, *c.text == 0);
        if (out.failed)
            continue;
        EXPECT_EQ(out.resultText, QString::fromUtf8(c.text));
        QStringList names;
        for (const int unit : out.partUnits)
            names << Lengths()[size_t(unit)].UnitName;
        EXPECT_EQ(CompoundLineText(out.partTexts, names), QString::fromUtf8(c.line));
    }
}

TEST(Conversion, EachFailureKindHasItsMessage)
{
    const std::pair<FailureKind, QString> cases[] = {
        {FailureKind::Overflow, u"エラー ： オーバーフロー\r\n処理を中断します。"_s},
        {FailureKind::InvalidInput, u"エラー ： 不正な入力\r\n処理を中断します。"_s},
        {FailureKind::Other, u"エラー ： 原因不明\r\n処理を中断します。"_s},
    };
    for (const auto &[kind, text] : cases) {
        EXPECT_EQ(FailureMessage(kind), text);
        EXPECT_EQ(QString::fromUtf8(ConversionFailure(kind).what()), text);
    }
}

}  // namespace
