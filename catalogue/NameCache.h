#pragma once
// The name index kept on disk between runs, with the units of each series
// as its file gives them, so that a front end that converts one value
// (tovelconv) reads no series file at all while the files stay the same.
//
// One cache file for each units folder. A series file's entry is used only
// while the file is the very same: device, inode, size and both change times
// (to the nanosecond) unchanged. A file changed less than two seconds before
// it was read is not kept, since a change within the file system's clock
// tick would leave its times as they were.
//
// The folder is stamped as well, when every series file in it is a regular
// file and in the cache, and the folder too has been still for two seconds:
// adding, removing or renaming a file changes the folder's times, so while
// its stamp is the same the series list is the cache's and the folder is
// not listed.
//
// The cache is read from a memory map, its names used as they lie there and
// the entries of files still the same written back as they were. It is
// ignored, and the series files read instead, when it is not a regular file of the user's
// own (a link, or another user's file), when it is larger than 64 MiB, and
// when anything in it does not read: every count in it is checked against
// the bytes left before anything is made for it.
//
// Its form, in the machine's byte order: the magic "TVIX" and the format
// (u32 each), the units folder (a text), its stamp (as a file's below; all
// 0 and a size of -1 when it is not kept), the number of series files (u32),
// then for each file its name (a text), its stamp (five 64-bit numbers:
// device, inode, size, change and status-change times in nanoseconds), a u16
// of 0 where needed to put what follows at an offset four divides, and its
// units: their number, the number of all their names and of the UTF-16 code
// units of those names (u32 each); per unit the number of its names (u32, at
// least 1); per name its length (u32); the names one after the other, its
// own name first; per unit its factor and offset (f64 each), its separator
// and exponent flags (i16 each) and whether it is reciprocal (u16, 0 or 1);
// then the number of its compound units (u32), each its name, the number of
// its parts (u32) and the parts (u32 each, a unit of the file). A text is
// its length in UTF-16 code units (u32) and those units. A file's names thus
// go into the index in one piece.

#include "catalogue/CompoundUnit.h"
#include "catalogue/NameIndex.h"
#include "catalogue/UnitRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
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
    QString fileName;         // without directory
    FileStamp stamp;          // the file's when it was read
    UnitArray units;          // as LoadUnitFile gives them
    CompoundArray compounds;  // likewise

    bool operator==(const CachedSeriesFile &) const = default;
};

// The units of the series whose cache entries were still right when
// LoadNameIndex read the cache, taken from the cache's bytes when asked for.
class CachedSeriesUnits {
public:
    // The units and compound units of the series at that position in the
    // index's list, as LoadUnitFile gives them; false, and nothing changed,
    // when the cache had no entry still right for it.
    bool load(int series, UnitArray &units, CompoundArray &compounds) const;

    // Set by LoadNameIndex: the bytes kept mapped, and each series' entry in them.
    void keep(std::shared_ptr<const void> bytes, std::vector<QByteArrayView> entries);

private:
    std::shared_ptr<const void> m_bytes;
    std::vector<QByteArrayView> m_entries;  // per series; empty: not in the cache
};

// The series of unitsDirectory (ending in "/") in list order with their unit
// names, taken from cacheFile where it is still right and written back to it
// when something changed. An empty cacheFile reads every series file.
// readFiles, when given, counts the series files read. With
// NameCacheUse::Rebuild every series file is read and the cache only written.
// cachedUnits, when given, gets the units of the series taken from the cache.
enum class NameCacheUse { ReadAndWrite, Rebuild };
NameIndex LoadNameIndex(const QString &unitsDirectory, const QString &cacheFile, int *readFiles = nullptr,
                        NameCacheUse use = NameCacheUse::ReadAndWrite, CachedSeriesUnits *cachedUnits = nullptr);

// The cache file of unitsDirectory in cacheDirectory, named after the
// folder's path; empty when cacheDirectory is.
QString NameCacheFileFor(const QString &cacheDirectory, const QString &unitsDirectory);

// The bytes of a cache file, and the entries read back from them: nothing
// when they are not a cache of unitsDirectory in this form.
// folder is the units folder's stamp the cache holds.
QByteArray NameCacheBytes(const QString &unitsDirectory, const std::vector<CachedSeriesFile> &files,
                          const FileStamp &folder = {});
std::optional<std::vector<CachedSeriesFile>> ParseNameCache(QByteArrayView bytes, const QString &unitsDirectory,
                                                            FileStamp *folder = nullptr);
