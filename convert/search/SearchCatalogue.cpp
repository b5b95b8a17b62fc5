#include "convert/search/SearchCatalogue.h"

#include "catalogue/UnitFile.h"

#include <QFile>

#include <sys/stat.h>

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
    m_names.clear();
    for (SeriesEntry &entry : BuildSeriesList(m_unitsDirectory))
        m_series.push_back(LoadedSeries{std::move(entry), {}});
    // Taken before reading, so that a file changed while it is read is read
    // again at the next look.
    m_state = folderState();
    for (LoadedSeries &series : m_series) {
        if (LoadUnitFile(m_unitsDirectory + series.entry.fileName, series.units, series.compounds) < 0) {
            series.units.clear();
            series.compounds.clear();
        }
    }
    for (int s = 0; s < int(m_series.size()); ++s) {
        const LoadedSeries &series = m_series[size_t(s)];
        for (int u = 0; u < int(series.units.size()); ++u) {
            const UnitRecord &unit = series.units[size_t(u)];
            const UnitRef ref{s, u, series.entry.numberBase};
            // A name counts once per series: its first unit, as the window
            // finds it.
            const auto add = [&](const QString &name) {
                if (name.isEmpty())
                    return;
                std::vector<UnitRef> &refs = m_names[name];
                if (refs.empty() || refs.back().series != s)
                    refs.push_back(ref);
            };
            add(unit.UnitName);
        }
        for (int u = 0; u < int(series.units.size()); ++u) {
            const UnitRef ref{s, u, series.entry.numberBase};
            for (const QString &alias : series.units[size_t(u)].Aliases) {
                std::vector<UnitRef> &refs = m_names[alias];
                if (!alias.isEmpty() && (refs.empty() || refs.back().series != s))
                    refs.push_back(ref);
            }
        }
        // Values in several units by their names, after every unit.
        for (int c = 0; c < int(series.compounds.size()); ++c) {
            std::vector<UnitRef> &refs = m_names[series.compounds[size_t(c)].name];
            if (refs.empty() || refs.back().series != s)
                refs.push_back(UnitRef{s, int(series.units.size()) + c, series.entry.numberBase});
        }
    }
    return true;
}

int SearchCatalogue::seriesCalled(const QString &name) const
{
    for (int s = 0; s < int(m_series.size()); ++s) {
        if (m_series[size_t(s)].entry.name == name)
            return s;
    }
    return -1;
}

std::vector<UnitRef> SearchCatalogue::lookUp(const QString &name) const
{
    const auto found = m_names.constFind(name);
    return found == m_names.constEnd() ? std::vector<UnitRef>{} : *found;
}
