#include "catalogue/NameCache.h"

#include "catalogue/UnitFile.h"
#include "files/SafeFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint32 kMagic = 0x54564958;  // "TVIX"
constexpr quint32 kFormat = 2;
constexpr qint64 kMaxCacheBytes = 64 * 1024 * 1024;
constexpr qint64 kRacyNanoseconds = 2'000'000'000;

// The smallest number of bytes each thing in the file takes.
constexpr qsizetype kTextBytes = 4;
constexpr qsizetype kStampBytes = 5 * 8;
constexpr qsizetype kFileBytes = kTextBytes + kStampBytes + 4;
constexpr qsizetype kUnitBytes = 4;

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

// Reads the file's bytes from front to back; once anything does not fit,
// every further read gives 0 and ok() stays false.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_at(bytes.data()), m_end(bytes.data() + bytes.size()) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_end; }

    template<typename T>
    T number()
    {
        T value = 0;
        if (!take(sizeof value))
            return 0;
        std::memcpy(&value, m_at - sizeof value, sizeof value);
        return value;
    }

    // A count of things each at least size bytes long: refused (0, not ok)
    // when the bytes left cannot hold that many.
    quint32 count(qsizetype size)
    {
        const quint32 n = number<quint32>();
        if (m_ok && qint64(n) > (m_end - m_at) / size)
            m_ok = false;
        return m_ok ? n : 0;
    }

    QString text()
    {
        const quint32 units = count(2);
        if (!take(qsizetype(units) * 2))
            return QString();
        QString out(qsizetype(units), Qt::Uninitialized);
        std::memcpy(out.data(), m_at - qsizetype(units) * 2, size_t(units) * 2);
        return out;
    }

private:
    bool take(qsizetype n)
    {
        if (!m_ok || m_end - m_at < n) {
            m_ok = false;
            return false;
        }
        m_at += n;
        return true;
    }

    const char *m_at;
    const char *m_end;
    bool m_ok = true;
};

void Put(QByteArray &out, const void *data, size_t size)
{
    out.append(static_cast<const char *>(data), qsizetype(size));
}

template<typename T>
void PutNumber(QByteArray &out, T value)
{
    Put(out, &value, sizeof value);
}

void PutText(QByteArray &out, const QString &text)
{
    PutNumber(out, quint32(text.size()));
    Put(out, text.constData(), size_t(text.size()) * 2);
}

// The cache's bytes, read only when it is a regular file of the user's own,
// and not through a link.
std::vector<CachedSeriesFile> ReadCache(const QString &cacheFile, const QString &unitsDirectory)
{
    if (cacheFile.isEmpty())
        return {};
    const int fd = ::open(QFile::encodeName(cacheFile).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    std::vector<CachedSeriesFile> files;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_size > 0
        && st.st_size <= kMaxCacheBytes) {
        void *map = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            if (auto parsed = ParseNameCache(QByteArrayView(static_cast<const char *>(map), st.st_size),
                                             unitsDirectory))
                files = std::move(*parsed);
            ::munmap(map, size_t(st.st_size));
        }
    }
    ::close(fd);
    return files;
}

// Every write of the cache goes through here. A cache that cannot be
// written costs only speed.
void WriteNameCache(const QString &cacheFile, const QByteArray &bytes)
{
    // The cache folder is private (0700) and both the folder and the file
    // must be the user's own: a cache planted by someone else, or a link in
    // its place, is never written through.
    if (SafeFile::MakePrivateFolder(QFileInfo(cacheFile).absolutePath()) != SafeFile::Outcome::Written)
        return;
    SafeFile::Options options;
    options.newFileMode = 0600;
    SafeFile::Replace(cacheFile, bytes, options);
}

}  // namespace

QByteArray NameCacheBytes(const QString &unitsDirectory, const std::vector<CachedSeriesFile> &files)
{
    QByteArray out;
    PutNumber(out, kMagic);
    PutNumber(out, kFormat);
    PutText(out, unitsDirectory);
    PutNumber(out, quint32(files.size()));
    for (const CachedSeriesFile &file : files) {
        PutText(out, file.fileName);
        const FileStamp &s = file.stamp;
        PutNumber(out, s.device);
        PutNumber(out, s.inode);
        PutNumber(out, s.size);
        PutNumber(out, s.modified);
        PutNumber(out, s.changed);
        PutNumber(out, quint32(file.units.size()));
        for (const QStringList &names : file.units) {
            PutNumber(out, quint32(names.size()));
            for (const QString &name : names)
                PutText(out, name);
        }
    }
    return out;
}

std::optional<std::vector<CachedSeriesFile>> ParseNameCache(QByteArrayView bytes, const QString &unitsDirectory)
{
    Reader in(bytes);
    if (in.number<quint32>() != kMagic || in.number<quint32>() != kFormat || in.text() != unitsDirectory)
        return std::nullopt;
    std::vector<CachedSeriesFile> files(in.count(kFileBytes));
    for (CachedSeriesFile &file : files) {
        file.fileName = in.text();
        FileStamp &s = file.stamp;
        s.device = in.number<quint64>();
        s.inode = in.number<quint64>();
        s.size = in.number<qint64>();
        s.modified = in.number<qint64>();
        s.changed = in.number<qint64>();
        file.units.resize(in.count(kUnitBytes));
        for (QStringList &names : file.units) {
            names.resize(in.count(kTextBytes));
            for (QString &name : names)
                name = in.text();
        }
        if (!in.ok())
            return std::nullopt;
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return files;
}

QString NameCacheFileFor(const QString &cacheDirectory, const QString &unitsDirectory)
{
    if (cacheDirectory.isEmpty())
        return QString();
    const QByteArray key = QCryptographicHash::hash(QFileInfo(unitsDirectory).absoluteFilePath().toUtf8(),
                                                    QCryptographicHash::Sha1)
                               .toHex()
                               .left(16);
    return cacheDirectory + QStringLiteral("/tovelconv-") + QString::fromLatin1(key) + QStringLiteral(".index");
}

NameIndex LoadNameIndex(const QString &unitsDirectory, const QString &cacheFile, int *readFiles, NameCacheUse use)
{
    NameIndex index;
    const std::vector<SeriesEntry> series = BuildSeriesList(unitsDirectory);
    // The cache holds the folder as its file is named after it, so that
    // "units/" and "/home/me/units/" share one cache instead of each
    // replacing the other's.
    const QString cachedFolder = QFileInfo(unitsDirectory).absoluteFilePath();
    std::vector<CachedSeriesFile> cached;
    if (use == NameCacheUse::ReadAndWrite)
        cached = ReadCache(cacheFile, cachedFolder);
    QHash<QString, size_t> cachedAt;
    for (size_t i = 0; i < cached.size(); ++i)
        cachedAt.insert(cached[i].fileName, i);
    std::vector<CachedSeriesFile> kept;
    bool changed = use == NameCacheUse::Rebuild || cached.size() != series.size();
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    int reads = 0;

    for (const SeriesEntry &entry : series) {
        index.addSeries(entry);
        const QString path = unitsDirectory + entry.fileName;
        FileStamp stamp;
        const bool stamped = StampOf(path, &stamp);
        const auto hit = cachedAt.constFind(entry.fileName);
        if (stamped && hit != cachedAt.constEnd() && cached[*hit].stamp == stamp) {
            for (const QStringList &names : cached[*hit].units)
                index.addUnitNames(names);
            kept.push_back(std::move(cached[*hit]));
            continue;
        }
        // Stamped before it is read: a change during the read changes the
        // stamp, and the next run reads the file again.
        UnitArray units;
        LoadUnitFile(path, units);
        ++reads;
        CachedSeriesFile file{entry.fileName, stamp, {}};
        file.units.reserve(units.size());
        for (const UnitRecord &unit : units) {
            index.addUnit(unit.UnitName, unit.Aliases);
            file.units.push_back(QStringList{unit.UnitName} + unit.Aliases);
        }
        if (stamped && now - qMax(stamp.modified, stamp.changed) >= kRacyNanoseconds)
            kept.push_back(std::move(file));
        changed = true;
    }
    if (changed && !cacheFile.isEmpty())
        WriteNameCache(cacheFile, NameCacheBytes(cachedFolder, kept));
    if (readFiles)
        *readFiles = reads;
    return index;
}
