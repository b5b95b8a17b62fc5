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

// How results are shown, as the user chose it. The target unit may still
// refuse the grouped or scientific style; the plain style is then used.
enum class ResultStyle { Plain, Grouped, Scientific };

// The stored setting (0 plain, 1 grouped, 2 scientific) as a style; any other
// number shows results plain.
ResultStyle ResultStyleOf(int showAns);

// The digit limit of the grouped style when none is given.
constexpr int DefaultPlaceNum = 15;

struct ConversionRequest {
    QString typedText;        // the value box as typed
    int sourcePos = -1;       // list position of the source unit, -1 for none
    int targetPos = -1;       // list position of the target unit, -1 for none
    bool numberBase = false;  // the series is the number-base series
    ResultStyle style = ResultStyle::Plain;
    int placeNum = DefaultPlaceNum;  // digit limit of the grouped style
    // A linear series' value is read as arithmetic too ("1/3", "2*(3+4)",
    // ReadValue); the result line then shows such a value as typed.
    bool formulas = false;
};

struct ConversionOutcome {
    bool resultWritten = false;  // the result text is ready for the result box
    QString resultText;
    bool failed = false;
    FailureKind failure = FailureKind::Other;
    QString shownSource;  // the source value as the result line shows it
};

ConversionOutcome ConvertRequest(const ConversionRequest &request, const UnitArray &units);

// One line of the last result: "v (src) => r (dst)" and CR LF.
QString ResultLine(const QString &shownSource, const QString &sourceUnit, const QString &resultText,
                   const QString &targetUnit);

// A result as the value box takes it back, reading as the same number: the
// group separators and a final point dropped, the empty text of a grouped
// zero as "0". Digit strings of the number-base series stay as they are.
QString ValueTextOfResult(const QString &resultText, bool numberBase);
