#include "convert/command/UnitIndex.h"

#include "catalogue/UnitFile.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <sys/stat.h>

namespace {

constexpr quint32 kMagic = 0x54564958;  // "TVIX"
constexpr quint32 kFormat = 1;
constexpr qint64 kMaxCacheBytes = 64 * 1024 * 1024;
constexpr qint64 kRacyNanoseconds = 2'000'000'000;

struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modified = 0;  // nanoseconds since the epoch
    qint64 changed = 0;

    bool operator==(const FileStamp &) const = default;
};

bool StampOf(const QString &path, FileStamp *stamp)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    stamp->device = quint64(st.st_dev);
    stamp->inode = quint64(st.st_ino);
    stamp->size = qint64(st.st_size);
    stamp->modified = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp->changed = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return true;
}

QDataStream &operator<<(QDataStream &out, const FileStamp &s)
{
    return out << s.device << s.inode << s.size << s.modified << s.changed;
}

QDataStream &operator>>(QDataStream &in, FileStamp &s)
{
    return in >> s.device >> s.inode >> s.size >> s.modified >> s.changed;
}

struct CachedFile {
    FileStamp stamp;
    QStringList names;
};

QHash<QString, CachedFile> ReadCache(const QString &cacheFile, const QString &unitsDirectory)
{
    QHash<QString, CachedFile> cached;
    QFile file(cacheFile);
    if (cacheFile.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxCacheBytes)
        return cached;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0, format = 0, count = 0;
    QString directory;
    in >> magic >> format >> directory >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || format != kFormat || directory != unitsDirectory)
        return cached;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString fileName;
        CachedFile entry;
        in >> fileName >> entry.stamp >> entry.names;
        cached.insert(fileName, entry);
    }
    if (in.status() != QDataStream::Ok)
        cached.clear();
    return cached;
}

void WriteCache(const QString &cacheFile, const QString &unitsDirectory, const QHash<QString, CachedFile> &files)
{
    // A cache that cannot be written costs only speed.
    QDir().mkpath(QFileInfo(cacheFile).absolutePath());
    QSaveFile file(cacheFile);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kFormat << unitsDirectory << quint32(files.size());
    for (auto it = files.begin(); it != files.end(); ++it)
        out << it.key() << it->stamp << it->names;
    if (out.status() == QDataStream::Ok)
        file.commit();
}

}  // namespace

QStringList NamesOfUnit(const UnitRecord &unit)
{
    return QStringList{unit.UnitName} + unit.Aliases;
}

std::vector<SeriesNames> BuildUnitIndex(const QString &unitsDirectory, const QString &cacheFile, int *readFiles)
{
    std::vector<SeriesNames> index;
    const std::vector<SeriesEntry> series = BuildSeriesList(unitsDirectory);
    const QHash<QString, CachedFile> cached = ReadCache(cacheFile, unitsDirectory);
    QHash<QString, CachedFile> kept;
    bool changed = cached.size() != qsizetype(series.size());
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    int reads = 0;

    index.reserve(series.size());
    for (const SeriesEntry &entry : series) {
        const QString path = unitsDirectory + entry.fileName;
        FileStamp stamp;
        const bool stamped = StampOf(path, &stamp);
        const auto hit = cached.constFind(entry.fileName);
        if (stamped && hit != cached.constEnd() && hit->stamp == stamp) {
            index.push_back({entry, hit->names});
            kept.insert(entry.fileName, *hit);
            continue;
        }
        // Stamped before it is read: a change during the read changes the
        // stamp, and the next run reads the file again.
        UnitArray units;
        LoadUnitFile(path, units);
        ++reads;
        SeriesNames names{entry, {}};
        for (const UnitRecord &unit : units)
            names.names += NamesOfUnit(unit);
        if (stamped && now - qMax(stamp.modified, stamp.changed) >= kRacyNanoseconds)
            kept.insert(entry.fileName, CachedFile{stamp, names.names});
        changed = true;
        index.push_back(std::move(names));
    }
    if (changed && !cacheFile.isEmpty())
        WriteCache(cacheFile, unitsDirectory, kept);
    if (readFiles)
        *readFiles = reads;
    return index;
}
