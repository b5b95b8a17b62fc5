// Saves that meet: two programs saving at once, a lock held by another
// program or left by a killed one, temporary files of killed saves.
#include "settings/ProfileStore.h"
#include "settings/SettingsValues.h"
#include "settings/modFileFuncs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

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

// A save waits while another program holds the lock, and goes ahead once
// it is let go; a lock file left by a killed program holds no one up.
TEST(ProfileStore, ASaveWaitsForTheLockAndIgnoresOneLeftBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Tovelset.ini");
    const QByteArray lockPath = QFile::encodeName(path + ".lock");

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = open(lockPath.constData(), O_RDWR | O_CREAT, 0600);
        if (fd < 0 || flock(fd, LOCK_EX) != 0)
            _exit(1);
        if (write(ready[1], "x", 1) != 1)
            _exit(1);
        usleep(400 * 1000);
        _exit(0);  // the system lets the lock go
    }
    close(ready[1]);
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), 1);
    EXPECT_GE(timer.elapsed(), 300);
    int status = 0;
    waitpid(holder, &status, 0);
    EXPECT_EQ(ReadValue(path, "CalcSet", "ShowAns", "0"), "2");

    // Left by a killed program: there, but locked by no one.
    WriteFile(path + ".lock", "");
    timer.restart();
    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "1"), 1);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(Entries(dir.path()), QStringList{"Tovelset.ini"});
}

// A save removes the temporary files that killed saves left, once they are
// a minute old, and nothing else.
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
        {"Tovelset.ini.Ab12Cd", 120, true},   {"Tovelset.ini.zzzzzz", 3600, true},
        {"Tovelset.ini.Xy34Zw", 5, false},  // perhaps a save running now
        {"Tovelset.ini.bak", 3600, false},    {"Tovelset.ini.Ab12Cde", 3600, false},
        {"Tovelset.ini.Ab-2Cd", 3600, false}, {"Other.ini.Ab12Cd", 3600, false},
    };
    for (const Planted &p : planted) {
        const QString file = dir.filePath(p.name);
        WriteFile(file, "[CalcSet]\r\nShowAns=1\r\n");
        const timespec times[2] = {{time(nullptr) - p.ageSeconds, 0}, {time(nullptr) - p.ageSeconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    }
    // A folder and a link with such a name are not ours to remove.
    ASSERT_TRUE(QDir(dir.path()).mkdir("Tovelset.ini.Dir123"));
    ASSERT_TRUE(QFile::link(dir.filePath("Other.ini.Ab12Cd"), dir.filePath("Tovelset.ini.Lnk123")));

    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), 1);
    for (const Planted &p : planted)
        EXPECT_EQ(QFileInfo::exists(dir.filePath(p.name)), !p.removed) << p.name;
    EXPECT_TRUE(QFileInfo(dir.filePath("Tovelset.ini.Dir123")).isDir());
    EXPECT_TRUE(QFileInfo(dir.filePath("Tovelset.ini.Lnk123")).isSymLink());
}

}  // namespace
