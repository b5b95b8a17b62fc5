// Saves that meet: two programs saving at once, a lock held by another
// program or left by a killed one, temporary files of killed saves.
#include "settings/ProfileStore.h"
#include "settings/SettingsValues.h"
#include "settings/modFileFuncs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <vector>

#include <pwd.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

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
    for (const SettingInfo &info : SettingTable)
        save.push_back({info.id, QString::number(value)});
    return save;
}

// The value of every key, -1 for a missing one.
std::vector<int> Values(const QString &path)
{
    std::vector<int> values;
    for (const SettingInfo &info : SettingTable) {
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
        std::vector<int> bothHalves(SettingTable.size(), 2);
        std::fill_n(bothHalves.begin(), 4, 1);
        const size_t keys = SettingTable.size();
        const bool whole = halves ? values == bothHalves
                                  : (values == std::vector<int>(keys, 1) || values == std::vector<int>(keys, 2));
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

// A save waits while another save holds the lock; a lock some other program
// sits on makes it give up at once; a lock file left behind holds no one up.
TEST(ProfileStore, ASaveWaitsForAnotherSaveOnlyAndIgnoresALockLeftBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Tovelset.ini");
    const QByteArray lockPath = QFile::encodeName(path + ".lock");
    for (const bool marksAsSaver : {true, false}) {  // another save, or another program
        SCOPED_TRACE(marksAsSaver);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t holder = fork();
        ASSERT_GE(holder, 0);
        if (holder == 0) {
            const int fd = open(lockPath.constData(), O_RDWR | O_CREAT, 0600);
            if (fd < 0 || flock(fd, LOCK_EX) != 0)
                _exit(1);
            const QByteArray mark = "tovel-save " + QByteArray::number(getpid()) + "\n";
            if (marksAsSaver && write(fd, mark.constData(), size_t(mark.size())) != mark.size())
                _exit(1);
            if (write(ready[1], "x", 1) != 1)
                _exit(1);
            usleep(marksAsSaver ? 400'000 : 3'000'000);
            unlink(lockPath.constData());
            _exit(0);  // the system lets the lock go
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", marksAsSaver ? "2" : "3"), marksAsSaver ? 1 : 0);
        EXPECT_TRUE(marksAsSaver ? timer.elapsed() >= 300 : timer.elapsed() < 1000) << timer.elapsed();
        EXPECT_EQ(ReadValue(path, "CalcSet", "ShowAns", "0"), "2");
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
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
        {".Tovelset.ini.tovel-save-Xy34Zw", 5, false},  // perhaps a save running now
        {".Other.ini.tovel-save-Ab12Cd", 3600, false},
        {"Tovelset.ini.backup", 3600, false},
        {"Tovelset.ini.orig01", 3600, false},  // backups
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

// Root writes no user's link, no link to a user's file, no user's file;
// root's own file with a user's group keeps group and mode.
TEST(ProfileStore, RootWritesOnlyWhatIsItsOwnAndKeepsOwnerGroupAndMode)
{
    const QByteArray name = "tovel-t" + QByteArray::number(getpid());
    if (geteuid() != 0 || system(("useradd -M -s /usr/sbin/nologin " + name + " 2>/dev/null").constData()) != 0)
        GTEST_SKIP() << "needs root and useradd";
    const auto removeUser = qScopeGuard([&] { [[maybe_unused]] int r = system(("userdel " + name).constData()); });
    const passwd *entry = getpwnam(name.constData());
    ASSERT_NE(entry, nullptr);
    const uid_t user = entry->pw_uid;
    const gid_t group = entry->pw_gid;
    QTemporaryDir dir;
    const struct {
        int linkOwner;  // -1: no link, the file itself at the path
        uid_t fileOwner;
        gid_t fileGroup;
        mode_t mode;
        bool written;
    } cases[] = {
        {int(user), 0, 0, 0644, false}, {0, user, 0, 0644, false}, {-1, user, 0, 0644, false},
        {-1, 0, group, 0640, true},     {0, 0, 0, 0600, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.linkOwner * 10000 + int(c.fileOwner));
        const QString path = dir.filePath(QString::number(&c - cases) + ".ini");
        const QString target = c.linkOwner < 0 ? path : path + ".target";
        WriteFile(target, "x\n");
        const QByteArray file = QFile::encodeName(target);
        ASSERT_EQ(chown(file.constData(), c.fileOwner, c.fileGroup) | chmod(file.constData(), c.mode), 0);
        if (c.linkOwner >= 0) {
            ASSERT_TRUE(QFile::link(target, path));
            ASSERT_EQ(lchown(QFile::encodeName(path).constData(), uid_t(c.linkOwner), 0), 0);
        }
        EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), c.written ? 1 : 0);
        struct stat st {};
        ASSERT_EQ(stat(file.constData(), &st), 0);
        EXPECT_TRUE(st.st_uid == c.fileOwner && st.st_gid == c.fileGroup && (st.st_mode & 07777) == c.mode);
        EXPECT_EQ(ReadValue(target, "CalcSet", "ShowAns", "0"), c.written ? "2" : "0");
    }
}

}  // namespace
