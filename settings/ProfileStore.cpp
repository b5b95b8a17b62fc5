#include "settings/ProfileStore.h"

#include "settings/ProfileFile.h"

#include "files/Descriptor.h"
#include "files/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

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
    // ASCII is the same in code page 932 (section and key names are).
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLatin1();
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
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes);
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
        if (::ftruncate(fd, 0) != 0 || !SafeFile::WriteAll(fd, mark)) {
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
    return ReadValues(path, {{section, key}}).front();
}

std::vector<std::optional<QString>> ReadValues(const QString &path,
                                               const std::vector<std::pair<QString, QString>> &keys)
{
    std::vector<std::optional<QString>> values(keys.size());
    QByteArray raw;
    if (LoadBytes(path, &raw) != Load::Read)
        return values;
    const Document doc = decode(raw);
    for (size_t i = 0; i < keys.size(); ++i) {
        const auto sectionBytes = encodeText(keys[i].first, doc.encoding);
        const auto keyBytes = encodeText(keys[i].second, doc.encoding);
        if (!sectionBytes || !keyBytes)
            continue;
        if (const auto value = ProfileFile::lookUp(doc.bytes, *sectionBytes, *keyBytes))
            values[i] = decodeText(*value, doc.encoding);
    }
    return values;
}

std::vector<std::pair<QString, QString>> ReadSection(const QString &path, const QString &section)
{
    QByteArray raw;
    if (LoadBytes(path, &raw) != Load::Read)
        return {};
    return SectionOf(raw, section);
}

std::vector<std::pair<QString, QString>> SectionOf(const QByteArray &raw, const QString &section)
{
    std::vector<std::pair<QString, QString>> entries;
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
    // A link of the user's own to a settings file of the user's own is
    // followed (the file it names is replaced, the link stays); any other
    // link, and a folder of another user, is not ours to write through.
    const QString targetPath = SafeFile::WriteTarget(path);
    if (targetPath.isEmpty())
        return false;
    const QFileInfo target(targetPath);
    if (!SafeFile::IsTrustedFolder(target.absolutePath()))
        return false;
    const QByteArray targetName = QFile::encodeName(targetPath);

    const SaveLock lock(targetName + ".lock");
    if (!lock.held())
        return false;
    RemoveStaleTemporaries(targetPath, StaleAge);

    QByteArray raw;
    bool existed = false;
    switch (LoadBytes(targetPath, &raw)) {
    case Load::Refused: return false;
    case Load::Missing: break;
    case Load::Read: existed = true; break;
    }
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
    // A file of another user, not a regular file or marked read-only is
    // refused there, root included; a replaced file keeps its owner, group
    // and mode.
    return SafeFile::Replace(targetPath, bytes) == SafeFile::Outcome::Written;
}

int RemoveStaleTemporaries(const QString &path, std::chrono::seconds age)
{
    return SafeFile::RemoveStaleTemporaries(path, age);
}

}  // namespace ProfileStore
