#pragma once
// The name index kept on disk between runs, so that a front end that needs
// one unit (tovelconv) reads only the series file that holds it.
//
// One cache file for each units folder. A series file's entry is used only
// while the file is the very same: device, inode, size and both change times
// (to the nanosecond) unchanged. A file changed less than two seconds before
// it was read is not kept, since a change within the file system's clock
// tick would leave its times as they were.
//
// The cache is read from a memory map, its names used as they lie there and
// the entries of files still the same written back as they were. It is
// ignored, and the series files read instead, when it is not a regular file of the user's
// own (a link, or another user's file), when it is larger than 64 MiB, and
// when anything in it does not read: every count in it is checked against
// the bytes left before anything is made for it.
//
// Its form, in the machine's byte order: the magic "TVIX" and the format
// (u32 each), the units folder (a text), the number of series files (u32),
// then for each file its name (a text), its stamp (five 64-bit numbers:
// device, inode, size, change and status-change times in nanoseconds) and
// the number of its units (u32), each unit the number of its names (u32) and
// the names. A text is its length in UTF-16 code units (u32) and those units.

#include "catalogue/NameIndex.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modified = 0;  // nanoseconds since the epoch
    qint64 changed = 0;

    bool operator==(const FileStamp &) const = default;
};

struct CachedSeriesFile {
    QString fileName;                // without directory
    FileStamp stamp;                 // the file's when its names were read
    std::vector<QStringList> units;  // each unit's names: its own, then its aliases
};

// The series of unitsDirectory (ending in "/") in list order with their unit
// names, taken from cacheFile where it is still right and written back to it
// when something changed. An empty cacheFile reads every series file.
// readFiles, when given, counts the series files read. With
// NameCacheUse::Rebuild every series file is read and the cache only written.
enum class NameCacheUse { ReadAndWrite, Rebuild };
NameIndex LoadNameIndex(const QString &unitsDirectory, const QString &cacheFile, int *readFiles = nullptr,
                        NameCacheUse use = NameCacheUse::ReadAndWrite);

// The cache file of unitsDirectory in cacheDirectory, named after the
// folder's path; empty when cacheDirectory is.
QString NameCacheFileFor(const QString &cacheDirectory, const QString &unitsDirectory);

// The bytes of a cache file, and the entries read back from them: nothing
// when they are not a cache of unitsDirectory in this form.
QByteArray NameCacheBytes(const QString &unitsDirectory, const std::vector<CachedSeriesFile> &files);
std::optional<std::vector<CachedSeriesFile>> ParseNameCache(QByteArrayView bytes, const QString &unitsDirectory);
