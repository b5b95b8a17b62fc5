#pragma once
// A value in several units of one series, largest first: 5 尺 2.8 寸,
// 5 ft 10.9 in, 1 時間 2 分 3.5 秒.
//
// Every part but the last is a whole number; the last carries the fraction,
// in the chosen style and significant digits. A last part that rounds up to
// a whole unit of the part before it carries into it (never 5 尺 10 寸),
// leading parts of 0 are left out (0.5 m is 1 尺 6.5 寸), and a negative
// value is signed once, on its first part shown.

#include "catalogue/UnitRecord.h"
#include "convert/Conversion.h"

#include <QString>
#include <vector>

struct CompoundStyle {
    ResultStyle style = ResultStyle::Plain;
    int placeNum = DefaultPlaceNum;
    int sigDigits = DefaultSigDigits;
};

struct CompoundPart {
    int index = 0;  // of the part's unit among the units given
    QString text;   // its number as shown
};

// The parts of base (a value in the series' base unit) in units, which are
// linear units of positive factors, largest first. Raises Overflow when the
// value is too large to split.
std::vector<CompoundPart> CompoundParts(double base, const std::vector<const UnitRecord *> &units,
                                        const CompoundStyle &style);
