#pragma once
// The one index of unit names: every name and alias of every unit of the
// series list, for the finder, tovelconv, the remembered unit pairs and any
// other front end that finds a unit by what the user typed.
//
// Two ways to find a unit, one rule each:
//
// Looking up a name (lookUp, FindUnitByName) finds the unit called exactly
// that: in each series the unit whose own name it is, else the first unit
// that has it among its aliases. Only when no unit is called so does the
// name's compatibility form (FoldName's first step) count, so that "℉", "m²"
// or "µ" find "°F", "m2" and "μ", which the series files' code page holds.
// Letter case is kept: "m" and "M" are different units.
//
// Searching (find) compares folded forms (FoldName): compatibility forms
// unified (full- and half-width letters, digits and katakana, "㎡" and
// "m2"), letter case ignored, hiragana read as katakana, and blanks and "・"
// left out. A unit matches when the folded text is part of one of its folded
// names. Matches rank: exact, starting with the text, containing it, and
// last a match that starts inside a word of a name and runs on into the next
// one ("mpg" in "imp gal") when the text typed has no blank. Within a rank
// they keep the order the units were added in (series-list order, then unit
// order). Each match tells which of the unit's names matched.
//
// The folded names are made at the first search and kept; a search only
// compares them, so a keystroke stays cheap over a hundred thousand units.

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitRecord.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>
#include <vector>

// The form in which a searched text and unit names are compared.
QString FoldName(QStringView text);

// The index in units of the unit called name, by the lookup rule above; -1
// when none is.
int FindUnitByName(const UnitArray &units, QStringView name);

struct IndexedUnit {
    int series = 0;  // index in the series list
    int unit = 0;    // index in its series
};

struct NameMatch {
    int unit = 0;  // index in the name index
    int name = 0;  // which of its names matched: 0 its own, 1 its first alias ...
};

class NameIndex {
public:
    // Adds a series; the units added next belong to it.
    void addSeries(const SeriesEntry &entry);
    // Adds the next unit of the last series, by its name and its aliases.
    void addUnit(const QString &name, const QStringList &aliases = {});
    // Adds the next units of the last series from their names laid out one
    // after the other in text: unit i has namesPerUnit[i] names, at least
    // one, and name k is nameLengths[k] UTF-16 units long. The counts must
    // add up to the names and the lengths to the text.
    void addUnits(std::span<const quint32> namesPerUnit, std::span<const quint32> nameLengths, QStringView text);
    // Room for that many more units, names and UTF-16 units of name text.
    void reserve(size_t units, size_t names, size_t textUnits);

    int seriesCount() const { return int(m_series.size()); }
    const SeriesEntry &series(int index) const { return m_series[size_t(index)]; }
    // The index of the series called name; -1 when there is none.
    int seriesCalled(QStringView name) const;

    int unitCount() const { return int(m_units.size()); }
    const IndexedUnit &unit(int index) const { return m_units[size_t(index)]; }
    // The units of a series are the indexes from firstUnit(s) up to firstUnit(s + 1).
    int firstUnit(int series) const;
    // A unit's names: its own first, then its aliases. A name viewed stays
    // valid while no unit is added.
    int nameCount(int unit) const { return int(m_firstName[size_t(unit) + 1] - m_firstName[size_t(unit)]); }
    QStringView name(int unit, int which = 0) const { return nameAt(m_firstName[size_t(unit)] + size_t(which)); }
    QStringList namesOf(int unit) const;
    // Every name of every unit in turn, numbered from 0 to nameTotal() - 1:
    // name k of the index is the name of the unit unitOfName(k) that
    // nameAt(k) views, its own name when ownName(k).
    size_t nameTotal() const { return m_nameStart.size() - 1; }
    QStringView nameAt(size_t k) const
    {
        return QStringView(m_text.data() + m_nameStart[k], m_nameStart[k + 1] - m_nameStart[k]);
    }
    int unitOfName(size_t k) const;
    // The numbers k of the names spelled exactly so, in order, by going
    // through every name.
    std::vector<size_t> namesSpelled(QStringView spelled) const;
    bool ownName(size_t k) const { return m_firstName[size_t(unitOfName(k))] == k; }

    // The units called name, at most one a series, in series order; only in
    // the series of that index when series >= 0.
    std::vector<int> lookUp(QStringView name, int series = -1) const;

    // The units whose names match typed, best first. Empty text, or text
    // that folds to nothing, matches nothing.
    std::vector<NameMatch> find(QStringView typed) const;

private:
    void fold() const;
    void addName(QStringView name);
    void endUnit();

    std::vector<SeriesEntry> m_series;
    std::vector<int> m_seriesFirstUnit;  // per series, its first unit
    std::vector<IndexedUnit> m_units;
    // Every unit's names in turn, one after the other in one text: a
    // hundred thousand names cost one allocation, not one each.
    std::vector<char16_t> m_text;
    std::vector<qsizetype> m_nameStart{0};  // per name, where it starts in m_text; one more at the end
    std::vector<size_t> m_firstName{0};     // per unit, its first name; one more at the end

    // Made by the first search: folded names, the word starts of each, and
    // per name where its word starts begin in m_wordStarts (one more at the end).
    mutable std::vector<QString> m_keys;
    mutable std::vector<qsizetype> m_wordStarts;
    mutable std::vector<size_t> m_firstWordStart;
};

// An index over every unit of the series of the list, read from their files
// in unitsDirectory (ending in "/"), reciprocal units included. A file that
// yields no unit adds a series without units.
NameIndex BuildNameIndex(const QString &unitsDirectory, const std::vector<SeriesEntry> &series);
