#include "settings/SettingsLocation.h"

#include "settings/ProfileStore.h"
#include "settings/modFileFuncs.h"

#include "files/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

using namespace Qt::Literals::StringLiterals;

#include <sys/stat.h>
#include <unistd.h>

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
    return probe.open();  // removed again when probe goes
}

// True when the file at path (a link followed) is the user's own settings
// file: a regular file of the effective user, not marked read-only. Judged
// from what is on disk, not from a try that a full disk or a read-only
// remount could fail for a moment.
bool IsOwnSettingsFile(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & S_IWUSR) != 0;
}

// True when what is at path (a link followed) belongs to the effective user.
bool IsOwnedByUser(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == ::geteuid();
}

// True when the folder can be written, or does not exist yet and could be
// made: its nearest existing ancestor can be written.
bool FolderCanBeMadeOrWritten(const QString &directory)
{
    if (directory.isEmpty())
        return false;
    QString existing = QDir::cleanPath(QDir(directory).absolutePath());
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            return false;
        existing = parent;
    }
    return FolderIsWritable(existing);
}

// True when the path lies in the folder or below it.
bool IsWithin(const QString &path, const QString &folder)
{
    const QString clean = QDir::cleanPath(path);
    const QString top = QDir::cleanPath(folder);
    return !top.isEmpty() && top != u"/"_s && (clean == top || clean.startsWith(top + u'/'));
}

// True when the program folder is one an install made: the package's
// /usr/lib/tovel or a "sudo cmake --install" prefix's <prefix>/lib/tovel,
// for everyone to read and for no run of the program to write. A folder of
// another owner is one; so is root's folder in an install's layout (a
// folder "lib/tovel" whose "bin/tovel" beside "lib" is a link to the
// program in it) outside the running user's home, which root would
// otherwise find its own. A user's own unpacked or per-user installed
// folder (~/.local/lib/tovel) is not.
bool IsInstalledProgramFolder(const QString &programDirectory)
{
    struct stat st {};
    const QByteArray folder = QFile::encodeName(programDirectory);
    if (::stat(folder.constData(), &st) != 0)
        return false;
    if (st.st_uid != ::geteuid())
        return true;
    if (st.st_uid != 0)
        return false;
    const QFileInfo info(QFileInfo(programDirectory).canonicalFilePath());
    const QDir parent = info.dir();
    if (info.fileName() != u"tovel"_s || parent.dirName() != u"lib"_s)
        return false;
    QDir prefix = parent;
    if (!prefix.cdUp())
        return false;
    const QFileInfo command(prefix.filePath(u"bin/tovel"_s));
    return command.isSymLink() && IsWithin(command.canonicalFilePath(), info.filePath())
        && !IsWithin(info.filePath(), QFileInfo(QDir::homePath()).canonicalFilePath());
}

// The settings when the configuration folder cannot take them: the file
// installed beside the program, read and never saved, as no save can write
// there. Root could write an installed program folder, so root gets the
// configuration folder's path all the same (saves there fail, and the
// settings start from their defaults) rather than a file beside the
// program that a save would make or replace.
QString WithoutConfigurationFolder(const QString &programDirectory, const QString &beside, const QString &own)
{
    if (IsInstalledProgramFolder(programDirectory) && IsOwnedByUser(programDirectory))
        return own;
    return beside;
}

}  // namespace

QString SettingsFileName()
{
    return QStringLiteral("Tovelset.ini");
}

QString SettingsFilePath(const QString &programDirectory, const QString &userConfigDirectory)
{
    QString programDir = programDirectory;
    const QString beside = JoinPath(programDir, SettingsFileName());
    // The user's own settings beside the program stay the settings, even on
    // a start that finds the folder unwritable for a moment; a file in an
    // installed program folder is the administrator's, even for root.
    const bool installed = IsInstalledProgramFolder(programDirectory);
    if (userConfigDirectory.isEmpty())
        return WithoutConfigurationFolder(programDirectory, beside, QString());
    if (!installed && IsOwnSettingsFile(beside))
        return beside;
    // Once the user has a copy in the configuration folder and the file
    // beside the program is not the user's own, the copy is the settings.
    QString configDir = userConfigDirectory;
    const QString own = JoinPath(configDir, SettingsFileName());
    if (QFileInfo::exists(own))
        return own;
    // A program folder of the user's own that can be written (a per-user
    // install) takes a new settings file, and a file there that the user
    // marked read-only stays the settings, unsaved. Anyone else's folder or
    // file (a system-wide install, or a user's folder that root runs the
    // program from) leaves the settings in the user's own configuration
    // folder, so they are not lost silently at every end and no one's file
    // is taken.
    if (!installed && IsOwnedByUser(QFileInfo::exists(beside) ? beside : programDirectory)
        && FolderIsWritable(programDirectory))
        return beside;
    if (FolderCanBeMadeOrWritten(userConfigDirectory))
        return own;
    // Neither folder can be written (a read-only home, say): the settings
    // installed beside the program are read, and no save writes anything.
    return WithoutConfigurationFolder(programDirectory, beside, own);
}

QString PrepareSettingsFile(const QString &programDirectory, const QString &userConfigDirectory)
{
    QString programDir = programDirectory;
    const QString beside = JoinPath(programDir, SettingsFileName());
    const QString path = SettingsFilePath(programDirectory, userConfigDirectory);
    if (path == beside)
        return path;

    if (SafeFile::MakePrivateFolder(userConfigDirectory) != SafeFile::Outcome::Written && !QFileInfo::exists(path))
        // The folder cannot be made after all (or is not ours): read what was installed.
        return WithoutConfigurationFolder(programDirectory, beside, path);
    // A settings file placed beside the program by whoever installed it is
    // the starting point of the user's own copy, if it is one a settings
    // file can be (regular, of sane size).
    QByteArray installed;
    QFileInfo copy(path);
    if (!copy.exists() && !copy.isSymLink() && QFileInfo(beside).isFile()
        && ProfileStore::LoadBytes(beside, &installed) == ProfileStore::Load::Read)
        SafeFile::Replace(path, installed);
    return path;
}

QString SettingsFileToRead(const QString &programDirectory, const QString &userConfigDirectory)
{
    QString programDir = programDirectory;
    const QString beside = JoinPath(programDir, SettingsFileName());
    // Whether the folder is an installed one is asked only of a file that
    // is there: it takes several looks at the file system.
    if (userConfigDirectory.isEmpty() || (IsOwnSettingsFile(beside) && !IsInstalledProgramFolder(programDirectory)))
        return beside;
    QString configDir = userConfigDirectory;
    const QString own = JoinPath(configDir, SettingsFileName());
    return QFileInfo::exists(own) ? own : beside;
}
