#pragma once
// Understanding what was typed into the desktop's search field: a value, the
// unit it is in, and perhaps the unit it should go into ("6畳 m2",
// "30 mpg to L/100km", "100 km/h").
//
// ParseSearchQuery is the one place that reads a query; the rest of the
// provider only sees its ParsedQuery. Units are found through the lookup it
// is given, so that the reading does not depend on how the series are held.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// One unit the lookup knows by a name: the series (an index of the caller's
// series list) and the unit's index in it.
struct UnitRef {
    int series = -1;
    int unit = -1;
    bool numberBase = false;  // the series is the number-base series, whose values are digit strings
    bool operator==(const UnitRef &) const = default;
};

// Every unit called name (by its name or an alias), in series-list order;
// empty when none is.
using UnitLookup = std::function<std::vector<UnitRef>(const QString &name)>;

struct ParsedQuery {
    bool understood = false;  // a value with a known unit
    QString value;            // the value as the value box takes it
    UnitRef source;
    UnitRef target;  // series -1: no target was given
    bool hasTarget() const { return target.series >= 0; }
};

// Words that stand between the source and the target unit.
QStringList IntoWords();

// Reads text. Full-width letters and digits read as their ASCII forms. A
// query is understood when it is a value followed by a unit, optionally by an
// into-word and a target unit of the same series; anything else (a plain
// number, a word, an unknown unit) is not.
ParsedQuery ParseSearchQuery(const QString &text, const UnitLookup &lookup);
