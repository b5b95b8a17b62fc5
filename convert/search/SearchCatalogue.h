#pragma once
// Every series of the units folder held in memory for the search provider,
// with the one name index over their units, through which a query finds its
// units as every other front end finds them.
//
// The series files are read once. refresh() looks at the folder and at each
// file (a stat each, no reading) and reads them all again only when one was
// added, removed or changed since.

#include "catalogue/NameIndex.h"
#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitRecord.h"
#include "convert/ValueParser.h"

#include <QByteArray>
#include <QString>

#include <string_view>
#include <unordered_set>
#include <vector>

struct LoadedSeries {
    SeriesEntry entry;
    UnitArray units;
};

class SearchCatalogue : public UnitNameLookup {
public:
    // unitsDirectory ends in "/".
    explicit SearchCatalogue(QString unitsDirectory);

    // Reads the series again when the folder changed; true when it read them.
    bool refresh();

    const std::vector<LoadedSeries> &series() const { return m_series; }
    // The index of the series called name; -1 when there is none.
    int seriesCalled(QStringView name) const;

    // The name index's lookup; a name that no unit is called, even in its
    // compatibility form, is turned away by a hash look without allocating.
    std::vector<UnitMatch> unitsCalled(QStringView name) const override;
    qsizetype longestName() const override { return m_longestName; }

private:
    QByteArray folderState() const;
    void index();

    QString m_unitsDirectory;
    QByteArray m_state;
    bool m_read = false;
    std::vector<LoadedSeries> m_series;
    NameIndex m_index;
    // Views of the index's names, for turning a miss away.
    std::unordered_set<std::u16string_view> m_spellings;
    qsizetype m_longestName = 0;
};
