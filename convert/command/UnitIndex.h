#pragma once
// Which series holds which unit names, so that a unit named on the command
// line is found by reading only the series file that holds it.
//
// The names of every series file are kept in a cache file between runs. A
// file's entry is used only while the file is the very same: device, inode,
// size and both change times (to the nanosecond) unchanged. A file changed
// less than two seconds before it was read is not kept, since a change within
// the file system's clock tick would leave its times as they were.

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitRecord.h"

#include <QString>
#include <QStringList>
#include <vector>

struct SeriesNames {
    SeriesEntry entry;
    QStringList names;  // every name a unit of the series answers to, in file order
};

// The names a unit answers to: its name, then its aliases.
QStringList NamesOfUnit(const UnitRecord &unit);

// The series of unitsDirectory (ending in "/") in list order with their unit
// names, taken from cacheFile where it is still right and written back to it
// when something changed. An empty cacheFile reads every series file.
// readFiles, when given, counts the series files read.
std::vector<SeriesNames> BuildUnitIndex(const QString &unitsDirectory, const QString &cacheFile,
                                        int *readFiles = nullptr);
