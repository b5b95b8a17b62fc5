#include "settings/SettingsLocation.h"

#include "settings/modFileFuncs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

// True when a new file can be made in the folder. The settings writer makes
// a temporary file there and renames it over the settings file, so this is
// exactly what a save needs. Tried for real, not judged from the permission
// bits: root passes every permission check, yet cannot write to a read-only
// file system.
bool FolderIsWritable(const QString &directory)
{
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        return false;
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".tovel-probe-XXXXXX")));
    return probe.open(); // removed again when probe goes
}

} // namespace

QString SettingsFileName()
{
    return QStringLiteral("Tovelset.ini");
}

QString SettingsFilePath(const QString &programDirectory, const QString &userConfigDirectory)
{
    QString programDir = programDirectory;
    if (FolderIsWritable(programDirectory) || userConfigDirectory.isEmpty())
        return JoinPath(programDir, SettingsFileName());
    // A program folder the user cannot write (a system-wide install): the
    // settings live in the user's own configuration folder instead, so they
    // are not lost silently at every end.
    QString configDir = userConfigDirectory;
    return JoinPath(configDir, SettingsFileName());
}

QString PrepareSettingsFile(const QString &programDirectory, const QString &userConfigDirectory)
{
    QString programDir = programDirectory;
    const QString beside = JoinPath(programDir, SettingsFileName());
    const QString path = SettingsFilePath(programDirectory, userConfigDirectory);
    if (path == beside)
        return path;

    QDir().mkpath(userConfigDirectory);
    // A settings file placed beside the program by whoever installed it is
    // the starting point of the user's own copy.
    if (!QFileInfo::exists(path) && QFileInfo(beside).isFile() && QFile::copy(beside, path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                        | QFile::ReadOther);
    return path;
}
