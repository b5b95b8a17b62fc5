#include "settings/SettingsLocation.h"

#include "settings/modFileFuncs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

const QString kSettingsName = QStringLiteral("Tovelset.ini");

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

QString SettingsFilePath(const QString &programDirectory, const QString &userConfigDirectory)
{
    QString programDir = programDirectory;
    const QString beside = JoinPath(programDir, kSettingsName);
    if (FolderIsWritable(programDirectory) || userConfigDirectory.isEmpty())
        return beside;

    // A program folder the user cannot write (a system-wide install): the
    // settings live in the user's own configuration folder instead, so they
    // are not lost silently at every end.
    QDir().mkpath(userConfigDirectory);
    QString configDir = userConfigDirectory;
    const QString own = JoinPath(configDir, kSettingsName);

    // A settings file placed beside the program by whoever installed it is
    // the starting point of the user's own copy.
    if (!QFileInfo::exists(own) && QFileInfo(beside).isFile() && QFile::copy(beside, own))
        QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                       | QFile::ReadOther);
    return own;
}
