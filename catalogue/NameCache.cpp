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
constexpr quint32 kFormat = 4;
constexpr qint64 kMaxCacheBytes = 64 * 1024 * 1024;
constexpr qint64 kRacyNanoseconds = 2'000'000'000;

// The smallest number of bytes each thing in the file takes.
constexpr qsizetype kTextBytes = 4;
constexpr qsizetype kStampBytes = 5 * 8;
constexpr qsizetype kFileBytes = kTextBytes + kStampBytes + 3 * 4;
constexpr qsizetype kNumberBytes = 2 * 8 + 3 * 2;  // a unit's factor, offset and flags
constexpr qsizetype kUnitBytes = 4 + 4 + kNumberBytes;
constexpr qsizetype kCompoundBytes = kTextBytes + 4;

// Appends text as UTF-8, the file names' encoding; false, with out as it
// was, for text that UTF-8 cannot hold (a surrogate alone).
bool AppendUtf8(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size() * 3);
    char *to = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x80) {
            *to++ = char(c);
            continue;
        }
        if (QChar::isSurrogate(c)) {
            if (!QChar::isHighSurrogate(c) || i + 1 == text.size() || !text[i + 1].isLowSurrogate()) {
                out.truncate(start);
                return false;
            }
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        }
        if (c < 0x800) {
            *to++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *to++ = char(0xE0 | (c >> 12));
            *to++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            *to++ = char(0xF0 | (c >> 18));
            *to++ = char(0x80 | ((c >> 12) & 0x3F));
            *to++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        *to++ = char(0x80 | (c & 0x3F));
    }
    out.truncate(to - out.constData());
    return true;
}

FileStamp StampOf(const struct stat &st)
{
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

// The stamp of the file fileName in the open folder folderFd; name is room
// for the file's encoded name.
bool StampOf(int folderFd, QStringView fileName, QByteArray &name, FileStamp *stamp)
{
    name.truncate(0);
    if (!AppendUtf8(name, fileName))
        name = QFile::encodeName(fileName.toString());
    struct stat st {};
    if (::fstatat(folderFd, name.constData(), &st, 0) != 0)
        return false;
    *stamp = StampOf(st);
    return true;
}

// Whether a file stamped so has kept its times for long enough that a
// change now would change them: a change within the file system's clock
// tick can leave them as they were.
bool Settled(const FileStamp &stamp, qint64 now)
{
    return now - qMax(stamp.modified, stamp.changed) >= kRacyNanoseconds;
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

    FileStamp stamp()
    {
        FileStamp s;
        s.device = number<quint64>();
        s.inode = number<quint64>();
        s.size = number<qint64>();
        s.modified = number<qint64>();
        s.changed = number<qint64>();
        return s;
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

    // A text where it lies in the bytes, which begin at an address that
    // four divides: every field is a whole number of UTF-16 units long.
    QStringView text() { return units(count(2)); }

    // That many UTF-16 units where they lie.
    QStringView units(quint32 n)
    {
        if (!take(qsizetype(n) * 2))
            return QStringView();
        return QStringView(reinterpret_cast<const char16_t *>(m_at - qsizetype(n) * 2), qsizetype(n));
    }

    // The next n bytes where they lie.
    const char *bytes(qsizetype n) { return take(n) ? m_at - n : nullptr; }

    // The padding (a u16 of 0) that puts what follows at an address four
    // divides, where it is needed.
    void padding()
    {
        if (reinterpret_cast<quintptr>(m_at) % 4 != 0 && number<quint16>() != 0)
            m_ok = false;
    }

    // That many u32 numbers where they lie, after the padding.
    std::span<const quint32> numbers(quint32 n)
    {
        padding();
        if (!take(qsizetype(n) * 4))
            return {};
        return {reinterpret_cast<const quint32 *>(m_at - qsizetype(n) * 4), size_t(n)};
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
    QByteArrayView units;  // its units and compound units, as written
};

// Reads a file's units and compound units from in, checking each as it
// goes; false when they do not read. index, when given, gets the units'
// names as they lie in the bytes, units and compounds the units as
// LoadUnitFile gave them. Nothing is added to index unless every unit has
// read; checked says that the entry has been read whole before, and its
// names are then added without checking it again.
//
// A file's units: their number, the number of all their names and of the
// UTF-16 units of those names (u32 each); per unit the number of its names
// and per name its length (u32 each, at an address four divides: a u16 of 0
// before them where needed); the names one after the other; per unit its
// factor and offset (f64 each), its separator and exponent flags (i16 each)
// and whether it is reciprocal (u16, 0 or 1). Then the compound units.
bool ReadEntry(Reader &in, NameIndex *index, UnitArray *units, CompoundArray *compounds, bool checked = false)
{
    const quint32 count = in.count(kUnitBytes);
    const quint32 nameTotal = in.count(4);
    const quint32 textUnits = in.count(2);
    const std::span<const quint32> namesPerUnit = in.numbers(count);
    const std::span<const quint32> nameLengths = in.numbers(nameTotal);
    const QStringView text = in.units(textUnits);
    if (!in.ok())
        return false;
    if (checked && index && !units && !compounds) {
        index->addUnits(namesPerUnit, nameLengths, text);
        return true;
    }
    quint64 names = 0;
    for (const quint32 n : namesPerUnit) {
        if (n == 0)
            return false;
        names += n;
    }
    quint64 length = 0;
    for (const quint32 n : nameLengths)
        length += n;
    if (names != nameTotal || length != textUnits)
        return false;
    // Of a unit's numbers, only the reciprocal flag (the last u16) has
    // values to refuse.
    const char *unitNumbers = in.bytes(qsizetype(count) * kNumberBytes);
    if (!in.ok())
        return false;
    for (quint32 n = 0; n < count; ++n) {
        quint16 reciprocal = 0;
        std::memcpy(&reciprocal, unitNumbers + (n + 1) * kNumberBytes - 2, sizeof reciprocal);
        if (reciprocal > 1)
            return false;
    }
    for (quint32 n = in.count(kCompoundBytes); n > 0 && in.ok(); --n) {
        const QStringView name = in.text();
        CompoundUnit *compound = compounds ? &compounds->emplace_back() : nullptr;
        for (quint32 parts = in.count(4); parts > 0 && in.ok(); --parts) {
            const quint32 part = in.number<quint32>();
            if (in.ok() && part >= count)
                return false;
            if (compound)
                compound->parts.push_back(int(part));
        }
        if (compound)
            compound->name = name.toString();
    }
    if (!in.ok())
        return false;

    if (index)
        index->addUnits(namesPerUnit, nameLengths, text);
    if (units) {
        Reader numbersIn(QByteArrayView(unitNumbers, qsizetype(count) * kNumberBytes));
        qsizetype at = 0;
        size_t k = 0;
        for (const quint32 n : namesPerUnit) {
            UnitRecord &unit = units->emplace_back();
            unit.Aliases.reserve(qsizetype(n) - 1);
            for (quint32 i = 0; i < n; ++i, ++k) {
                const QStringView name = text.sliced(at, nameLengths[k]);
                at += nameLengths[k];
                if (i == 0)
                    unit.UnitName = name.toString();
                else
                    unit.Aliases << name.toString();
            }
            unit.Factor = numbersIn.number<double>();
            unit.Offset = numbersIn.number<double>();
            unit.SeparatorOK = numbersIn.number<qint16>();
            unit.ExponentOK = numbersIn.number<qint16>();
            unit.Reciprocal = numbersIn.number<quint16>() != 0;
        }
    }
    return true;
}

struct ScannedCache {
    FileStamp folder;  // the units folder's when its every series file was in the cache
    std::vector<FileEntry> files;
};

// The entries of a cache of unitsDirectory, viewing its bytes; nothing when
// the bytes are not such a cache in this form.
std::optional<ScannedCache> ScanNameCache(QByteArrayView bytes, const QString &unitsDirectory)
{
    if (reinterpret_cast<quintptr>(bytes.data()) % alignof(quint32) != 0)
        return std::nullopt;
    Reader in(bytes);
    if (in.number<quint32>() != kMagic || in.number<quint32>() != kFormat || in.text() != unitsDirectory || !in.ok())
        return std::nullopt;
    ScannedCache cache;
    cache.folder = in.stamp();
    std::vector<FileEntry> &files = cache.files;
    files.resize(in.count(kFileBytes));
    for (FileEntry &file : files) {
        file.fileName = in.text();
        file.stamp = in.stamp();
        in.padding();
        const char *unitsStart = in.at();
        if (!ReadEntry(in, nullptr, nullptr, nullptr))
            return std::nullopt;
        file.units = QByteArrayView(unitsStart, in.at() - unitsStart);
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return cache;
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

// The u16 of 0 that puts what follows at an offset four divides.
void PutPadding(QByteArray &out)
{
    if (out.size() % 4 != 0)
        PutNumber(out, quint16(0));
}

void PutStamp(QByteArray &out, const FileStamp &s)
{
    PutNumber(out, s.device);
    PutNumber(out, s.inode);
    PutNumber(out, s.size);
    PutNumber(out, s.modified);
    PutNumber(out, s.changed);
}

void PutHeader(QByteArray &out, const QString &unitsDirectory, const FileStamp &folder, size_t files)
{
    PutNumber(out, kMagic);
    PutNumber(out, kFormat);
    PutText(out, unitsDirectory);
    PutStamp(out, folder);
    PutNumber(out, quint32(files));
}

void PutFileStart(QByteArray &out, QStringView fileName, const FileStamp &s)
{
    PutText(out, fileName);
    PutStamp(out, s);
    PutPadding(out);
}

void PutUnits(QByteArray &out, const UnitArray &units, const CompoundArray &compounds)
{
    quint32 names = 0;
    quint32 textUnits = 0;
    for (const UnitRecord &unit : units) {
        names += quint32(unit.Aliases.size() + 1);
        textUnits += quint32(unit.UnitName.size());
        for (const QString &alias : unit.Aliases)
            textUnits += quint32(alias.size());
    }
    PutNumber(out, quint32(units.size()));
    PutNumber(out, names);
    PutNumber(out, textUnits);
    for (const UnitRecord &unit : units)
        PutNumber(out, quint32(unit.Aliases.size() + 1));
    for (const UnitRecord &unit : units) {
        PutNumber(out, quint32(unit.UnitName.size()));
        for (const QString &alias : unit.Aliases)
            PutNumber(out, quint32(alias.size()));
    }
    for (const UnitRecord &unit : units) {
        Put(out, unit.UnitName.utf16(), size_t(unit.UnitName.size()) * 2);
        for (const QString &alias : unit.Aliases)
            Put(out, alias.utf16(), size_t(alias.size()) * 2);
    }
    for (const UnitRecord &unit : units) {
        PutNumber(out, unit.Factor);
        PutNumber(out, unit.Offset);
        PutNumber(out, unit.SeparatorOK);
        PutNumber(out, unit.ExponentOK);
        PutNumber(out, quint16(unit.Reciprocal ? 1 : 0));
    }
    PutNumber(out, quint32(compounds.size()));
    for (const CompoundUnit &compound : compounds) {
        PutText(out, compound.name);
        PutNumber(out, quint32(compound.parts.size()));
        for (const int part : compound.parts)
            PutNumber(out, quint32(part));
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

QByteArray NameCacheBytes(const QString &unitsDirectory, const std::vector<CachedSeriesFile> &files,
                          const FileStamp &folder)
{
    QByteArray out;
    PutHeader(out, unitsDirectory, folder, files.size());
    for (const CachedSeriesFile &file : files) {
        PutFileStart(out, file.fileName, file.stamp);
        PutUnits(out, file.units, file.compounds);
    }
    return out;
}

std::optional<std::vector<CachedSeriesFile>> ParseNameCache(QByteArrayView bytes, const QString &unitsDirectory,
                                                            FileStamp *folder)
{
    const auto scanned = ScanNameCache(bytes, unitsDirectory);
    if (!scanned)
        return std::nullopt;
    if (folder)
        *folder = scanned->folder;
    std::vector<CachedSeriesFile> files;
    files.reserve(scanned->files.size());
    for (const FileEntry &entry : scanned->files) {
        CachedSeriesFile file{entry.fileName.toString(), entry.stamp, {}, {}};
        Reader in(entry.units);
        ReadEntry(in, nullptr, &file.units, &file.compounds);
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

bool CachedSeriesUnits::load(int series, UnitArray &units, CompoundArray &compounds) const
{
    if (series < 0 || size_t(series) >= m_entries.size() || m_entries[size_t(series)].isEmpty())
        return false;
    UnitArray read;
    CompoundArray readCompounds;
    Reader in(m_entries[size_t(series)]);
    if (!ReadEntry(in, nullptr, &read, &readCompounds) || !in.atEnd())
        return false;
    units = std::move(read);
    compounds = std::move(readCompounds);
    return true;
}

void CachedSeriesUnits::keep(std::shared_ptr<const void> bytes, std::vector<QByteArrayView> entries)
{
    m_bytes = std::move(bytes);
    m_entries = std::move(entries);
}

NameIndex LoadNameIndex(const QString &unitsDirectory, const QString &cacheFile, int *readFiles, NameCacheUse use,
                        CachedSeriesUnits *cachedUnits)
{
    NameIndex index;
    // The folder is stamped before it is listed: a file added or removed
    // meanwhile changes its times, and the next run lists it again.
    const QByteArray folder = QFile::encodeName(unitsDirectory);
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FileStamp folderStamp;
    if (struct stat st{}; folderFd >= 0 && ::fstat(folderFd, &st) == 0)
        folderStamp = StampOf(st);
    // The cache holds the folder as its file is named after it, so that
    // "units/" and "/home/me/units/" share one cache instead of each
    // replacing the other's.
    const QString cachedFolder = QFileInfo(unitsDirectory).absoluteFilePath();
    // The names of a file still the same are taken from the mapped cache
    // as they lie there, and written back as they were.
    const auto mapped = std::make_shared<const MappedCache>(use == NameCacheUse::ReadAndWrite ? cacheFile : QString());
    ScannedCache scanned;
    if (auto read = ScanNameCache(mapped->bytes(), cachedFolder))
        scanned = std::move(*read);
    const std::vector<FileEntry> &cached = scanned.files;

    // A folder whose series files are all regular files changes its times
    // whenever one of them is added, removed or renamed: while they are as
    // the cache has them, its list is the cache's, and the folder need not
    // be read.
    std::vector<SeriesEntry> series;
    bool plainFiles = true;
    if (folderStamp.size >= 0 && scanned.folder == folderStamp) {
        series.reserve(cached.size());
        for (const FileEntry &file : cached)
            series.push_back(SeriesEntryOf(file.fileName.toString()));
    } else {
        series = BuildSeriesList(unitsDirectory, &plainFiles);
    }

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
    const size_t cacheBytes = size_t(mapped->bytes().size());
    index.reserve(cacheBytes / 32, cacheBytes / 16, cacheBytes / 2);
    std::vector<QByteArrayView> unitsCached(cachedUnits ? series.size() : 0);
    // What the cache written back holds for each file kept: the entry as
    // the old cache has it, or the names just read.
    struct Kept {
        const QString *fileName;
        FileStamp stamp;
        const FileEntry *cached;
        UnitArray units;
        CompoundArray compounds;
    };
    std::vector<Kept> kept;
    kept.reserve(series.size());
    bool changed = use == NameCacheUse::Rebuild || cached.size() != series.size();
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    int reads = 0;

    QByteArray encodedName;
    encodedName.reserve(256);
    for (size_t s = 0; s < series.size(); ++s) {
        const SeriesEntry &entry = series[s];
        index.addSeries(entry);
        FileStamp stamp;
        const bool stamped = folderFd >= 0 && StampOf(folderFd, entry.fileName, encodedName, &stamp);
        const FileEntry *hit = stamped ? cachedEntry(entry.fileName) : nullptr;
        // Every entry of the cache has read whole: this one adds all its
        // names or fails before adding any.
        if (Reader in(hit ? hit->units : QByteArrayView());
            hit && hit->stamp == stamp && ReadEntry(in, &index, nullptr, nullptr, true)) {
            kept.push_back({&entry.fileName, stamp, hit, {}, {}});
            if (cachedUnits)
                unitsCached[s] = hit->units;
            continue;
        }
        // Stamped before it is read: a change during the read changes the
        // stamp, and the next run reads the file again.
        UnitArray units;
        CompoundArray compounds;
        LoadUnitFile(unitsDirectory + entry.fileName, units, compounds);
        ++reads;
        for (const UnitRecord &unit : units)
            index.addUnit(unit.UnitName, unit.Aliases);
        if (stamped && Settled(stamp, now))
            kept.push_back({&entry.fileName, stamp, nullptr, std::move(units), std::move(compounds)});
        changed = true;
    }
    if (folderFd >= 0)
        ::close(folderFd);
    // The folder's stamp is kept only with every series file in the cache.
    const FileStamp keptFolder = plainFiles && kept.size() == series.size() && folderStamp.size >= 0
            && Settled(folderStamp, now)
        ? folderStamp
        : FileStamp();
    changed = changed || keptFolder != scanned.folder;
    if (changed && !cacheFile.isEmpty()) {
        QByteArray bytes;
        PutHeader(bytes, cachedFolder, keptFolder, kept.size());
        for (const Kept &file : kept) {
            PutFileStart(bytes, *file.fileName, file.stamp);
            if (file.cached)
                bytes.append(file.cached->units);
            else
                PutUnits(bytes, file.units, file.compounds);
        }
        WriteNameCache(cacheFile, bytes);
    }
    if (readFiles)
        *readFiles = reads;
    if (cachedUnits)
        cachedUnits->keep(mapped, std::move(unitsCached));
    return index;
}
