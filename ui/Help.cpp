#include "ui/Help.h"

#include "settings/modFileFuncs.h"
#include "ui/Services.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

const QString kHelpFolder = QStringLiteral("tovelhelp");
const QString kHelpPage = QStringLiteral("index.html");
const QString kReadMe = QStringLiteral("readme.txt");

// Whether "index.html" is an ordinary, visible file of the folder
// programDirectory/tovelhelp, under exactly that name (a page stored as
// "Index.html" does not count, even on a file system that ignores case).
bool HelpPagePresent(const QString &programDirectory)
{
    QString directory = programDirectory;
    const QString helpFolder = JoinPath(directory, kHelpFolder);
    // Ordinary files only: hidden files and folders do not match. The name
    // filter ignores letter case, like a wildcard search on a file system
    // that ignores case; the names found are then compared exactly.
    const QStringList found = QDir(helpFolder).entryList(QStringList{kHelpPage}, QDir::Files, QDir::Name);
    return found.contains(kHelpPage, Qt::CaseSensitive);
}

// The full path that the help command opens: the help page when present,
// the read-me file otherwise (whether or not that one exists).
QString HelpDocumentPath(const QString &programDirectory)
{
    QString directory = programDirectory;
    if (HelpPagePresent(programDirectory))
        return JoinPath(directory, kHelpFolder + QLatin1Char('/') + kHelpPage);
    return JoinPath(directory, kReadMe);
}

}  // namespace

void ShowHelp(Services &services)
{
    // The result is not looked at: the desktop reports its own failures.
    services.openDocument(HelpDocumentPath(services.programDirectory()));
}
