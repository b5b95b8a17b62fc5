#pragma once
// Checking series files for what would surprise a user of the program: the
// files are read with the program's own reader (ReadUnitFile) and every
// record is looked at for counts, numbers, flags, names and, in the
// number-base series, the order of the radices; the text for bytes that are
// no characters, NUL and control characters and unclosed quotes; a units
// folder for what the series list skips or cannot load. A file is read as a
// stream, so that checking it takes memory in proportion to its largest
// record, not to its size.
//
// tovelcheck is RunTovelCheck over the command line; the tests call the
// functions directly.

#include "catalogue/check/CheckFinding.h"

#include "catalogue/SeriesCatalogue.h"  // SeriesNameOfFile

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <vector>

// Findings for every "*.dat" file of a folder, in the order of the program's
// series list.
std::vector<CheckFinding> CheckUnitsFolder(const QString &folder);

// Findings for folders and files given by path (a folder is checked as a
// units folder, a file as one series named after it, anything else is
// named for what it is).
std::vector<CheckFinding> CheckPaths(const QStringList &paths);

// The command: arguments without the program name. With no path it checks
// defaultFolder. Prints findings to out, usage and option errors to err.
// Findings are printed as they are found. Returns 0 when nothing was found
// (or for --help), 1 otherwise, and 2 when out could not be written.
int RunTovelCheck(const QStringList &arguments, const QString &defaultFolder, QTextStream &out, QTextStream &err);
