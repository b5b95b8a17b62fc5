#include "settings/ProfileStore.h"

#include "settings/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ProfileStore {
namespace {

// The encodings a settings file can come in. A file without a UTF-16 byte
// order mark is code page 932 bytes, like its Windows sibling's.
enum class Encoding { CodePage, Utf16LE, Utf16BE };

constexpr const char kCodePage[] = "CP932";

// A settings file in the form the format functions work on: the bytes of a
// code page 932 file as they are, or a UTF-16 file's text as UTF-8 without
// its byte order mark.
struct Document {
    QByteArray bytes;
    Encoding encoding = Encoding::CodePage;
    bool writable = true;  // false: a UTF-16 file that would not read back as it was
};

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool writeAll(int fd, const QByteArray &bytes)
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

Document decode(const QByteArray &raw)
{
    Document doc;
    const bool littleEndian = raw.startsWith("\xFF\xFE");
    if (!littleEndian && !raw.startsWith("\xFE\xFF")) {
        doc.bytes = raw;
        return doc;
    }
    doc.encoding = littleEndian ? Encoding::Utf16LE : Encoding::Utf16BE;
    const auto utf16 = littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
    const QByteArray body = raw.mid(2);
    // The mark is taken off above; a second one would be text.
    QStringDecoder decoder(utf16, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(body);
    doc.bytes = text.toUtf8();
    // Odd lengths and unpaired surrogates do not survive the trip through
    // UTF-8: such a file is read as well as it goes and never written.
    QStringEncoder encoder(utf16, QStringConverter::Flag::Stateless);
    const QByteArray again = encoder.encode(QString::fromUtf8(doc.bytes));
    doc.writable = !decoder.hasError() && !encoder.hasError() && again == body;
    return doc;
}

std::optional<QByteArray> encodeText(const QString &text, Encoding encoding)
{
    if (encoding != Encoding::CodePage)
        return text.toUtf8();
    QStringEncoder encoder(kCodePage);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;  // not held by code page 932: not written with "?" in its place
    return bytes;
}

QString decodeText(const QByteArray &bytes, Encoding encoding)
{
    if (encoding != Encoding::CodePage)
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(kCodePage);
    return decoder.decode(bytes);
}

QByteArray encodeFile(const QByteArray &bytes, Encoding encoding)
{
    if (encoding == Encoding::CodePage)
        return bytes;
    const bool littleEndian = encoding == Encoding::Utf16LE;
    QStringEncoder encoder(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                           QStringConverter::Flag::Stateless);
    return QByteArray(littleEndian ? "\xFF\xFE" : "\xFE\xFF") + QByteArray(encoder.encode(QString::fromUtf8(bytes)));
}

constexpr char kLockMark[] = "tovel-save ";

// The lock beside the settings file, held while it is open. The lock file
// is removed again before the lock is let go, so it is seen only while a
// save runs (or after a killed one, until the next save); a program that
// waited on a lock file that was removed meanwhile takes the new one.
//
// The holder marks the lock file with its process id. A waiter waits up to
// LockWait for a holder whose mark names a running process, but only
// ForeignLockWait for one that is not marked (the moment between taking the
// lock and marking it is far shorter): a lock some other program sits on
// makes the save fail quietly instead of freezing the end.
class SaveLock {
public:
    explicit SaveLock(QByteArray path) : m_path(std::move(path))
    {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        bool unmarked = false;  // the holder has not marked the lock since unmarkedSince
        Clock::time_point unmarkedSince = start;
        while (!tryTake()) {
            const auto now = Clock::now();
            if (m_failed || now - start >= LockWait)
                return;
            if (m_holderMarked) {
                unmarked = false;
            } else {
                if (!unmarked)
                    unmarkedSince = now;
                unmarked = true;
                if (now - unmarkedSince >= ForeignLockWait)
                    return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    ~SaveLock()
    {
        if (m_fd < 0)
            return;
        ::unlink(m_path.constData());
        ::close(m_fd);  // lets the lock go
    }
    SaveLock(const SaveLock &) = delete;
    SaveLock &operator=(const SaveLock &) = delete;

    // False when the lock could not be had within LockWait, or at all (a
    // folder that cannot be written cannot take a new settings file either).
    bool held() const { return m_fd >= 0; }

private:
    bool tryTake()
    {
        const int fd = ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0) {
            m_failed = true;
            return false;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            m_failed = true;
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                m_failed = true;
            m_holderMarked = isMarkedBySaver(fd);
            ::close(fd);
            return false;
        }
        // The holder before us may have removed the file after we opened
        // it: then the lock is on a file no one else will see; try again.
        if (::stat(m_path.constData(), &named) != 0 || named.st_ino != opened.st_ino || named.st_dev != opened.st_dev) {
            ::close(fd);
            return false;
        }
        const QByteArray mark = kLockMark + QByteArray::number(qint64(::getpid())) + '\n';
        if (::ftruncate(fd, 0) != 0 || !writeAll(fd, mark)) {
            ::close(fd);
            m_failed = true;
            return false;
        }
        m_fd = fd;
        return true;
    }

    // True when the lock file names a running process as a saving holder.
    static bool isMarkedBySaver(int fd)
    {
        char text[64] = {};
        const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
        const qsizetype markSize = qsizetype(sizeof kLockMark - 1);
        if (n <= markSize || std::strncmp(text, kLockMark, size_t(markSize)) != 0)
            return false;
        bool ok = false;
        const qint64 pid = QByteArray(text + markSize, n - markSize).trimmed().toLongLong(&ok);
        return ok && pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
    }

    QByteArray m_path;
    int m_fd = -1;
    bool m_failed = false;
    bool m_holderMarked = false;
};

// The fixed part of a temporary file's name: ".<name>.tovel-save-XXXXXX".
QByteArray temporaryPrefix(const QByteArray &fileName)
{
    return '.' + fileName + ".tovel-save-";
}

// A temporary name beside the file, the last six characters letters or
// digits.
QByteArray temporaryName(const QByteArray &target)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray name = target.left(slash + 1) + temporaryPrefix(target.mid(slash + 1));
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

// Writes bytes to a new file beside target and renames it over target.
// Where the file system allows, the new file has no name until it is
// complete (O_TMPFILE), so a program killed while writing leaves nothing
// behind; otherwise it is written under a temporary name.
bool replaceFile(const QByteArray &target, const QByteArray &folder, const QByteArray &bytes,
                 const std::optional<struct stat> &old)
{
    QByteArray temporary;
    bool named = false;
    int opened = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (opened < 0) {
        for (int attempt = 0; attempt < 100 && opened < 0; ++attempt) {
            temporary = temporaryName(target);
            opened = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (opened < 0 && errno != EEXIST)
                return false;
        }
        if (opened < 0)
            return false;
        named = true;
    }
    Descriptor fd(opened);
    const auto fail = [&] {
        if (named)
            ::unlink(temporary.constData());
        return false;
    };
    if (!writeAll(fd.get(), bytes))
        return fail();
    // The old file's owner and group first (a change of owner clears the
    // set-id bits), then its mode.
    struct stat made {};
    if (old
        && (::fstat(fd.get(), &made) != 0
            || ((made.st_uid != old->st_uid || made.st_gid != old->st_gid)
                && ::fchown(fd.get(), old->st_uid, old->st_gid) != 0)
            || ::fchmod(fd.get(), old->st_mode & 07777) != 0))
        return fail();
    if (::fsync(fd.get()) != 0)
        return fail();
    if (!named) {
        // Give the complete file a temporary name, then rename it.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd.get());
        for (int attempt = 0; attempt < 100 && !named; ++attempt) {
            temporary = temporaryName(target);
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temporary.constData(), AT_SYMLINK_FOLLOW) == 0)
                named = true;
            else if (errno != EEXIST)
                return false;
        }
        if (!named)
            return false;
    }
    if (::rename(temporary.constData(), target.constData()) != 0)
        return fail();
    // The rename itself on disk, so a power cut after the end keeps it.
    Descriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

// One try of LoadBytes; nothing when the file was replaced between its
// check and its opening (a save of another program), to be tried again.
std::optional<Load> loadOnce(const QByteArray &name, QByteArray *bytes)
{
    // Judged before opening for reading: opening a pipe or a device can
    // block or act. A path-only descriptor (O_PATH) does neither.
    Descriptor where(::open(name.constData(), O_PATH | O_CLOEXEC));
    if (where.get() < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? Load::Missing : Load::Refused;
    struct stat st {};
    if (::fstat(where.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MaxFileBytes)
        return Load::Refused;
    Descriptor fd(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        return errno == ENOENT ? std::nullopt : std::optional(Load::Refused);
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0)
        return Load::Refused;
    if (opened.st_ino != st.st_ino || opened.st_dev != st.st_dev)
        return std::nullopt;
    if (opened.st_size > MaxFileBytes)
        return Load::Refused;
    QByteArray contents(qsizetype(opened.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == contents.size()) {
            if (got > MaxFileBytes)
                return Load::Refused;  // grew while being read
            contents.resize(std::min<qsizetype>(got * 2 + 1, MaxFileBytes + 1));
        }
        const ssize_t n = ::read(fd.get(), contents.data() + got, size_t(contents.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Load::Refused;
        if (n == 0)
            break;
        got += n;
    }
    contents.truncate(got);
    *bytes = std::move(contents);
    return Load::Read;
}

}  // namespace

Load LoadBytes(const QString &path, QByteArray *bytes)
{
    bytes->clear();
    if (path.isEmpty())
        return Load::Missing;
    const QByteArray name = QFile::encodeName(path);
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (const auto result = loadOnce(name, bytes))
            return *result;
    }
    return Load::Refused;
}

std::optional<QString> ReadValue(const QString &path, const QString &section, const QString &key)
{
    QByteArray raw;
    if (LoadBytes(path, &raw) != Load::Read)
        return std::nullopt;
    const Document doc = decode(raw);
    const auto sectionBytes = encodeText(section, doc.encoding);
    const auto keyBytes = encodeText(key, doc.encoding);
    if (!sectionBytes || !keyBytes)
        return std::nullopt;
    const auto value = ProfileFile::lookUp(doc.bytes, *sectionBytes, *keyBytes);
    if (!value)
        return std::nullopt;
    return decodeText(*value, doc.encoding);
}

std::vector<std::pair<QString, QString>> ReadSection(const QString &path, const QString &section)
{
    std::vector<std::pair<QString, QString>> entries;
    QByteArray raw;
    if (LoadBytes(path, &raw) != Load::Read)
        return entries;
    const Document doc = decode(raw);
    const auto sectionBytes = encodeText(section, doc.encoding);
    if (!sectionBytes)
        return entries;
    for (const ProfileFile::Entry &entry : ProfileFile::sectionEntries(doc.bytes, *sectionBytes))
        entries.emplace_back(decodeText(entry.key, doc.encoding), decodeText(entry.value, doc.encoding));
    return entries;
}

bool Save(const QString &path, const std::vector<Change> &changes)
{
    if (path.isEmpty())
        return false;
    // A link to a settings file elsewhere is followed: the file it names is
    // replaced, the link stays. Only a link of the user's own to a file of
    // the user's own: one planted by someone else, or one to a file of
    // another owner (/etc/passwd, for root), is not ours to write through. A
    // link to nothing is not ours to fill.
    QString targetPath = path;
    const QByteArray pathName = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(pathName.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
        struct stat named {};
        if (link.st_uid != ::geteuid() || ::stat(pathName.constData(), &named) != 0 || named.st_uid != ::geteuid())
            return false;
        targetPath = QFileInfo(path).canonicalFilePath();
        if (targetPath.isEmpty())
            return false;
    }
    const QFileInfo target(targetPath);
    const QByteArray targetName = QFile::encodeName(targetPath);
    const QByteArray folder = QFile::encodeName(target.absolutePath());

    const SaveLock lock(targetName + ".lock");
    if (!lock.held())
        return false;
    RemoveStaleTemporaries(targetPath, StaleAge);

    QByteArray raw;
    std::optional<struct stat> old;
    switch (LoadBytes(targetPath, &raw)) {
    case Load::Refused: return false;
    case Load::Missing: break;
    case Load::Read: {
        struct stat st {};
        if (::lstat(targetName.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        // A file of another user is not ours to replace, not even for root.
        if (st.st_uid != ::geteuid())
            return false;
        // A file marked read-only stays as it is, as it would on Windows
        // (root included, whom access() lets write anything).
        if ((st.st_mode & S_IWUSR) == 0 || ::access(targetName.constData(), W_OK) != 0)
            return false;
        old = st;
        break;
    }
    }
    const bool existed = old.has_value();
    Document doc = decode(raw);
    if (!doc.writable)
        return false;

    QByteArray updated = doc.bytes;
    for (const Change &change : changes) {
        const auto section = encodeText(change.section, doc.encoding);
        const auto key = encodeText(change.key, doc.encoding);
        const auto value = encodeText(change.value, doc.encoding);
        if (!section || !key || !value || !ProfileFile::isWritableName(*section) || !ProfileFile::isWritableName(*key)
            || !ProfileFile::isWritableValue(*value))
            return false;
        updated = ProfileFile::withValue(updated, *section, *key, *value);
    }
    if (existed && updated == doc.bytes)
        return true;  // nothing to change
    const QByteArray bytes = encodeFile(updated, doc.encoding);
    if (bytes.size() > MaxFileBytes)
        return false;  // would not be read back
    return replaceFile(targetName, folder, bytes, old);
}

int RemoveStaleTemporaries(const QString &path, std::chrono::seconds age)
{
    const QFileInfo info(path);
    const QByteArray fileName = QFile::encodeName(info.fileName());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return 0;
    const time_t now = ::time(nullptr);
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!isTemporaryNameOf(name, fileName))
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

}  // namespace ProfileStore
