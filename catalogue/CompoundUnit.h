#pragma once
// A value in several units of one series, largest first: the "#併記" line
// of a series file (see UnitFile.h). It is a target only, listed after the
// units of the target list under its own name ("尺・寸").

#include "catalogue/UnitRecord.h"

#include <QString>
#include <vector>

struct CompoundUnit {
    QString name;            // as the target list shows it
    std::vector<int> parts;  // indexes of its units in the loaded series, largest first

    bool operator==(const CompoundUnit &) const = default;
};

using CompoundArray = std::vector<CompoundUnit>;

// What keeps a "#併記" line from being read.
enum class CompoundProblem {
    None,
    NoName,           // the line has no name
    UnitMissing,      // it names a unit the series does not have
    ReciprocalUnit,   // it names a reciprocal unit
    TooFewUnits,      // fewer than two units
    NotLargestFirst,  // the units are not in order of size, largest first (a size of 0 or less included)
};

// The compound unit of name and unitNames in units (the loaded series,
// counted and reciprocal units): None and compound filled in, or the first
// problem, with the unit's name in problemUnit where there is one. Units are
// found by name, else by alias, as FindUnitByName finds them.
CompoundProblem ReadCompoundUnit(const QString &name, const QStringList &unitNames, const UnitArray &units,
                                 CompoundUnit &compound, QString *problemUnit = nullptr);
