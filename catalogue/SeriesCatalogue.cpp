#include "catalogue/SeriesCatalogue.h"

#include <QDir>
#include <QStringList>

#include <algorithm>

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
    QStringList names = dir.entryList(QStringList{pattern}, QDir::Files, QDir::NoSort);

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
    for (const QString &fileName : fileNames)
        series.push_back(SeriesEntry{SeriesNameOfFile(fileName), fileName});
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
