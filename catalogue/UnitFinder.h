#pragma once
// Finding a unit by typing part of its name, across every series.
//
// Names are compared in a folded form: compatibility forms unified (full-
// and half-width letters, digits and katakana, "㎡" and "m2"), letter case
// ignored, hiragana read as katakana, and blanks and "・" left out. A unit
// matches when the folded text is part of its folded name or of one of its
// other names. Matches are ranked exact, then starting with the text, then
// containing it; within a rank they keep the order the units were added in
// (series-list order, then unit order).
//
// The folded names are made once, when the finder is built; a search only
// compares them, so a keystroke stays cheap over a hundred thousand units.

#include "catalogue/SeriesCatalogue.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// The form in which typed text and unit names are compared.
QString FoldForSearch(QStringView text);

struct FoundUnit {
    int series = 0;  // index in the series list
    int unit = 0;    // index in its series
    QString name;
    QString seriesName;
};

class UnitFinder {
public:
    // Adds a unit; units are added in the order that breaks ties. A unit
    // whose name folds to nothing is not added.
    void add(const FoundUnit &unit, const QStringList &otherNames = {});

    // Indexes of the units that match typed, best first. Empty text, or
    // text that folds to nothing, matches nothing.
    std::vector<int> find(QStringView typed) const;

    const FoundUnit &unit(int index) const { return m_units[size_t(index)]; }
    int size() const { return int(m_units.size()); }

private:
    std::vector<FoundUnit> m_units;
    std::vector<QString> m_keys;     // folded names, the units' in turn
    std::vector<size_t> m_firstKey;  // per unit, its first key; one more at the end
};

// A finder over every unit of the series of the list, read from their
// files in unitsDirectory (ending in "/"), reciprocal units included and
// each found by its aliases as well. A file that yields no unit adds
// nothing.
UnitFinder BuildUnitFinder(const QString &unitsDirectory, const std::vector<SeriesEntry> &series);
