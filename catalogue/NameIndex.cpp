#include "catalogue/NameIndex.h"

#include "catalogue/UnitFile.h"

#include <algorithm>
#include <array>

namespace {

constexpr char16_t kMiddleDot = u'\u30FB';  // "・"

// Hiragana that have a katakana twin 0x60 further on, and the two
// iteration marks.
char16_t AsKatakana(char16_t c)
{
    if ((c >= u'\u3041' && c <= u'\u3096') || c == u'\u309D' || c == u'\u309E')
        return char16_t(c + 0x60);
    return c;
}

bool IsWordBreak(QChar c)
{
    return c.isSpace() || c.unicode() == kMiddleDot;
}

QString CompatibilityForm(QStringView text)
{
    return text.toString().normalized(QString::NormalizationForm_KC);
}

// The folded text; wordStarts, when given, gets the positions in it where a
// word begins after a left-out blank.
QString Folded(QStringView text, std::vector<qsizetype> *wordStarts)
{
    // Compatibility composition makes "Ｍ" "M", "ｶﾞ" "ガ" and "　" a space;
    // case folding then makes "M" "m".
    const QString unified = CompatibilityForm(text).toCaseFolded();
    QString folded;
    folded.reserve(unified.size());
    bool broken = false;
    for (const QChar c : unified) {
        if (IsWordBreak(c)) {
            broken = true;
            continue;
        }
        if (broken && wordStarts && !folded.isEmpty())
            wordStarts->push_back(folded.size());
        broken = false;
        folded.append(QChar(AsKatakana(c.unicode())));
    }
    return folded;
}

enum Rank { Exact, Prefix, Inside, AcrossWords, NoMatch };

// How well folded (typed, folded) matches key at its best place. starts are
// the key's word starts, in order.
Rank RankOf(const QString &key, const qsizetype *starts, const qsizetype *startsEnd, const QString &folded,
            bool typedHasBlank)
{
    Rank best = NoMatch;
    for (qsizetype at = key.indexOf(folded); at >= 0 && best > Inside; at = key.indexOf(folded, at + 1)) {
        Rank rank = at > 0 ? Inside : key.size() == folded.size() ? Exact : Prefix;
        if (rank == Inside && !typedHasBlank && !std::binary_search(starts, startsEnd, at)) {
            // Begun inside a word: it must end in that word.
            const qsizetype *next = std::upper_bound(starts, startsEnd, at);
            if (next != startsEnd && *next < at + folded.size())
                rank = AcrossWords;
        }
        best = std::min(best, rank);
    }
    return best;
}

// The lookup rule over count units, whose names nameCount(i) and name(i, k)
// give (k = 0 its own name): the unit's own name first, then its aliases.
template<typename Count, typename Name>
int CalledSpelled(int count, Count nameCount, Name name, QStringView spelled)
{
    for (int i = 0; i < count; ++i)
        if (nameCount(i) > 0 && name(i, 0) == spelled)
            return i;
    for (int i = 0; i < count; ++i)
        for (int k = 1; k < nameCount(i); ++k)
            if (name(i, k) == spelled)
                return i;
    return -1;
}

}  // namespace

QString FoldName(QStringView text)
{
    return Folded(text, nullptr);
}

int FindUnitByName(const UnitArray &units, QStringView name)
{
    const auto nameCount = [&units](int i) { return int(units[size_t(i)].Aliases.size()) + 1; };
    const auto nameOf = [&units](int i, int k) -> const QString & {
        const UnitRecord &unit = units[size_t(i)];
        return k == 0 ? unit.UnitName : unit.Aliases[k - 1];
    };
    const int count = int(units.size());
    const int found = CalledSpelled(count, nameCount, nameOf, name);
    if (found >= 0)
        return found;
    const QString compatible = CompatibilityForm(name);
    return compatible == name ? -1 : CalledSpelled(count, nameCount, nameOf, compatible);
}

void NameIndex::addSeries(const SeriesEntry &entry)
{
    m_series.push_back(entry);
    m_seriesFirstUnit.push_back(unitCount());
}

void NameIndex::addName(QStringView name)
{
    m_text.insert(m_text.end(), name.utf16(), name.utf16() + name.size());
    m_nameStart.push_back(qsizetype(m_text.size()));
}

void NameIndex::reserve(size_t units, size_t names, size_t textUnits)
{
    m_units.reserve(m_units.size() + units);
    m_firstName.reserve(m_firstName.size() + units);
    m_nameStart.reserve(m_nameStart.size() + names);
    m_text.reserve(m_text.size() + textUnits);
}

void NameIndex::endUnit()
{
    const int series = seriesCount() - 1;
    m_units.push_back({series, unitCount() - m_seriesFirstUnit[size_t(series)]});
    m_firstName.push_back(m_nameStart.size() - 1);
    m_keys.clear();
}

void NameIndex::addUnit(const QString &name, const QStringList &aliases)
{
    addName(name);
    for (const QString &alias : aliases)
        addName(alias);
    endUnit();
}

void NameIndex::addUnits(std::span<const quint32> namesPerUnit, std::span<const quint32> nameLengths, QStringView text)
{
    qsizetype start = qsizetype(m_text.size());
    m_text.insert(m_text.end(), text.utf16(), text.utf16() + text.size());
    const size_t firstStart = m_nameStart.size();
    m_nameStart.resize(firstStart + nameLengths.size());
    qsizetype *starts = m_nameStart.data() + firstStart;
    for (const quint32 length : nameLengths)
        *starts++ = start += qsizetype(length);

    const int series = seriesCount() - 1;
    int unit = unitCount() - m_seriesFirstUnit[size_t(series)];
    size_t name = m_firstName.back();
    const size_t firstUnit = m_units.size();
    m_units.resize(firstUnit + namesPerUnit.size());
    m_firstName.resize(firstUnit + 1 + namesPerUnit.size());
    IndexedUnit *units = m_units.data() + firstUnit;
    size_t *firstNames = m_firstName.data() + firstUnit + 1;
    for (const quint32 names : namesPerUnit) {
        *units++ = {series, unit++};
        *firstNames++ = name += names;
    }
    m_keys.clear();
}

int NameIndex::seriesCalled(QStringView name) const
{
    for (int s = 0; s < seriesCount(); ++s)
        if (m_series[size_t(s)].name == name)
            return s;
    return -1;
}

int NameIndex::firstUnit(int series) const
{
    return series < seriesCount() ? m_seriesFirstUnit[size_t(series)] : unitCount();
}

QStringList NameIndex::namesOf(int unit) const
{
    QStringList names;
    for (int k = 0; k < nameCount(unit); ++k)
        names << name(unit, k).toString();
    return names;
}

int NameIndex::unitOfName(size_t k) const
{
    return int(std::upper_bound(m_firstName.begin(), m_firstName.end(), k) - m_firstName.begin()) - 1;
}

std::vector<size_t> NameIndex::namesSpelled(QStringView spelled) const
{
    std::vector<size_t> found;
    const qsizetype *starts = m_nameStart.data();
    const char16_t *text = m_text.data();
    const qsizetype size = spelled.size();
    // The first letter compared here, the rest only where it and the
    // length agree.
    const char16_t first = size > 0 ? spelled.utf16()[0] : u'\0';
    const size_t total = nameTotal();
    for (size_t k = 0; k < total; ++k)
        if (starts[k + 1] - starts[k] == size
            && (size == 0
                || (text[starts[k]] == first
                    && std::equal(text + starts[k] + 1, text + starts[k + 1], spelled.utf16() + 1))))
            found.push_back(k);
    return found;
}

std::vector<int> NameIndex::lookUp(QStringView name, int series) const
{
    const auto spelledIn = [this](QStringView spelled, int s) {
        const int first = firstUnit(s);
        const int found = CalledSpelled(
            firstUnit(s + 1) - first, [this, first](int i) { return nameCount(first + i); },
            [this, first](int i, int k) { return this->name(first + i, k); }, spelled);
        return found < 0 ? -1 : first + found;
    };
    const auto spelledAnywhere = [&](QStringView spelled) {
        std::vector<int> found;
        for (int s = series < 0 ? 0 : series; s < (series < 0 ? seriesCount() : series + 1); ++s)
            if (const int unit = spelledIn(spelled, s); unit >= 0)
                found.push_back(unit);
        return found;
    };
    if (series >= seriesCount())
        return {};
    std::vector<int> found = spelledAnywhere(name);
    if (!found.empty())
        return found;
    const QString compatible = CompatibilityForm(name);
    return compatible == name ? found : spelledAnywhere(compatible);
}

void NameIndex::fold() const
{
    const size_t names = m_nameStart.size() - 1;
    if (!m_keys.empty() || names == 0)
        return;
    m_wordStarts.clear();
    m_keys.reserve(names);
    m_firstWordStart.assign(1, 0);
    m_firstWordStart.reserve(names + 1);
    for (size_t k = 0; k < names; ++k) {
        const QStringView name(m_text.data() + m_nameStart[k], m_nameStart[k + 1] - m_nameStart[k]);
        m_keys.push_back(Folded(name, &m_wordStarts));
        m_firstWordStart.push_back(m_wordStarts.size());
    }
}

std::vector<NameMatch> NameIndex::find(QStringView typed) const
{
    const QString folded = FoldName(typed);
    if (folded.isEmpty())
        return {};
    const QString unified = CompatibilityForm(typed);
    const bool typedHasBlank = std::any_of(unified.begin(), unified.end(), IsWordBreak);
    fold();
    std::array<std::vector<NameMatch>, NoMatch> ranked;
    for (int i = 0; i < unitCount(); ++i) {
        Rank best = NoMatch;
        int bestName = 0;
        for (size_t k = m_firstName[size_t(i)]; k < m_firstName[size_t(i) + 1] && best != Exact; ++k) {
            const qsizetype *starts = m_wordStarts.data();
            const Rank rank = RankOf(m_keys[k], starts + m_firstWordStart[k], starts + m_firstWordStart[k + 1], folded,
                                     typedHasBlank);
            if (rank < best) {
                best = rank;
                bestName = int(k - m_firstName[size_t(i)]);
            }
        }
        if (best != NoMatch)
            ranked[best].push_back({i, bestName});
    }
    std::vector<NameMatch> found = std::move(ranked[Exact]);
    for (int rank = Prefix; rank < NoMatch; ++rank)
        found.insert(found.end(), ranked[size_t(rank)].begin(), ranked[size_t(rank)].end());
    return found;
}

NameIndex BuildNameIndex(const QString &unitsDirectory, const std::vector<SeriesEntry> &series)
{
    NameIndex index;
    UnitArray units;
    for (const SeriesEntry &entry : series) {
        index.addSeries(entry);
        LoadUnitFile(unitsDirectory + entry.fileName, units);
        for (const UnitRecord &unit : units)
            index.addUnit(unit.UnitName, unit.Aliases);
    }
    return index;
}
