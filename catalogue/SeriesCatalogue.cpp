#include "catalogue/SeriesCatalogue.h"

#include "catalogue/SeriesText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <optional>

namespace {

// Whether bytes end in suffix (plain ASCII), ASCII letter case ignored.
bool EndsInAscii(const char *bytes, size_t size, QLatin1StringView suffix)
{
    const size_t n = size_t(suffix.size());
    return size >= n && QLatin1StringView(bytes + size - n, qsizetype(n)).compare(suffix, Qt::CaseInsensitive) == 0;
}

// The names in directory that end in suffix (ASCII, letter case ignored),
// read straight from the folder: empty when there is no such folder or it
// cannot be read; nothing when an entry with such a name is anything but a
// regular file whose name is plain text (a link, a folder, a device, a type
// the file system does not tell, bytes that are no text): those are left to
// Qt's rules for what QDir::Files lists.
std::optional<QStringList> PlainFilesEndingIn(const QString &directory, QLatin1StringView suffix)
{
    QStringList names;
    DIR *folder = ::opendir(QFile::encodeName(directory).constData());
    if (!folder)
        return names;
    bool plain = true;
    while (const dirent *entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;  // hidden, and "." and ".."
        const size_t size = std::strlen(entry->d_name);
        if (!EndsInAscii(entry->d_name, size, suffix))
            continue;
        // Well-formed UTF-8 is what decodes to text and encodes back to the
        // very same bytes.
        if (entry->d_type != DT_REG || !IsWellFormedUtf8(QByteArrayView(entry->d_name, qsizetype(size)))) {
            plain = false;
            break;
        }
        names << QString::fromUtf8(entry->d_name, qsizetype(size));
    }
    ::closedir(folder);
    if (!plain)
        return std::nullopt;
    return names;
}

// The names of ListFiles, in directory order; plainFiles, when given, is
// set to whether the folder's entries showed them all to be regular files
// with names of plain text.
QStringList ListFileNamesUnsorted(const QString &directory, const QString &pattern, bool *plainFiles = nullptr)
{
    if (plainFiles)
        *plainFiles = false;
    if (directory.isEmpty())
        return {};

    // QDir::Files without QDir::Hidden and QDir::System: ordinary files and
    // links to them; no folders, no names starting with ".", no pipes,
    // sockets, devices or dangling links. Without QDir::CaseSensitive the
    // pattern matches with letter case ignored.
    QStringList names;
    const QStringView suffix = QStringView(pattern).mid(1);
    const bool asciiSuffix = std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
        return c.unicode() > 0x20 && c.unicode() < 0x7F && c != u'*' && c != u'?' && c != u'[' && c != u'\\';
    });
    if (pattern.startsWith(u'*') && asciiSuffix) {
        // "*.dat": a comparison of the name's end, without the regular
        // expression that a name filter compiles, and without a look at each
        // entry's file information when the folder holds only plain files of
        // that name (tovelconv lists the folder on every run).
        const QByteArray latin1 = suffix.toLatin1();
        if (auto plain = PlainFilesEndingIn(directory, QLatin1StringView(latin1))) {
            names = std::move(*plain);
            if (plainFiles)
                *plainFiles = true;
        } else {
            QDirIterator it(directory, QDir::Files);
            while (it.hasNext()) {
                const QString name = it.nextFileInfo().fileName();
                if (name.endsWith(suffix, Qt::CaseInsensitive))
                    names << name;
            }
        }
    } else {
        QDir dir(directory);
        if (!dir.exists())
            return {};
        names = dir.entryList(QStringList{pattern}, QDir::Files, QDir::NoSort);
    }
    return names;
}

}  // namespace

QString ListFiles(const QString &directory, const QString &pattern)
{
    // Directory order is arbitrary: sorted, a list position means the same
    // file at every start.
    QStringList names = ListFileNamesUnsorted(directory, pattern);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
    return names.join(QChar(u'\0'));
}

QString SeriesNameOfFile(const QString &fileName)
{
    // Every ".dat" goes, exactly as written and wherever it stands, in one
    // pass from left to right: "a.dat.b.dat" is "a.b", "X.DAT" stays.
    const QLatin1StringView dat(".dat");
    const auto datAt = [&fileName](qsizetype at) {
        const QChar *c = fileName.constData() + at;
        return c[0] == u'.' && c[1] == u'd' && c[2] == u'a' && c[3] == u't';
    };
    const qsizetype end = fileName.size() - dat.size();
    qsizetype at = 0;
    while (at < end && !datAt(at))
        ++at;
    if (at == end && datAt(end))
        return fileName.left(end);  // the usual name: one ".dat", at the end
    QString name = fileName;
    return name.remove(dat, Qt::CaseSensitive);
}

SeriesEntry SeriesEntryOf(const QString &fileName)
{
    QString name = SeriesNameOfFile(fileName);
    const bool numberBase = IsNumberBaseSeries(name);
    return {std::move(name), fileName, numberBase};
}

std::vector<SeriesEntry> BuildSeriesList(const QString &unitsDirectory, bool *plainFiles)
{
    std::vector<SeriesEntry> series;
    const QStringList fileNames = ListFileNamesUnsorted(unitsDirectory, QStringLiteral("*.dat"), plainFiles);
    series.reserve(static_cast<size_t>(fileNames.size()));
    for (const QString &fileName : fileNames)
        series.push_back(SeriesEntryOf(fileName));

    // The list shows series names, so it is sorted by them: "長さ" before
    // "長さ (英)", which the file names would put the other way round (" "
    // sorts before "."). Letter case is ignored, then decides, then the file
    // name: a list position must mean the same series at every start,
    // whatever order the folder gives.
    std::sort(series.begin(), series.end(), [](const SeriesEntry &a, const SeriesEntry &b) {
        if (const int folded = QString::compare(a.name, b.name, Qt::CaseInsensitive))
            return folded < 0;
        if (const int exact = QString::compare(a.name, b.name, Qt::CaseSensitive))
            return exact < 0;
        return QString::compare(a.fileName, b.fileName, Qt::CaseSensitive) < 0;
    });
    return series;
}

QString NumberBaseSeriesName()
{
    return QStringLiteral("進数");
}

bool IsNumberBaseSeries(const QString &seriesName)
{
    return seriesName == NumberBaseSeriesName();
}
