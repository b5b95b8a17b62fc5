// Where the settings file goes: beside a program folder the user can write,
// in the user's configuration folder otherwise.
#include "settings/SettingsLocation.h"
#include "settings/modFileFuncs.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

bool CanCreateFileIn(const QString &folder)
{
    QTemporaryFile f(folder + QStringLiteral("/probe-XXXXXX"));
    return f.open();
}

// Runs check while folder is read-only, and returns what check reports
// (empty when everything held), or a text starting with "skip" when the
// folder cannot be made read-only here. An ordinary user gets a folder
// without write permission. Root passes permission checks, so for root the
// check runs in a child process with its own mount table in which the folder
// is a read-only bind mount: the same situation as a program on a read-only
// file system.
std::string WithReadOnlyFolder(const QString &folder, const std::function<std::string()> &check)
{
    const QByteArray path = QFile::encodeName(folder);
    if (geteuid() != 0) {
        chmod(path.constData(), 0555);
        std::string result = CanCreateFileIn(folder) ? "skip: the folder stays writable" : check();
        chmod(path.constData(), 0755);
        return result;
    }
    int fds[2];
    if (pipe(fds) != 0)
        return "skip: no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string result;
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0
            || mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            result = "skip: no read-only bind mount here (needs CAP_SYS_ADMIN)";
        else if (CanCreateFileIn(folder))
            result = "skip: the folder stays writable";
        else
            result = check();
        if (write(fds[1], result.data(), result.size()) < 0)
            _exit(2);
        _exit(0);  // no exit handlers: the parent owns the test
    }
    close(fds[1]);
    std::string result;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child process failed";
    return result;
}

#define CHECK_OR_RETURN(cond)                                                                                          \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            return std::string("failed: ") + #cond;                                                                    \
    } while (0)

// What must hold when the program folder cannot be written: the settings go
// to the configuration folder (made on demand), a save there succeeds, the
// next start finds the same file and reads the value back, and nothing
// appears beside the program.
std::string ChecksForReadOnlyFolder(const QString &programDir, const QString &configDir)
{
    const QStringList before = Entries(programDir);
    const QString expected = configDir + QStringLiteral("/Tovelset.ini");
    const QString path = PrepareSettingsFile(programDir, configDir);
    CHECK_OR_RETURN(path == expected);
    CHECK_OR_RETURN(QFileInfo(configDir).isDir());
    CHECK_OR_RETURN(WriteValue(path, QStringLiteral("CalcSet"), QStringLiteral("MaxPlace"), QStringLiteral("27")) != 0);
    const QString again = PrepareSettingsFile(programDir, configDir);
    CHECK_OR_RETURN(again == expected);
    CHECK_OR_RETURN(ReadValue(again, QStringLiteral("CalcSet"), QStringLiteral("MaxPlace"), QStringLiteral("15"))
                    == QStringLiteral("27"));
    CHECK_OR_RETURN(Entries(programDir) == before);
    return {};
}

void ExpectHeld(const std::string &result)
{
    if (result.rfind("skip", 0) == 0)
        GTEST_SKIP() << result;
    EXPECT_EQ(result, "");
}

}  // namespace

TEST(SettingsLocation, WritableProgramFolderKeepsTheSettingsBesideTheProgram)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString programDir = root.filePath(QStringLiteral("program"));
    const QString configDir = root.filePath(QStringLiteral("config/tovel"));
    ASSERT_TRUE(QDir().mkpath(programDir));

    EXPECT_EQ(PrepareSettingsFile(programDir, configDir), programDir + QStringLiteral("/Tovelset.ini"));
    EXPECT_TRUE(Entries(programDir).isEmpty()) << "the writability probe was left behind";
    EXPECT_FALSE(QFileInfo::exists(configDir)) << "the configuration folder was made for nothing";
    // A folder that ends in "/" gets no second one.
    EXPECT_EQ(SettingsFilePath(programDir + QLatin1Char('/'), configDir), programDir + QStringLiteral("/Tovelset.ini"));
}

TEST(SettingsLocation, ReadOnlyProgramFolderSendsTheSettingsToTheConfigurationFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString programDir = root.filePath(QStringLiteral("program"));
    const QString configDir = root.filePath(QStringLiteral("config/tovel"));
    ASSERT_TRUE(QDir().mkpath(programDir));

    ExpectHeld(WithReadOnlyFolder(programDir, [&] { return ChecksForReadOnlyFolder(programDir, configDir); }));
    if (testing::Test::IsSkipped())
        return;
    // Writable again, the folder does not take the settings back from the copy.
    EXPECT_EQ(SettingsFilePath(programDir, configDir), configDir + QStringLiteral("/Tovelset.ini"));
}

TEST(SettingsLocation, FoldersNoOneCanWriteSendTheSettingsToTheConfigurationFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QFile plain(root.filePath(QStringLiteral("plain-file")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    const struct {
        const char *what;
        QString programDir;
    } cases[] = {
        // A read-only file system: not even root can make a file here.
        {"a folder of /proc", QStringLiteral("/proc/self")},
        // A program folder that cannot exist.
        {"a path under a regular file", root.filePath(QStringLiteral("plain-file/program"))},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString configDir = root.filePath(QStringLiteral("config%1/tovel").arg(++n));
        EXPECT_EQ(ChecksForReadOnlyFolder(c.programDir, configDir), "");
    }
}

TEST(SettingsLocation, SettingsInstalledBesideAReadOnlyProgramStartTheUsersOwnCopy)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString programDir = root.filePath(QStringLiteral("program"));
    const QString configDir = root.filePath(QStringLiteral("config/tovel"));
    ASSERT_TRUE(QDir().mkpath(programDir));
    const QString beside = programDir + QStringLiteral("/Tovelset.ini");
    ASSERT_NE(WriteValue(beside, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("2")), 0);
    QFile::setPermissions(beside, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

    ExpectHeld(WithReadOnlyFolder(programDir, [&]() -> std::string {
        const QString path = PrepareSettingsFile(programDir, configDir);
        CHECK_OR_RETURN(path == configDir + QStringLiteral("/Tovelset.ini"));
        CHECK_OR_RETURN(ReadValue(path, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("0"))
                        == QStringLiteral("2"));
        // The user's copy is the user's: written, and not replaced again.
        CHECK_OR_RETURN(WriteValue(path, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("1"))
                        != 0);
        CHECK_OR_RETURN(PrepareSettingsFile(programDir, configDir) == path);
        CHECK_OR_RETURN(ReadValue(path, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("0"))
                        == QStringLiteral("1"));
        CHECK_OR_RETURN(ReadValue(beside, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("0"))
                        == QStringLiteral("2"));
        return {};
    }));
}

// Neither the program folder nor the configuration folder can be written (a
// read-only home, a live system): the settings installed beside the program
// are read, the program starts normally, and nothing at all is written.
TEST(SettingsLocation, ReadOnlySettingsBesideAReadOnlyProgramAreReadAndNothingIsWritten)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString programDir = root.filePath(QStringLiteral("program"));
    const QString configDir = root.filePath(QStringLiteral("home/.config/tovel"));
    ASSERT_TRUE(QDir().mkpath(programDir));
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("home"))));
    const QString beside = programDir + QStringLiteral("/Tovelset.ini");
    ASSERT_NE(WriteValue(beside, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("2")), 0);

    ExpectHeld(WithReadOnlyFolder(root.path(), [&]() -> std::string {
        const QStringList before = Entries(programDir);
        CHECK_OR_RETURN(SettingsFilePath(programDir, configDir) == beside);
        const QString path = PrepareSettingsFile(programDir, configDir);
        CHECK_OR_RETURN(path == beside);
        CHECK_OR_RETURN(ReadValue(path, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("0"))
                        == QStringLiteral("2"));
        CHECK_OR_RETURN(WriteValue(path, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("1"))
                        == 0);
        CHECK_OR_RETURN(Entries(programDir) == before);
        CHECK_OR_RETURN(Entries(root.filePath(QStringLiteral("home"))).isEmpty());
        return {};
    }));
}

// The user's own settings beside the program stay the settings on a start
// that finds the folder unwritable for a moment: no copy is made elsewhere.
TEST(SettingsLocation, TheUsersOwnFileStaysTheSettingsWhileItsFolderCannotBeWritten)
{
    QTemporaryDir root;
    const QString programDir = root.filePath(QStringLiteral("program"));
    const QString configDir = root.filePath(QStringLiteral("config/tovel"));
    const QString beside = programDir + QStringLiteral("/Tovelset.ini");
    ASSERT_TRUE(QDir().mkpath(programDir));
    ASSERT_NE(WriteValue(beside, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("2")), 0);
    ExpectHeld(WithReadOnlyFolder(programDir, [&]() -> std::string {
        CHECK_OR_RETURN(PrepareSettingsFile(programDir, configDir) == beside);
        CHECK_OR_RETURN(!QFileInfo::exists(configDir));
        return {};
    }));
}

// An installed program folder (<prefix>/lib/tovel with <prefix>/bin/tovel a
// link to the program in it) gets no file from root: root's settings start
// from the administrator's file beside the program and live in root's
// configuration folder. Root's own install in its home keeps them beside
// the program. The command-line converter reads the same file and makes,
// probes or copies nothing.
TEST(SettingsLocation, RootWritesNothingIntoAnInstalledProgramFolder)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "root's rule";
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QByteArray savedHome = qgetenv("HOME");
    const auto restoreHome = qScopeGuard([&] { qputenv("HOME", savedHome); });
    qputenv("HOME", QFile::encodeName(root.filePath(QStringLiteral("home"))));
    QFile plain(root.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const struct {
        const char *prefix;
        bool installed;
        bool configUsable;
    } cases[] = {{"usr", true, true}, {"home/.local", false, true}, {"usr/local", true, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.prefix);
        const QString prefix = root.filePath(QString::fromLatin1(c.prefix));
        const QString programDir = prefix + QStringLiteral("/lib/tovel");
        const QString configDir = c.configUsable ? root.filePath(QStringLiteral("config-%1/tovel").arg(&c - cases))
                                                 : root.filePath(QStringLiteral("plain/tovel"));
        ASSERT_TRUE(QDir().mkpath(programDir) && QDir().mkpath(prefix + QStringLiteral("/bin")));
        QFile program(programDir + QStringLiteral("/tovel"));
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.close();
        ASSERT_TRUE(QFile::link(QStringLiteral("../lib/tovel/tovel"), prefix + QStringLiteral("/bin/tovel")));
        const QString beside = programDir + QStringLiteral("/Tovelset.ini");
        const QString own = configDir + QStringLiteral("/Tovelset.ini");
        ASSERT_NE(WriteValue(beside, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("2")), 0);
        EXPECT_EQ(SettingsFileToRead(programDir, configDir), beside);
        const QStringList before = Entries(programDir);

        const QString path = PrepareSettingsFile(programDir, configDir);
        EXPECT_EQ(path, c.installed ? own : beside);
        // With no configuration folder to take them, root's settings are not
        // saved at all rather than beside the installed program.
        EXPECT_EQ(WriteValue(path, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("1")) != 0,
                  c.configUsable);
        EXPECT_EQ(Entries(programDir), before);
        EXPECT_EQ(ReadValue(beside, QStringLiteral("CalcSet"), QStringLiteral("ShowAns"), QStringLiteral("0")),
                  c.installed ? QStringLiteral("2") : QStringLiteral("1"));
        if (c.configUsable) {
            EXPECT_EQ(SettingsFileToRead(programDir, configDir), path);
        }
        EXPECT_EQ(QFileInfo::exists(configDir), c.installed && c.configUsable);
    }
}
