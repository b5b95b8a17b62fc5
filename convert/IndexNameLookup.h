#pragma once
// The value parser's view of the name index: every unit called a name, by
// the index's lookup rule. The first few names asked for are found by
// going through every name, which costs less than making a table: one
// conversion (tovelconv) asks for three. From then on, when many candidate
// names are asked for (the value parser, a file of queries), they are found
// through a hash table, one flat array of name numbers with open addressing,
// made then, so that a miss costs no allocation.
//
// The table is made by a lookup: one object is not for concurrent use.

#include "catalogue/NameIndex.h"
#include "convert/ValueParser.h"

#include <array>
#include <vector>

class IndexNameLookup : public UnitNameLookup {
public:
    // The index must outlive the lookup and stay unchanged.
    explicit IndexNameLookup(const NameIndex &index);

    const NameIndex &index() const { return m_index; }

    // The units called name (NameIndex::lookUp), as series and own names.
    std::vector<UnitMatch> unitsCalled(QStringView name) const override;
    qsizetype longestName() const override;

    // The same as indexes in the name index, at most one a series, in series order.
    std::vector<int> unitsOf(QStringView name) const;

private:
    struct Slot {
        int unit = -1;  // -1: empty
        int name = 0;   // which of its names
    };

    // Names looked up by going through them all before the table is made.
    static constexpr int kLookupsBeforeTable = 16;

    void makeTable() const;
    std::vector<int> spelled(QStringView name) const;

    const NameIndex &m_index;
    mutable std::vector<Slot> m_slots;  // empty, or a power of two long and at most half full
    mutable int m_lookups = 0;
    // The last names asked for and their units: a query's target is often
    // asked for twice, to tell a unit from a value in several units.
    struct Asked {
        QString name;
        std::vector<int> units;
        bool used = false;
    };
    mutable std::array<Asked, 4> m_asked;
    mutable size_t m_nextAsked = 0;
    mutable qsizetype m_longest = 0;  // 0 until first asked for
};
