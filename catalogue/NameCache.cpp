#include "catalogue/NameCache.h"

#include "catalogue/UnitFile.h"
#include "files/SafeFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <span>
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
    const char *at() const { return m_at; }

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

    // A text where it lies in the bytes, which begin at an even address:
    // every field is a whole number of UTF-16 units long.
    QStringView text()
    {
        const quint32 units = count(2);
        if (!take(qsizetype(units) * 2))
            return QStringView();
        return QStringView(reinterpret_cast<const char16_t *>(m_at - qsizetype(units) * 2), qsizetype(units));
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

// A series file's entry as it lies in the cache's bytes.
struct FileEntry {
    QStringView fileName;
    FileStamp stamp;
    QByteArrayView units;  // the number of units and the units, as written
};

// Calls unitNames(names) for each unit of units (FileEntry::units), with
// its names viewing the bytes; false when they do not read.
template<typename Each>
bool ForEachUnit(QByteArrayView units, Each unitNames)
{
    Reader in(units);
    std::vector<QStringView> names;
    for (quint32 n = in.count(kUnitBytes); n > 0 && in.ok(); --n) {
        names.resize(in.count(kTextBytes));
        for (QStringView &name : names)
            name = in.text();
        if (in.ok())
            unitNames(std::span<const QStringView>(names));
    }
    return in.ok() && in.atEnd();
}

// The entries of a cache of unitsDirectory, viewing its bytes; nothing when
// the bytes are not such a cache in this form.
std::optional<std::vector<FileEntry>> ScanNameCache(QByteArrayView bytes, const QString &unitsDirectory)
{
    if (reinterpret_cast<quintptr>(bytes.data()) % alignof(char16_t) != 0)
        return std::nullopt;
    Reader in(bytes);
    if (in.number<quint32>() != kMagic || in.number<quint32>() != kFormat || in.text() != unitsDirectory || !in.ok())
        return std::nullopt;
    std::vector<FileEntry> files(in.count(kFileBytes));
    for (FileEntry &file : files) {
        file.fileName = in.text();
        FileStamp &s = file.stamp;
        s.device = in.number<quint64>();
        s.inode = in.number<quint64>();
        s.size = in.number<qint64>();
        s.modified = in.number<qint64>();
        s.changed = in.number<qint64>();
        const char *unitsStart = in.at();
        for (quint32 n = in.count(kUnitBytes); n > 0 && in.ok(); --n)
            for (quint32 k = in.count(kTextBytes); k > 0 && in.ok(); --k)
                in.text();
        if (!in.ok())
            return std::nullopt;
        file.units = QByteArrayView(unitsStart, in.at() - unitsStart);
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return files;
}

void Put(QByteArray &out, const void *data, size_t size)
{
    out.append(static_cast<const char *>(data), qsizetype(size));
}

template<typename T>
void PutNumber(QByteArray &out, T value)
{
    Put(out, &value, sizeof value);
}

void PutText(QByteArray &out, QStringView text)
{
    PutNumber(out, quint32(text.size()));
    Put(out, text.utf16(), size_t(text.size()) * 2);
}

void PutHeader(QByteArray &out, const QString &unitsDirectory, size_t files)
{
    PutNumber(out, kMagic);
    PutNumber(out, kFormat);
    PutText(out, unitsDirectory);
    PutNumber(out, quint32(files));
}

void PutFileStart(QByteArray &out, QStringView fileName, const FileStamp &s)
{
    PutText(out, fileName);
    PutNumber(out, s.device);
    PutNumber(out, s.inode);
    PutNumber(out, s.size);
    PutNumber(out, s.modified);
    PutNumber(out, s.changed);
}

void PutUnits(QByteArray &out, const std::vector<QStringList> &units)
{
    PutNumber(out, quint32(units.size()));
    for (const QStringList &names : units) {
        PutNumber(out, quint32(names.size()));
        for (const QString &name : names)
            PutText(out, name);
    }
}

// A cache file mapped for reading while the object lives; empty when it is
// not a regular file of the user's own (a link, another user's file), is
// empty or too large, or cannot be mapped.
class MappedCache {
public:
    explicit MappedCache(const QString &cacheFile)
    {
        if (cacheFile.isEmpty())
            return;
        const int fd = ::open(QFile::encodeName(cacheFile).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_size > 0
            && st.st_size <= kMaxCacheBytes) {
            void *map = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED)
                m_bytes = QByteArrayView(static_cast<const char *>(map), st.st_size);
        }
        ::close(fd);
    }
    ~MappedCache()
    {
        if (!m_bytes.isEmpty())
            ::munmap(const_cast<char *>(m_bytes.data()), size_t(m_bytes.size()));
    }
    MappedCache(const MappedCache &) = delete;
    MappedCache &operator=(const MappedCache &) = delete;

    QByteArrayView bytes() const { return m_bytes; }

private:
    QByteArrayView m_bytes;
};

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
    PutHeader(out, unitsDirectory, files.size());
    for (const CachedSeriesFile &file : files) {
        PutFileStart(out, file.fileName, file.stamp);
        PutUnits(out, file.units);
    }
    return out;
}

std::optional<std::vector<CachedSeriesFile>> ParseNameCache(QByteArrayView bytes, const QString &unitsDirectory)
{
    const auto entries = ScanNameCache(bytes, unitsDirectory);
    if (!entries)
        return std::nullopt;
    std::vector<CachedSeriesFile> files;
    files.reserve(entries->size());
    for (const FileEntry &entry : *entries) {
        CachedSeriesFile file{entry.fileName.toString(), entry.stamp, {}};
        ForEachUnit(entry.units, [&file](std::span<const QStringView> names) {
            QStringList &unit = file.units.emplace_back();
            for (const QStringView name : names)
                unit << name.toString();
        });
        files.push_back(std::move(file));
    }
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
    // The names of a file still the same are taken from the mapped cache
    // as they lie there, and written back as they were.
    const MappedCache mapped(use == NameCacheUse::ReadAndWrite ? cacheFile : QString());
    std::vector<FileEntry> cached;
    if (auto scanned = ScanNameCache(mapped.bytes(), cachedFolder))
        cached = std::move(*scanned);
    // The cache lists the files in the series list's order: the entry
    // after the last one found is the one looked for, unless files were
    // added or removed since.
    size_t nextCached = 0;
    const auto cachedEntry = [&cached, &nextCached](const QString &fileName) -> const FileEntry * {
        auto it = cached.begin() + qsizetype(std::min(nextCached, cached.size()));
        if (it == cached.end() || it->fileName != fileName)
            it = std::find_if(cached.begin(), cached.end(),
                              [&fileName](const FileEntry &e) { return e.fileName == fileName; });
        if (it == cached.end())
            return nullptr;
        nextCached = size_t(it - cached.begin()) + 1;
        return &*it;
    };
    // The cache's size bounds the names it gives: room for them at once.
    index.reserve(size_t(mapped.bytes().size()) / 16, size_t(mapped.bytes().size()) / 8,
                  size_t(mapped.bytes().size()) / 2);
    // What the cache written back holds for each file kept: the entry as
    // the old cache has it, or the names just read.
    struct Kept {
        const QString *fileName;
        FileStamp stamp;
        const FileEntry *cached;
        std::vector<QStringList> names;
    };
    std::vector<Kept> kept;
    kept.reserve(series.size());
    bool changed = use == NameCacheUse::Rebuild || cached.size() != series.size();
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    int reads = 0;

    for (const SeriesEntry &entry : series) {
        index.addSeries(entry);
        const QString path = unitsDirectory + entry.fileName;
        FileStamp stamp;
        const bool stamped = StampOf(path, &stamp);
        const FileEntry *hit = stamped ? cachedEntry(entry.fileName) : nullptr;
        if (hit && hit->stamp == stamp
            && ForEachUnit(hit->units, [&index](std::span<const QStringView> names) { index.addUnitNames(names); })) {
            kept.push_back({&entry.fileName, stamp, hit, {}});
            continue;
        }
        // Stamped before it is read: a change during the read changes the
        // stamp, and the next run reads the file again.
        UnitArray units;
        LoadUnitFile(path, units);
        ++reads;
        std::vector<QStringList> names;
        names.reserve(units.size());
        for (const UnitRecord &unit : units) {
            index.addUnit(unit.UnitName, unit.Aliases);
            names.push_back(QStringList{unit.UnitName} + unit.Aliases);
        }
        if (stamped && now - qMax(stamp.modified, stamp.changed) >= kRacyNanoseconds)
            kept.push_back({&entry.fileName, stamp, nullptr, std::move(names)});
        changed = true;
    }
    if (changed && !cacheFile.isEmpty()) {
        QByteArray bytes;
        PutHeader(bytes, cachedFolder, kept.size());
        for (const Kept &file : kept) {
            PutFileStart(bytes, *file.fileName, file.stamp);
            if (file.cached)
                bytes.append(file.cached->units);
            else
                PutUnits(bytes, file.names);
        }
        WriteNameCache(cacheFile, bytes);
    }
    if (readFiles)
        *readFiles = reads;
    return index;
}
