#include "convert/IndexNameLookup.h"

#include <algorithm>
#include <bit>

namespace {

// Whether text may have another compatibility form ("m²", "℉", "ｍ").
bool MayHaveCompatibilityForm(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x80 && (c.decompositionTag() != QChar::NoDecomposition || c.isSurrogate());
    });
}

// FNV-1a over the UTF-16 units: names are short, and the table is made
// anew by each process, so a hash this cheap to start is the better one.
size_t HashOf(QStringView name)
{
    size_t hash = 14695981039346656037u;
    for (const QChar c : name)
        hash = (hash ^ c.unicode()) * 1099511628211u;
    return hash ^ (hash >> 29);
}

}  // namespace

IndexNameLookup::IndexNameLookup(const NameIndex &index) : m_index(index) {}

qsizetype IndexNameLookup::longestName() const
{
    if (m_longest == 0) {
        m_longest = 1;
        for (size_t k = 0; k < m_index.nameTotal(); ++k)
            m_longest = std::max(m_longest, m_index.nameAt(k).size());
    }
    return m_longest;
}

void IndexNameLookup::makeTable() const
{
    m_slots.resize(std::bit_ceil(std::max<size_t>(m_index.nameTotal() * 2, 16)));
    const size_t mask = m_slots.size() - 1;
    for (int unit = 0; unit < m_index.unitCount(); ++unit) {
        for (int k = 0; k < m_index.nameCount(unit); ++k) {
            size_t at = HashOf(m_index.name(unit, k)) & mask;
            while (m_slots[at].unit >= 0)
                at = (at + 1) & mask;
            m_slots[at] = {unit, k};
        }
    }
}

std::vector<int> IndexNameLookup::spelled(QStringView name) const
{
    // In each series the unit whose own name it is, else the first unit
    // that has it among its aliases. The units of a series are numbered
    // together, so the matches sorted by series and then (own names first)
    // by unit put the one to keep first in each series.
    struct Found {
        int series;
        bool alias;
        int unit;
        auto operator<=>(const Found &) const = default;
    };
    std::vector<Found> found;
    if (m_slots.empty() && ++m_lookups <= kLookupsBeforeTable) {
        for (const size_t k : m_index.namesSpelled(name)) {
            const int unit = m_index.unitOfName(k);
            found.push_back({m_index.unit(unit).series, !m_index.ownName(k), unit});
        }
    } else {
        if (m_slots.empty())
            makeTable();
        const size_t mask = m_slots.size() - 1;
        for (size_t at = HashOf(name) & mask; m_slots[at].unit >= 0; at = (at + 1) & mask) {
            const Slot &slot = m_slots[at];
            if (m_index.name(slot.unit, slot.name) == name)
                found.push_back({m_index.unit(slot.unit).series, slot.name > 0, slot.unit});
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<int> units;
    for (size_t i = 0; i < found.size(); ++i)
        if (i == 0 || found[i].series != found[i - 1].series)
            units.push_back(found[i].unit);
    return units;
}

std::vector<int> IndexNameLookup::unitsOf(QStringView name) const
{
    for (const Asked &asked : m_asked)
        if (asked.used && asked.name == name)
            return asked.units;
    std::vector<int> units = spelled(name);
    // Only when no unit is called so does the compatibility form count.
    if (units.empty() && MayHaveCompatibilityForm(name)) {
        const QString compatible = name.toString().normalized(QString::NormalizationForm_KC);
        if (compatible != name)
            units = spelled(compatible);
    }
    // Kept in place: no allocation once the text has room for it.
    Asked &asked = m_asked[m_nextAsked++ % m_asked.size()];
    asked.used = true;
    asked.name.resize(name.size());
    std::copy(name.begin(), name.end(), asked.name.begin());
    asked.units = units;
    return units;
}

std::vector<UnitMatch> IndexNameLookup::unitsCalled(QStringView name) const
{
    std::vector<UnitMatch> matches;
    for (const int unit : unitsOf(name)) {
        const IndexedUnit &where = m_index.unit(unit);
        matches.push_back({m_index.series(where.series).name, m_index.name(unit).toString()});
    }
    return matches;
}
