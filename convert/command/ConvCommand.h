#pragma once
// tovelconv: converts a value between the units of Tovel's series files from
// a command line, with the program's own reader, conversion and settings.
//
//   tovelconv [OPTIONS] [--] VALUE FROM [TO]
//   tovelconv [OPTIONS] - FROM [TO]      (a value on each line, see BatchConv.h)
//   tovelconv [OPTIONS] -f FILE          (a query on each line)
//
// RunTovelConv is the whole command without its process: it takes the
// arguments and the folders, and gives back the standard output's bytes, the
// standard error's bytes and the exit status (0 done, 1 a conversion or a
// name failed, 2 the command line was wrong). A batch reads and writes the
// streams given (its out and err then stay empty); without streams it is a
// usage error.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct ConvFolders {
    QString programDirectory;     // the folder of the program: units/ and Tovelset.ini beside it
    QString userConfigDirectory;  // where a system-wide install keeps each user's Tovelset.ini
    QString cacheDirectory;       // where the unit-name index is kept between runs; empty for none
};

// The folders of a program in programDirectory: the user's under "tovel",
// where the window program finds them ($XDG_CONFIG_HOME/tovel and
// $XDG_CACHE_HOME/tovel, else under ~/.config and ~/.cache). Read from the
// environment, without QStandardPaths and the application object that a
// run of a single conversion would otherwise set up for them.
ConvFolders FoldersOf(const QString &programDirectory);

struct ConvResult {
    int status = 0;
    QByteArray out;
    QByteArray err;
};

struct BatchStreams;

// What becomes of the converter's memory (the name index, the series read,
// the mapped cache): freed, or left to a process that ends right after.
enum class ConvMemory { Free, LeaveToProcessEnd };

ConvResult RunTovelConv(const QStringList &arguments, const ConvFolders &folders, const BatchStreams *streams = nullptr,
                        ConvMemory memory = ConvMemory::Free);
