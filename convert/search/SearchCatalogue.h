#pragma once
// Every series of the units folder held in memory for the search provider,
// with the one name index over their units and the value parser's view of
// it, through which a query finds its units as every other front end does.
//
// The series files are read once. refresh() looks at the folder and at each
// file (a stat each, no reading) and reads them all again only when one was
// added, removed or changed since.

#include "catalogue/NameIndex.h"
#include "catalogue/CompoundUnit.h"
#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitRecord.h"
#include "convert/IndexNameLookup.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

struct LoadedSeries {
    SeriesEntry entry;
    UnitArray units;
    CompoundArray compounds;  // values in several units ("尺・寸"), targets only
};

class SearchCatalogue {
public:
    // unitsDirectory ends in "/".
    explicit SearchCatalogue(QString unitsDirectory);
    SearchCatalogue(const SearchCatalogue &) = delete;
    SearchCatalogue &operator=(const SearchCatalogue &) = delete;

    // Reads the series again when the folder changed; true when it read them.
    bool refresh();

    const std::vector<LoadedSeries> &series() const { return m_series; }
    // The index of the series called name; -1 when there is none.
    int seriesCalled(QStringView name) const;

    // The units' names, series in the order of series().
    const IndexNameLookup &names() const { return *m_names; }

private:
    QByteArray folderState() const;
    void index();

    QString m_unitsDirectory;
    QByteArray m_state;
    bool m_read = false;
    std::vector<LoadedSeries> m_series;
    NameIndex m_index;
    std::optional<IndexNameLookup> m_names;  // views m_index
};
