#pragma once
// One unit of a series and the loaded series itself.
//
// A series file (see UnitFile.h) is a count followed by that many records of
// five items; each record becomes one UnitRecord. Lines after the records may
// declare reciprocal units, which follow the counted ones, and further names
// of units. Entry i of both unit lists of the main window is element i of the
// loaded UnitArray, so a list position is an index into it. The lists show
// each name as ShownName gives it.

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

struct UnitRecord {
    QString UnitName;        // shown in both unit lists
    double Factor = 0.0;     // size of one unit in the series' base unit; the radix in "進数"
    double Offset = 0.0;     // zero offset: base = (v - Offset) * Factor
    qint16 SeparatorOK = 0;  // only 1 allows "," grouping
    qint16 ExponentOK = 0;   // only 1 allows the exponent form
    // A reciprocal unit: v in it is Factor / v in the base unit, and base b is
    // Factor / b in it (Offset is 0 and unused).
    bool Reciprocal = false;
    QStringList Aliases = {};  // further names to find the unit by; never shown in the lists

    bool operator==(const UnitRecord &) const = default;
};

using UnitArray = std::vector<UnitRecord>;

// The most characters of a unit or series name that the windows show in
// their lists, the finder and the title: far more than any list is wide,
// while a name of millions of characters, laid out on every paint, would
// freeze the window. Result lines keep the whole name.
constexpr qsizetype kShownNameLength = 64;

// The name as the windows show it: whole up to kShownNameLength characters,
// else cut to end in "…" within that length (a character outside the BMP is
// kept whole or dropped whole).
inline QString ShownName(const QString &name)
{
    if (name.size() <= kShownNameLength)
        return name;
    qsizetype kept = kShownNameLength - 1;
    if (name.at(kept).isLowSurrogate())
        --kept;
    return name.first(kept) + QChar(0x2026);
}
