#include "convert/IndexNameLookup.h"

#include <algorithm>

namespace {

std::u16string_view View(QStringView text)
{
    return {text.utf16(), std::size_t(text.size())};
}

// Whether text may have another compatibility form ("m²", "℉", "ｍ").
bool MayHaveCompatibilityForm(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x80 && (c.decompositionTag() != QChar::NoDecomposition || c.isSurrogate());
    });
}

}  // namespace

IndexNameLookup::IndexNameLookup(const NameIndex &index) : m_index(index)
{
    // In each series the unit whose own name it is, else the first unit
    // that has it among its aliases.
    m_units.reserve(std::size_t(index.unitCount()) * 2);
    const auto add = [this](const QString &name, int unit) {
        std::vector<int> &units = m_units[View(name)];
        const int series = m_index.unit(unit).series;
        if (std::none_of(units.begin(), units.end(), [&](int u) { return m_index.unit(u).series == series; }))
            units.push_back(unit);
        m_longest = std::max(m_longest, name.size());
    };
    for (int unit = 0; unit < index.unitCount(); ++unit)
        if (index.nameCount(unit) > 0)
            add(index.name(unit, 0), unit);
    for (int unit = 0; unit < index.unitCount(); ++unit)
        for (int k = 1; k < index.nameCount(unit); ++k)
            add(index.name(unit, k), unit);
    for (auto &entry : m_units)
        std::sort(entry.second.begin(), entry.second.end());
}

const std::vector<int> *IndexNameLookup::spelled(QStringView name) const
{
    const auto it = m_units.find(View(name));
    return it == m_units.end() ? nullptr : &it->second;
}

std::vector<int> IndexNameLookup::unitsOf(QStringView name) const
{
    if (const std::vector<int> *units = spelled(name))
        return *units;
    // Only when no unit is called so does the compatibility form count.
    if (!MayHaveCompatibilityForm(name))
        return {};
    const QString compatible = name.toString().normalized(QString::NormalizationForm_KC);
    if (compatible == name)
        return {};
    const std::vector<int> *units = spelled(compatible);
    return units ? *units : std::vector<int>();
}

std::vector<UnitMatch> IndexNameLookup::unitsCalled(QStringView name) const
{
    std::vector<UnitMatch> matches;
    for (const int unit : unitsOf(name)) {
        const IndexedUnit &where = m_index.unit(unit);
        matches.push_back({m_index.series(where.series).name, m_index.name(unit)});
    }
    return matches;
}
