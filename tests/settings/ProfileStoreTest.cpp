// Saves that meet: two programs saving at once, a lock held by another
// program or left by a killed one, temporary files of killed saves; and the
// end signals reaching the event loop.
#include "settings/EndSignals.h"
#include "settings/ProfileStore.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsValues.h"
#include "settings/modFileFuncs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

#include <pwd.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr SettingKey kAllKeys[] = {SettingKey::ShowAns,        SettingKey::MaxPlace, SettingKey::UnitSeries,
                                   SettingKey::LastUnitSeries, SettingKey::Front,    SettingKey::MainFormTop,
                                   SettingKey::MainFormLeft,   SettingKey::WinPos};

QStringList Entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Every key of one save, all with the same value.
std::vector<SettingText> SaveOf(int value)
{
    std::vector<SettingText> save;
    for (const SettingKey key : kAllKeys)
        save.push_back({key, QString::number(value)});
    return save;
}

// The value of every key, -1 for a missing one.
std::vector<int> Values(const QString &path)
{
    std::vector<int> values;
    for (const SettingKey key : kAllKeys) {
        const SettingInfo &info = InfoOf(key);
        bool ok = false;
        const int value = ReadValue(path, info.section, info.key, "x").toInt(&ok);
        values.push_back(ok ? value : -1);
    }
    return values;
}

// Two processes released at the same moment each save keys with their own
// value. When both save every key, the file holds one of the two saves
// whole; when each saves its own half of the keys (the settings dialog's
// Apply in one program, say, and another key in the other), the file holds
// both halves.
TEST(ProfileStore, TwoProgramsSavingTogetherLoseNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Tovelset.ini");
    const int rounds = 40;
    int damaged = 0;
    for (int round = 0; round < rounds; ++round) {
        const bool halves = round % 2 == 0;
        QFile::remove(path);
        if (!halves) {
            ASSERT_NE(WriteSettings(path, SaveOf(0)), 0);
        }
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        pid_t children[2];
        for (int i = 0; i < 2; ++i) {
            children[i] = fork();
            ASSERT_GE(children[i], 0);
            if (children[i] == 0) {
                close(gate[1]);
                char byte;
                while (read(gate[0], &byte, 1) < 0) {}
                std::vector<SettingText> save = SaveOf(i + 1);
                if (halves)
                    save.erase(i == 0 ? save.begin() + 4 : save.begin(), i == 0 ? save.end() : save.begin() + 4);
                _exit(WriteSettings(path, save) ? 0 : 1);
            }
        }
        close(gate[0]);
        close(gate[1]);  // releases both
        for (const pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
        }
        const std::vector<int> values = Values(path);
        const bool whole = halves ? values == std::vector<int>{1, 1, 1, 1, 2, 2, 2, 2}
                                  : (values == std::vector<int>(8, 1) || values == std::vector<int>(8, 2));
        if (!whole)
            ++damaged;
        QFile file(path);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        EXPECT_EQ(bytes.count("[CalcSet]"), 1);
        EXPECT_EQ(bytes.count("[FormSet]"), 1);
        EXPECT_EQ(Entries(dir.path()), QStringList{"Tovelset.ini"});
    }
    EXPECT_EQ(damaged, 0) << "of " << rounds << " rounds";
}

// A save waits while another program's save holds the lock, and goes ahead
// once it is let go; a lock that some other program sits on makes the save
// give up at once, the file unchanged; a lock file left by a killed program
// holds no one up.
TEST(ProfileStore, ASaveWaitsForAnotherSaveOnlyAndIgnoresALockLeftBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Tovelset.ini");
    const QByteArray lockPath = QFile::encodeName(path + ".lock");
    const struct {
        const char *holder;
        bool marksAsSaver;
        int holdMs;
        bool saved;
        int minMs, maxMs;
    } cases[] = {
        {"another save", true, 400, true, 300, 3000},
        {"another program", false, 3000, false, 0, 1000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.holder);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t holder = fork();
        ASSERT_GE(holder, 0);
        if (holder == 0) {
            const int fd = open(lockPath.constData(), O_RDWR | O_CREAT, 0600);
            if (fd < 0 || flock(fd, LOCK_EX) != 0)
                _exit(1);
            const QByteArray mark = "tovel-save " + QByteArray::number(getpid()) + "\n";
            if (c.marksAsSaver && write(fd, mark.constData(), size_t(mark.size())) != mark.size())
                _exit(1);
            if (write(ready[1], "x", 1) != 1)
                _exit(1);
            usleep(useconds_t(c.holdMs) * 1000);
            unlink(lockPath.constData());
            _exit(0);  // the system lets the lock go
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        const QString before = ReadValue(path, "CalcSet", "ShowAns", "0");
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), c.saved ? 1 : 0);
        EXPECT_GE(timer.elapsed(), c.minMs);
        EXPECT_LT(timer.elapsed(), c.maxMs);
        EXPECT_EQ(ReadValue(path, "CalcSet", "ShowAns", "0"), c.saved ? QStringLiteral("2") : before);
        kill(holder, SIGKILL);
        int status = 0;
        waitpid(holder, &status, 0);
        unlink(lockPath.constData());
    }

    // Left by a killed program: there, but locked by no one.
    WriteFile(path + ".lock", "");
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "1"), 1);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(Entries(dir.path()), QStringList{"Tovelset.ini"});
}

// A save removes the temporary files that killed saves left, once they are
// a minute old, and nothing else: the user's own backups beside the file
// survive, whatever their names.
TEST(ProfileStore, ASaveRemovesOldTemporaryFilesOfKilledSaves)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Tovelset.ini");
    struct Planted {
        const char *name;
        int ageSeconds;
        bool removed;
    };
    const Planted planted[] = {
        {".Tovelset.ini.tovel-save-Ab12Cd", 120, true},
        {".Tovelset.ini.tovel-save-zzzzzz", 3600, true},
        {".Tovelset.ini.tovel-save-Xy34Zw", 5, false},  // perhaps a save running now
        {".Tovelset.ini.tovel-save-Ab12Cde", 3600, false},
        {".Tovelset.ini.tovel-save-Ab-2Cd", 3600, false},
        {".Other.ini.tovel-save-Ab12Cd", 3600, false},
        // The user's backups.
        {"Tovelset.ini.backup", 3600, false},
        {"Tovelset.ini.orig01", 3600, false},
        {"Tovelset.ini.202401", 3600, false},
        {"Tovelset.ini.bak", 3600, false},
    };
    for (const Planted &p : planted) {
        const QString file = dir.filePath(p.name);
        WriteFile(file, "[CalcSet]\r\nShowAns=1\r\n");
        const timespec times[2] = {{time(nullptr) - p.ageSeconds, 0}, {time(nullptr) - p.ageSeconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    }
    // A folder and a link with such a name are not ours to remove.
    ASSERT_TRUE(QDir(dir.path()).mkdir(".Tovelset.ini.tovel-save-Dir123"));
    ASSERT_TRUE(QFile::link(dir.filePath("Tovelset.ini.bak"), dir.filePath(".Tovelset.ini.tovel-save-Lnk123")));

    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), 1);
    for (const Planted &p : planted)
        EXPECT_EQ(QFileInfo::exists(dir.filePath(p.name)), !p.removed) << p.name;
    EXPECT_TRUE(QFileInfo(dir.filePath(".Tovelset.ini.tovel-save-Dir123")).isDir());
    EXPECT_TRUE(QFileInfo(dir.filePath(".Tovelset.ini.tovel-save-Lnk123")).isSymLink());
}

// A user made for one test and removed again; root only.
class ScratchUser {
public:
    ScratchUser() : m_name("tovel-t" + QByteArray::number(getpid()))
    {
        const QByteArray command = "useradd --no-create-home --shell /usr/sbin/nologin " + m_name + " 2>/dev/null";
        if (geteuid() != 0 || system(command.constData()) != 0)
            return;
        if (const passwd *entry = getpwnam(m_name.constData())) {
            m_uid = entry->pw_uid;
            m_gid = entry->pw_gid;
        }
    }
    ~ScratchUser()
    {
        if (m_uid) [[maybe_unused]]
            const int status = system(("userdel " + m_name + " 2>/dev/null").constData());
    }
    bool made() const { return m_uid.has_value(); }
    uid_t uid() const { return *m_uid; }
    gid_t gid() const { return *m_gid; }

private:
    QByteArray m_name;
    std::optional<uid_t> m_uid;
    std::optional<gid_t> m_gid;
};

// Run as root, a save writes only into what is root's own: a link planted
// by a user, or a link to a user's file, is neither written through nor
// replaced, nor is a user's file at the path; a file of root's own with a
// user's group and its own mode keeps both.
TEST(ProfileStore, RootWritesOnlyWhatIsItsOwnAndKeepsOwnerGroupAndMode)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    const ScratchUser user;
    if (!user.made())
        GTEST_SKIP() << "useradd did not make a scratch user";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray original = "root:x:0:0\n";
    enum class Link { None, OfUser, OfRoot };
    const struct {
        const char *what;
        Link link;        // what is at the settings path
        bool targetUser;  // the file (named by the link) belongs to the user
        gid_t group;
        mode_t mode;
        bool written;
    } cases[] = {
        {"a user's link to root's file", Link::OfUser, false, 0, 0644, false},
        {"root's link to a user's file", Link::OfRoot, true, 0, 0644, false},
        {"a user's file", Link::None, true, 0, 0644, false},
        {"root's file, a user's group and mode 0640", Link::None, false, user.gid(), 0640, true},
        {"root's link to root's file", Link::OfRoot, false, 0, 0600, true},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = dir.filePath(QString::number(++n));
        ASSERT_TRUE(QDir().mkpath(folder + "/elsewhere"));
        const QString path = folder + "/Tovelset.ini";
        const QString target = c.link == Link::None ? path : folder + "/elsewhere/passwd";
        const QByteArray targetName = QFile::encodeName(target);
        WriteFile(target, original);
        ASSERT_EQ(chown(targetName.constData(), c.targetUser ? user.uid() : 0, c.group), 0);
        ASSERT_EQ(chmod(targetName.constData(), c.mode), 0);
        if (c.link != Link::None) {
            ASSERT_TRUE(QFile::link(target, path));
            const uid_t linkOwner = c.link == Link::OfUser ? user.uid() : 0;
            ASSERT_EQ(lchown(QFile::encodeName(path).constData(), linkOwner, linkOwner ? user.gid() : 0), 0);
        }
        EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), c.written ? 1 : 0);
        struct stat st {};
        ASSERT_EQ(stat(targetName.constData(), &st), 0);
        EXPECT_EQ(st.st_uid, c.targetUser ? user.uid() : 0);
        EXPECT_EQ(st.st_gid, c.group);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        EXPECT_EQ(QFileInfo(path).isSymLink(), c.link != Link::None);
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(bytes.contains("ShowAns=2"), c.written);
        EXPECT_TRUE(bytes.startsWith(original));
    }

    // Root running a user's own install leaves the user's settings alone:
    // root's settings go to root's configuration folder.
    const QString programDir = dir.filePath("program");
    ASSERT_TRUE(QDir().mkpath(programDir));
    WriteFile(programDir + "/Tovelset.ini", original);
    for (const QString &owned : {programDir, programDir + "/Tovelset.ini"})
        ASSERT_EQ(chown(QFile::encodeName(owned).constData(), user.uid(), user.gid()), 0);
    EXPECT_EQ(SettingsFilePath(programDir, dir.filePath("root-config")), dir.filePath("root-config/Tovelset.ini"));
}

// SIGTERM, SIGHUP and SIGINT reach the event loop as requests to end
// instead of ending the program; afterwards their default handling is back.
TEST(EndSignals, EachSignalBecomesARequestInTheEventLoop)
{
    std::vector<int> received;
    {
        EndSignals endSignals;
        ASSERT_TRUE(endSignals.isActive());
        QObject::connect(&endSignals, &EndSignals::endRequested, [&](int s) { received.push_back(s); });
        for (const int s : {SIGTERM, SIGHUP, SIGINT})
            ASSERT_EQ(raise(s), 0);
        EXPECT_TRUE(received.empty()) << "handled inside the signal handler";
        QElapsedTimer timer;
        timer.start();
        while (received.size() < 3 && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
    }
    for (const int s : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction now {};
        ASSERT_EQ(sigaction(s, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << s;
    }
}

}  // namespace
