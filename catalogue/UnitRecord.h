#pragma once
// One unit of a series and the loaded series itself.
//
// A series file (see UnitFile.h) is a count followed by that many records of
// five items; each record becomes one UnitRecord. Entry i of both unit lists
// of the main window is element i of the loaded UnitArray, so a list position
// is an index into it.

#include <QString>
#include <QtGlobal>
#include <vector>

struct UnitRecord {
    QString UnitName;        // shown in both unit lists
    double Factor = 0.0;     // size of one unit in the series' base unit; the radix in "進数"
    double Offset = 0.0;     // zero offset: base = (v - Offset) * Factor
    qint16 SeparatorOK = 0;  // only 1 allows "," grouping
    qint16 ExponentOK = 0;   // only 1 allows the exponent form
};

using UnitArray = std::vector<UnitRecord>;
