#pragma once
// Every series of the units folder held in memory for the search provider,
// with an index from each unit name and alias to the units it names.
//
// The series files are read once. refresh() looks at the folder and at each
// file (a stat each, no reading) and reads them all again only when one was
// added, removed or changed since.

#include "catalogue/CompoundUnit.h"
#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitRecord.h"
#include "convert/search/SearchQuery.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

struct LoadedSeries {
    SeriesEntry entry;
    UnitArray units;
    // Its values in several units: a UnitRef past the units is one of these
    // (a target only).
    CompoundArray compounds = {};
};

class SearchCatalogue {
public:
    // unitsDirectory ends in "/".
    explicit SearchCatalogue(QString unitsDirectory);

    // Reads the series again when the folder changed; true when it read them.
    bool refresh();

    const std::vector<LoadedSeries> &series() const { return m_series; }
    // The index of the series called name; -1 when there is none.
    int seriesCalled(const QString &name) const;
    // Every unit called name, in series-list order.
    std::vector<UnitRef> lookUp(const QString &name) const;

private:
    QByteArray folderState() const;

    QString m_unitsDirectory;
    QByteArray m_state;
    bool m_read = false;
    std::vector<LoadedSeries> m_series;
    QHash<QString, std::vector<UnitRef>> m_names;
};
