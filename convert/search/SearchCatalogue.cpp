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
    for (SeriesEntry &entry : BuildSeriesList(m_unitsDirectory))
        m_series.push_back(LoadedSeries{std::move(entry), {}, {}});
    // Taken before reading, so that a file changed while it is read is read
    // again at the next look.
    m_state = folderState();
    for (LoadedSeries &series : m_series) {
        if (LoadUnitFile(m_unitsDirectory + series.entry.fileName, series.units, series.compounds) < 0) {
            series.units.clear();
            series.compounds.clear();
        }
    }
    index();
    return true;
}

void SearchCatalogue::index()
{
    m_names.reset();
    m_index = NameIndex();
    for (const LoadedSeries &series : m_series) {
        m_index.addSeries(series.entry);
        for (const UnitRecord &unit : series.units)
            m_index.addUnit(unit.UnitName, unit.Aliases);
    }
    m_names.emplace(m_index);
}

int SearchCatalogue::seriesCalled(QStringView name) const
{
    return m_index.seriesCalled(name);
}
