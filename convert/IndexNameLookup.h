#pragma once
// The value parser's view of the name index: every unit called a name, by
// the index's lookup rule, found through a hash table so that the many
// candidate names a query is asked for cost no allocation when they miss.
//
// The table is one flat array of name numbers, open addressing: making it
// costs a hash a name and no allocation per name, so that a front end that
// converts one value (tovelconv) pays little for it.

#include "catalogue/NameIndex.h"
#include "convert/ValueParser.h"

#include <vector>

class IndexNameLookup : public UnitNameLookup {
public:
    // The index must outlive the lookup and stay unchanged.
    explicit IndexNameLookup(const NameIndex &index);

    const NameIndex &index() const { return m_index; }

    // The units called name (NameIndex::lookUp), as series and own names.
    std::vector<UnitMatch> unitsCalled(QStringView name) const override;
    qsizetype longestName() const override { return m_longest; }

    // The same as indexes in the name index, at most one a series, in series order.
    std::vector<int> unitsOf(QStringView name) const;

private:
    struct Slot {
        int unit = -1;  // -1: empty
        int name = 0;   // which of its names
    };

    std::vector<int> spelled(QStringView name) const;

    const NameIndex &m_index;
    std::vector<Slot> m_slots;  // a power of two long, at most half full
    qsizetype m_longest = 1;
};
