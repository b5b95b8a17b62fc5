#include "catalogue/UnitFinder.h"

#include "catalogue/UnitFile.h"

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

enum Rank { Exact, Prefix, Inside, NoMatch };

Rank RankOf(const QString &key, const QString &folded)
{
    const qsizetype at = key.indexOf(folded);
    if (at < 0)
        return NoMatch;
    if (at > 0)
        return Inside;
    return key.size() == folded.size() ? Exact : Prefix;
}

}  // namespace

QString FoldForSearch(QStringView text)
{
    // Compatibility composition makes "Ｍ" "M", "ｶﾞ" "ガ" and "　" a space;
    // case folding then makes "M" "m".
    const QString unified = text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
    QString folded;
    folded.reserve(unified.size());
    for (const QChar c : unified) {
        if (c.isSpace() || c.unicode() == kMiddleDot)
            continue;
        folded.append(QChar(AsKatakana(c.unicode())));
    }
    return folded;
}

void UnitFinder::add(const FoundUnit &unit, const QStringList &otherNames)
{
    const size_t first = m_keys.size();
    for (const QString &name : QStringList{unit.name} + otherNames) {
        QString key = FoldForSearch(name);
        if (!key.isEmpty())
            m_keys.push_back(std::move(key));
    }
    if (m_keys.size() == first)
        return;
    if (m_firstKey.empty())
        m_firstKey.push_back(first);
    m_units.push_back(unit);
    m_firstKey.push_back(m_keys.size());
}

std::vector<int> UnitFinder::find(QStringView typed) const
{
    const QString folded = FoldForSearch(typed);
    if (folded.isEmpty())
        return {};
    std::array<std::vector<int>, NoMatch> ranked;
    for (int i = 0; i < size(); ++i) {
        Rank best = NoMatch;
        for (size_t k = m_firstKey[size_t(i)]; k < m_firstKey[size_t(i) + 1] && best != Exact; ++k)
            best = std::min(best, RankOf(m_keys[k], folded));
        if (best != NoMatch)
            ranked[best].push_back(i);
    }
    std::vector<int> found = std::move(ranked[Exact]);
    found.insert(found.end(), ranked[Prefix].begin(), ranked[Prefix].end());
    found.insert(found.end(), ranked[Inside].begin(), ranked[Inside].end());
    return found;
}

UnitFinder BuildUnitFinder(const QString &unitsDirectory, const std::vector<SeriesEntry> &series)
{
    UnitFinder finder;
    UnitArray units;
    for (size_t s = 0; s < series.size(); ++s) {
        const int last = LoadUnitFile(unitsDirectory + series[s].fileName, units);
        for (int u = 0; u <= last; ++u)
            finder.add(FoundUnit{int(s), u, units[size_t(u)].UnitName, series[s].name}, units[size_t(u)].Aliases);
    }
    return finder;
}
