#pragma once
// Converting a typed value from one unit of the loaded series to another.
//
// The conversion session fills a ConversionRequest, calls ConvertRequest and
// takes the outcome in this order: the result text is made for the result box
// (when resultWritten), then either the failure ends the command or the
// result line is built from the shown source value, the unit names and the
// result text as the box shows it.

#include "catalogue/UnitRecord.h"
#include "convert/ConversionFailure.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

// How results are shown, as the user chose it. The target unit may still
// refuse the grouped or scientific style; the plain style is then used.
enum class ResultStyle { Plain, Grouped, Scientific };

// The stored setting (0 plain, 1 grouped, 2 scientific) as a style; any other
// number shows results plain.
ResultStyle ResultStyleOf(int showAns);

// The digit limit of the grouped style when none is given.
constexpr int DefaultPlaceNum = 15;

// The significant digits a result keeps: 1 to 15; 15 shows every digit a
// result has.
constexpr int MinSigDigits = 1;
constexpr int MaxSigDigits = 15;
constexpr int DefaultSigDigits = 15;

// The answer where a unit's value is infinite: 0 into or out of a
// reciprocal unit (an infinite pace at standstill, infinite distance on no
// fuel).
inline constexpr char16_t kInfinityText[] = u"∞";

struct ConversionRequest {
    QString typedText;        // the value box as typed
    int sourcePos = -1;       // list position of the source unit, -1 for none
    int targetPos = -1;       // list position of the target unit, -1 for none
    bool numberBase = false;  // the series is the number-base series
    ResultStyle style = ResultStyle::Plain;
    int placeNum = DefaultPlaceNum;    // digit limit of the grouped style
    int sigDigits = DefaultSigDigits;  // significant digits of a result
    // A linear series' value is read as arithmetic too ("1/3", "2*(3+4)",
    // ReadValue); the result line then shows such a value as typed.
    bool formulas = false;
    // The value itself when typedText is a result shown earlier and left as
    // it was: converted instead of what the text reads as (which has lost
    // digits, or is "∞"), so that a swap gives back the value exactly.
    // typedText remains the source value the line shows. Ignored in the
    // number-base series.
    std::optional<double> keptValue = std::nullopt;
    // When not empty, the target is a value in several units, these list
    // positions, largest first (targetPos is then ignored).
    std::vector<int> targetParts = {};
};

struct ConversionOutcome {
    bool resultWritten = false;  // the result text is ready for the result box
    QString resultText;
    bool failed = false;
    FailureKind failure = FailureKind::Other;
    QString shownSource;  // the source value as the result line shows it
    // The result before it was rounded and written, for a later swap; NaN
    // for a digit string; of a value in several units, the value in its
    // last unit.
    double resultValue = 0.0;
    // Of a value in several units: the number of each part shown and its
    // unit's list position (leading parts of 0 are not shown).
    QStringList partTexts;
    std::vector<int> partUnits;
};

ConversionOutcome ConvertRequest(const ConversionRequest &request, const UnitArray &units);

// The result text of a linear unit: r rounded to sigDigits significant
// digits and written in the style, as far as the unit permits it; "∞" for an
// infinite r in every style.
QString StyledResultText(double r, const UnitRecord &target, ResultStyle style, int placeNum, int sigDigits);
// The same text in UTF-8, appended to out.
void AppendStyledResultText(std::string *out, double r, const UnitRecord &target, ResultStyle style, int placeNum,
                            int sigDigits);

// For a caller that writes many results as bytes: ConvertRequest's result
// text in UTF-8, appended to out, for a request that converts a plain number
// from one unit of a linear series into another, and whose result line shows
// the value as typed (any target style but the grouped one). Returns false,
// appending nothing, for any other request and for one that fails:
// ConvertRequest then tells its outcome.
bool AppendLinearResultText(const ConversionRequest &request, const UnitArray &units, std::string *out);

// One line of the last result: "v (src) => r (dst)" and CR LF.
QString ResultLine(const QString &shownSource, const QString &sourceUnit, const QString &resultText,
                   const QString &targetUnit);

// Of a value in several units: the result text, "5 尺 2.8 寸", and its part
// of the result line, "5 (尺) 2.8 (寸)".
QString CompoundResultText(const QStringList &partTexts, const QStringList &unitNames);
QString CompoundLineText(const QStringList &partTexts, const QStringList &unitNames);

// A result as the value box takes it back, reading as the same number: the
// group separators and a final point dropped, the empty text of a grouped
// zero as "0". Digit strings of the number-base series stay as they are.
QString ValueTextOfResult(const QString &resultText, bool numberBase);
