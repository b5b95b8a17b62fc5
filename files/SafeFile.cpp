#include "files/SafeFile.h"

#include "files/Descriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <ctime>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {

bool WriteAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

namespace {

// The user's own, or root's: what the user may trust on the way to a file.
bool isTrustedOwner(uid_t owner)
{
    return owner == ::geteuid() || owner == 0;
}

QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The prefixes of an absolute, clean path: "/a", "/a/b", "/a/b/c".
QStringList prefixesOf(const QString &path)
{
    QStringList prefixes;
    QString prefix;
    for (const QString &part : path.split(u'/', Qt::SkipEmptyParts)) {
        prefix += u'/' + part;
        prefixes.append(prefix);
    }
    return prefixes;
}

// True when the folder and everything on the way to it is the user's or
// root's: every link on the written path, and every folder on the path the
// links lead to. A folder of another user could have its entries swapped
// under the writer; a link of another user could lead anywhere.
bool isTrustedFolderPath(const QString &folder)
{
    const QString path = absoluteClean(folder);
    for (const QString &prefix : prefixesOf(path)) {
        struct stat st {};
        if (::lstat(QFile::encodeName(prefix).constData(), &st) != 0)
            return false;
        if (!isTrustedOwner(st.st_uid))
            return false;
    }
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return false;
    for (const QString &prefix : prefixesOf(real)) {
        struct stat st {};
        if (::lstat(QFile::encodeName(prefix).constData(), &st) != 0 || !isTrustedOwner(st.st_uid))
            return false;
    }
    return true;
}

constexpr char kTemporaryTag[] = ".tovel-save-";

QByteArray temporaryPrefix(const QByteArray &fileName)
{
    return '.' + fileName + kTemporaryTag;
}

// A hidden temporary name for fileName, the last six characters letters or
// digits.
QByteArray temporaryName(const QByteArray &fileName)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = temporaryPrefix(fileName);
    for (int i = 0; i < 6; ++i)
        name += kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))];
    return name;
}

bool isTemporaryNameOf(const QByteArray &entry, const QByteArray &fileName)
{
    const QByteArray prefix = temporaryPrefix(fileName);
    if (entry.size() != prefix.size() + 6 || !entry.startsWith(prefix))
        return false;
    for (qsizetype i = prefix.size(); i < entry.size(); ++i) {
        const char c = entry[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Gives the file at fd the old file's owner and mode, and its group where
// the user may give it (a file of the user's own in a group the user is not
// in gets the group the user's new files get; the set-group bit goes then).
bool keepOwnership(int fd, const struct stat &old)
{
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return false;
    bool groupKept = true;
    // Owner and group first: a change of owner clears the set-id bits.
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        if (errno != EPERM || made.st_uid != old.st_uid)
            return false;
        groupKept = false;
    }
    mode_t mode = old.st_mode & 07777;
    if (!groupKept)
        mode &= ~mode_t(S_ISGID);
    return ::fchmod(fd, mode) == 0;
}

}  // namespace

bool IsTrustedFolder(const QString &folder)
{
    return !folder.isEmpty() && isTrustedFolderPath(folder);
}

QString WriteTarget(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QString absolute = absoluteClean(path);
    const QByteArray name = QFile::encodeName(absolute);
    struct stat link {};
    if (::lstat(name.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return absolute;
    // A link of the user's own to a file of the user's own is followed; one
    // planted by someone else, one to another's file (/etc/shadow, for root)
    // or one to nothing is not ours to write through.
    struct stat named {};
    if (link.st_uid != ::geteuid() || ::stat(name.constData(), &named) != 0 || named.st_uid != ::geteuid()
        || !S_ISREG(named.st_mode))
        return {};
    return QFileInfo(absolute).canonicalFilePath();
}

Outcome Replace(const QString &path, const QByteArray &bytes, const Options &options)
{
    const QString target = WriteTarget(path);
    if (target.isEmpty())
        return Outcome::Refused;
    const QFileInfo info(target);
    if (!isTrustedFolderPath(info.absolutePath()))
        return QFileInfo::exists(info.absolutePath()) ? Outcome::Refused : Outcome::Failed;
    const QByteArray fileName = QFile::encodeName(info.fileName());
    Descriptor folder(::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return Outcome::Failed;

    std::optional<struct stat> old;
    struct stat st {};
    if (::fstatat(folder.get(), fileName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        // A link here now was put in place since it was judged above.
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            return Outcome::Refused;
        if (options.keepReadOnly && (st.st_mode & S_IWUSR) == 0)
            return Outcome::Refused;
        if (::faccessat(folder.get(), fileName.constData(), W_OK, AT_EACCESS) != 0)
            return Outcome::Failed;
        old = st;
    } else if (errno != ENOENT) {
        return Outcome::Failed;
    }

    // The new file: unnamed until complete where the file system allows, so
    // a program killed while writing leaves nothing behind; otherwise under
    // a hidden temporary name.
    const mode_t createMode = old ? 0600 : mode_t(options.newFileMode & 07777);
    QByteArray temporary;
    bool named = false;
    int opened = ::openat(folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode);
    if (opened < 0) {
        for (int attempt = 0; attempt < 100 && opened < 0; ++attempt) {
            temporary = temporaryName(fileName);
            opened = ::openat(folder.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                              createMode);
            if (opened < 0 && errno != EEXIST)
                return Outcome::Failed;
        }
        if (opened < 0)
            return Outcome::Failed;
        named = true;
    }
    Descriptor fd(opened);
    const auto fail = [&] {
        if (named)
            ::unlinkat(folder.get(), temporary.constData(), 0);
        return Outcome::Failed;
    };
    if (!WriteAll(fd.get(), bytes) || (old && !keepOwnership(fd.get(), *old)) || ::fsync(fd.get()) != 0)
        return fail();
    if (!named) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd.get());
        for (int attempt = 0; attempt < 100 && !named; ++attempt) {
            temporary = temporaryName(fileName);
            if (::linkat(AT_FDCWD, self.constData(), folder.get(), temporary.constData(), AT_SYMLINK_FOLLOW) == 0)
                named = true;
            else if (errno != EEXIST)
                return Outcome::Failed;
        }
        if (!named)
            return Outcome::Failed;
    }
    if (::renameat(folder.get(), temporary.constData(), folder.get(), fileName.constData()) != 0)
        return fail();
    // The rename itself on disk, so a power cut after the end keeps it.
    ::fsync(folder.get());
    return Outcome::Written;
}

Outcome MakePrivateFolder(const QString &path)
{
    if (path.isEmpty())
        return Outcome::Failed;
    const QString absolute = absoluteClean(path);
    for (const QString &prefix : prefixesOf(absolute)) {
        const QByteArray name = QFile::encodeName(prefix);
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0) {
            if (errno != ENOENT)
                return Outcome::Failed;
            // Made only in a folder that is trusted where the links lead.
            if (!isTrustedFolderPath(QFileInfo(prefix).absolutePath()))
                return Outcome::Refused;
            if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
                return Outcome::Failed;
            if (::lstat(name.constData(), &st) != 0)
                return Outcome::Failed;
        }
        if (!isTrustedOwner(st.st_uid))
            return Outcome::Refused;
    }
    // The folder itself (through a link of the user's own or root's) must be
    // the user's, and everything on the way to it trusted.
    struct stat folder {};
    if (!isTrustedFolderPath(absolute) || ::stat(QFile::encodeName(absolute).constData(), &folder) != 0)
        return Outcome::Refused;
    if (!S_ISDIR(folder.st_mode) || folder.st_uid != ::geteuid())
        return Outcome::Refused;
    return Outcome::Written;
}

int OpenOwnFile(const QString &path)
{
    if (path.isEmpty())
        return -1;
    Descriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        errno = EPERM;
        return -1;
    }
    return fd.release();
}

Read ReadOwnFile(const QString &path, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    Descriptor fd(OpenOwnFile(path));
    if (fd.get() < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? Read::Missing : Read::Refused;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || st.st_size > maxBytes)
        return Read::Refused;
    QByteArray contents(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == contents.size()) {
            if (got > maxBytes)
                return Read::Refused;  // grew while being read
            contents.resize(qsizetype(std::min<qint64>(qint64(got) * 2 + 1, maxBytes + 1)));
        }
        const ssize_t n = ::read(fd.get(), contents.data() + got, size_t(contents.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Read::Refused;
        if (n == 0)
            break;
        got += n;
    }
    contents.truncate(got);
    *bytes = std::move(contents);
    return Read::Read;
}

int RemoveStaleTemporaries(const QString &path, std::chrono::seconds age)
{
    const QFileInfo info(path);
    const QByteArray fileName = QFile::encodeName(info.fileName());
    DIR *dir = ::opendir(QFile::encodeName(info.absolutePath()).constData());
    if (!dir)
        return 0;
    const time_t now = ::time(nullptr);
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!isTemporaryNameOf(QByteArray(entry->d_name), fileName))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || now - st.st_mtime < age.count())
            continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace SafeFile
