#include "catalogue/SeriesCatalogue.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <dirent.h>
#include <optional>

namespace {

// The names in directory that end in suffix (letter case ignored), read
// straight from the folder; nothing when an entry with such a name is
// anything but a regular file whose name is plain text (a link, a folder,
// a device, a type the file system does not tell, bytes that are no text):
// those are left to Qt's rules for what QDir::Files lists.
std::optional<QStringList> PlainFilesEndingIn(const QString &directory, QStringView suffix)
{
    DIR *folder = ::opendir(QFile::encodeName(directory).constData());
    if (!folder)
        return std::nullopt;
    QStringList names;
    bool plain = true;
    while (const dirent *entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;  // hidden, and "." and ".."
        const QByteArray raw(entry->d_name);
        const QString name = QFile::decodeName(raw);
        if (!name.endsWith(suffix, Qt::CaseInsensitive))
            continue;
        if (entry->d_type != DT_REG || QFile::encodeName(name) != raw) {
            plain = false;
            break;
        }
        names << name;
    }
    ::closedir(folder);
    if (!plain)
        return std::nullopt;
    return names;
}

}  // namespace

QString ListFiles(const QString &directory, const QString &pattern)
{
    if (directory.isEmpty())
        return QString();
    QDir dir(directory);
    if (!dir.exists())
        return QString();

    // QDir::Files without QDir::Hidden and QDir::System: ordinary files and
    // links to them; no folders, no names starting with ".", no pipes,
    // sockets, devices or dangling links. Without QDir::CaseSensitive the
    // pattern matches with letter case ignored.
    QStringList names;
    const QStringView suffix = QStringView(pattern).mid(1);
    if (pattern.startsWith(u'*') && !suffix.contains(u'*') && !suffix.contains(u'?') && !suffix.contains(u'[')) {
        // "*.dat": a comparison of the name's end, without the regular
        // expression that a name filter compiles, and without a look at each
        // entry's file information when the folder holds only plain files of
        // that name (tovelconv lists the folder on every run).
        if (auto plain = PlainFilesEndingIn(directory, suffix)) {
            names = std::move(*plain);
        } else {
            QDirIterator it(directory, QDir::Files);
            while (it.hasNext()) {
                const QString name = it.nextFileInfo().fileName();
                if (name.endsWith(suffix, Qt::CaseInsensitive))
                    names << name;
            }
        }
    } else {
        names = dir.entryList(QStringList{pattern}, QDir::Files, QDir::NoSort);
    }

    // Directory order is arbitrary here: sort so that a list position means
    // the same series at every start.
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
    QString name = fileName;
    return name.remove(QStringLiteral(".dat"), Qt::CaseSensitive);
}

std::vector<SeriesEntry> BuildSeriesList(const QString &unitsDirectory)
{
    std::vector<SeriesEntry> series;
    const QString listing = ListFiles(unitsDirectory, QStringLiteral("*.dat"));
    if (listing.isEmpty())
        return series;
    const QStringList fileNames = listing.split(QChar(u'\0'));
    series.reserve(static_cast<size_t>(fileNames.size()));
    for (const QString &fileName : fileNames) {
        const QString name = SeriesNameOfFile(fileName);
        series.push_back(SeriesEntry{name, fileName, IsNumberBaseSeries(name)});
    }

    // The list shows series names, so it is sorted by them: "長さ" before
    // "長さ (英)", which the file names would put the other way round (" "
    // sorts before "."). Letter case is ignored, then decides, then the file
    // name: a list position must mean the same series at every start.
    std::stable_sort(series.begin(), series.end(), [](const SeriesEntry &a, const SeriesEntry &b) {
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
