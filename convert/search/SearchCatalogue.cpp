#include "convert/search/SearchCatalogue.h"

#include "catalogue/UnitFile.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <utility>

namespace {

// What a stat tells of a file or folder that changes when it is written,
// replaced or (for a folder) when an entry is added, removed or renamed.
void appendState(QByteArray &state, const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        state += "-;";
        return;
    }
    state += QByteArray::number(qulonglong(st.st_dev)) + ',' + QByteArray::number(qulonglong(st.st_ino)) + ','
        + QByteArray::number(qlonglong(st.st_size)) + ',' + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.'
        + QByteArray::number(qlonglong(st.st_mtim.tv_nsec)) + ',' + QByteArray::number(qlonglong(st.st_ctim.tv_sec))
        + '.' + QByteArray::number(qlonglong(st.st_ctim.tv_nsec)) + ';';
}

std::u16string_view SpellingOf(QStringView name)
{
    return {reinterpret_cast<const char16_t *>(name.utf16()), size_t(name.size())};
}

// Whether the compatibility form of text might differ from it: a character
// with a compatibility decomposition, one with a canonical one outside the
// kana and kanji (whose precomposed forms, "ガ", come back as they were), a
// combining mark, a Hangul jamo or a surrogate.
bool MayChangeInCompatibilityForm(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            continue;
        const QChar::Decomposition tag = c.decompositionTag();
        if ((tag != QChar::NoDecomposition && (tag != QChar::Canonical || u < 0x3000 || u >= 0xF900))
            || c.combiningClass() != 0 || c.isSurrogate() || (u >= 0x1100 && u < 0x1200)
            || c.category() == QChar::Mark_NonSpacing || c.category() == QChar::Mark_SpacingCombining)
            return true;
    }
    return false;
}

}  // namespace

SearchCatalogue::SearchCatalogue(QString unitsDirectory) : m_unitsDirectory(std::move(unitsDirectory)) {}

QByteArray SearchCatalogue::folderState() const
{
    QByteArray state;
    appendState(state, m_unitsDirectory);
    for (const LoadedSeries &series : m_series)
        appendState(state, m_unitsDirectory + series.entry.fileName);
    return state;
}

bool SearchCatalogue::refresh()
{
    if (m_read && folderState() == m_state)
        return false;
    m_read = true;
    m_series.clear();
    for (SeriesEntry &entry : BuildSeriesList(m_unitsDirectory))
        m_series.push_back(LoadedSeries{std::move(entry), {}});
    // Taken before reading, so that a file changed while it is read is read
    // again at the next look.
    m_state = folderState();
    for (LoadedSeries &series : m_series) {
        if (LoadUnitFile(m_unitsDirectory + series.entry.fileName, series.units) < 0)
            series.units.clear();
    }
    index();
    return true;
}

void SearchCatalogue::index()
{
    m_index = NameIndex();
    m_spellings.clear();
    m_longestName = 0;
    for (const LoadedSeries &series : m_series) {
        m_index.addSeries(series.entry);
        for (const UnitRecord &unit : series.units)
            m_index.addUnit(unit.UnitName, unit.Aliases);
    }
    for (int unit = 0; unit < m_index.unitCount(); ++unit) {
        for (int k = 0; k < m_index.nameCount(unit); ++k) {
            const QString &name = m_index.name(unit, k);
            m_spellings.insert(SpellingOf(name));
            m_longestName = std::max(m_longestName, name.size());
        }
    }
    // A compatibility form may be shorter than what was typed ("ｶﾞ" is "ガ").
    m_longestName *= 2;
}

int SearchCatalogue::seriesCalled(QStringView name) const
{
    return m_index.seriesCalled(name);
}

std::vector<UnitMatch> SearchCatalogue::unitsCalled(QStringView name) const
{
    // The index would try the compatibility form next; it is made here
    // only when it may differ, and looked for in the hash first.
    if (!m_spellings.contains(SpellingOf(name))) {
        if (!MayChangeInCompatibilityForm(name))
            return {};
        const QString compatible = name.toString().normalized(QString::NormalizationForm_KC);
        if (!m_spellings.contains(SpellingOf(compatible)))
            return {};
    }
    std::vector<UnitMatch> matches;
    for (const int unit : m_index.lookUp(name)) {
        const IndexedUnit &at = m_index.unit(unit);
        matches.push_back(UnitMatch{m_index.series(at.series).name, m_index.name(unit)});
    }
    return matches;
}
