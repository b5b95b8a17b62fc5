#pragma once
// The series list: the "*.dat" files of the units folder beside the program.
//
// ListFiles lists the matching ordinary files; BuildSeriesList turns the
// listing into series names (every ".dat" removed, letter case kept) while
// remembering the very file each name came from, so that "X.DAT" loads.

#include <QString>
#include <vector>

// Names (without directory) of the ordinary, non-hidden files in directory
// whose names match pattern (wildcards, letter case ignored), sorted by name
// with letter case ignored, joined with one NUL character between names.
// Empty when nothing matches or the directory does not exist.
QString ListFiles(const QString &directory, const QString &pattern);

// The series name of a series file: the file name with every ".dat" removed
// (letter case kept, so "X.DAT" keeps its whole name).
QString SeriesNameOfFile(const QString &fileName);

// The name of the number-base series, whose units are radices.
QString NumberBaseSeriesName();
bool IsNumberBaseSeries(const QString &seriesName);

struct SeriesEntry {
    QString name;             // shown in the series list
    QString fileName;         // the file as listed, without directory
    bool numberBase = false;  // the number-base series "進数", whose units are radices
};

// The series of the series file fileName (without directory).
SeriesEntry SeriesEntryOf(const QString &fileName);

// The series of unitsDirectory in list order: by series name, letter case
// ignored (then by letter case, then by file name); empty when there is none.
// plainFiles, when given, tells whether the folder's entries showed each
// series file to be a regular file with a name of plain text (no link, no
// name that is not UTF-8): such a list changes only with the folder itself.
std::vector<SeriesEntry> BuildSeriesList(const QString &unitsDirectory, bool *plainFiles = nullptr);
