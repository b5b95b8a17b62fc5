#pragma once
// A conversion asked for in words, as a command line or a line of a file
// gives it ("1/3 尺 cm", "5尺3寸 cm", "6畳を平方メートルで", "30 mpg in
// L/100km"), resolved to a series, its two units and the value to convert.
//
// The words VALUE FROM [TO] are read as such when FROM (and TO) are unit
// names: a source found in several series is settled by the target, the
// target is looked up in the source's series, and only a source that stays
// in several series is an error naming them. The value then goes to the
// conversion as typed when it reads as a plain number, or is a digit string
// of the number-base series; any other value is read by the value parser.
// Words of any other shape (or a VALUE the parser cannot read on its own)
// are joined with blanks and read as one query (ParseQuery).

#include "convert/IndexNameLookup.h"

#include <QString>
#include <QStringList>
#include <functional>

struct WordsQuery {
    int series = -1;  // in the name index
    int source = -1;  // position in the series' units
    int target = -1;  // position in the series' units; -1: every unit
    QString value;    // the text to convert: reads as a number, or a digit string of the number base
    QString shown;    // the value as the answer shows it
    bool numberBase = false;
};

// The units of a series of the index, read once by the caller.
using SeriesUnits = std::function<const UnitArray &(int series)>;

// Resolves words; onlySeries, when not empty, is the one series to look in.
// Throws ValueFailure, whose message names the fault.
WordsQuery ResolveWords(const QStringList &words, const IndexNameLookup &names, const QString &onlySeries,
                        const SeriesUnits &unitsOf);

// The shortest text that reads back as value.
QString ExactNumberText(double value);
