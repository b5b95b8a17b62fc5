// The one way files are written: run as root with files, folders and links
// of another user planted where the program writes, as an attacker would.
#include "files/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using SafeFile::Outcome;

namespace {

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void Plant(const QString &path, uid_t owner, gid_t group, mode_t mode, const QByteArray &bytes = "old\n")
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();
    const QByteArray name = QFile::encodeName(path);
    ASSERT_EQ(chown(name.constData(), owner, group) | chmod(name.constData(), mode), 0);
}

void PlantFolder(const QString &path, uid_t owner)
{
    ASSERT_TRUE(QDir().mkpath(path));
    ASSERT_EQ(chown(QFile::encodeName(path).constData(), owner, 0), 0);
}

void PlantLink(const QString &target, const QString &link, uid_t owner)
{
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_EQ(lchown(QFile::encodeName(link).constData(), owner, 0), 0);
}

struct stat StatOf(const QString &path)
{
    struct stat st {};
    stat(QFile::encodeName(path).constData(), &st);
    return st;
}

// A scratch user for the length of a test; skips unless root with useradd.
class ScratchUser {
public:
    ScratchUser() : m_name("tovel-f" + QByteArray::number(getpid()))
    {
        if (geteuid() != 0 || system(("useradd -M -s /usr/sbin/nologin " + m_name + " 2>/dev/null").constData()) != 0)
            return;
        if (const passwd *entry = getpwnam(m_name.constData())) {
            uid = entry->pw_uid;
            gid = entry->pw_gid;
            made = true;
        }
    }
    ~ScratchUser()
    {
        if (made) [[maybe_unused]]
            int r = system(("userdel " + m_name).constData());
    }
    ScratchUser(const ScratchUser &) = delete;
    ScratchUser &operator=(const ScratchUser &) = delete;

    // Runs what as this user in a child process; its outcome, or -1.
    int run(const std::function<Outcome()> &what) const
    {
        const pid_t child = fork();
        if (child == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
                _exit(99);
            _exit(int(what()));
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) != 99 ? WEXITSTATUS(status) : -1;
    }

    bool made = false;
    uid_t uid = 0;
    gid_t gid = 0;

private:
    QByteArray m_name;
};

TEST(SafeFile, ReplacesOnlyWhatIsTheUsersOwnThroughFoldersAndLinksOfItsOwn)
{
    const ScratchUser user;
    if (!user.made)
        GTEST_SKIP() << "needs root and useradd";
    const uid_t u = user.uid;
    const gid_t g = user.gid;
    struct Case {
        const char *what;
        // Plants what the case needs in the folder d and returns the path
        // written and the file whose contents tell whether it was written.
        std::function<std::pair<QString, QString>(const QString &d)> plant;
        Outcome expected;
        bool asUser = false;
    };
    const std::vector<Case> cases = {
        {"a link of another user to a file of root's",
         [&](const QString &d) {
             Plant(d + "/shadow", 0, 0, 0640);
             PlantLink(d + "/shadow", d + "/f", u);
             return std::pair{d + "/f", d + "/shadow"};
         },
         Outcome::Refused},
        {"root's link to another user's file",
         [&](const QString &d) {
             Plant(d + "/theirs", u, g, 0644);
             PlantLink(d + "/theirs", d + "/f", 0);
             return std::pair{d + "/f", d + "/theirs"};
         },
         Outcome::Refused},
        {"root's link to nothing",
         [&](const QString &d) {
             PlantLink(d + "/nothing", d + "/f", 0);
             return std::pair{d + "/f", d + "/nothing"};
         },
         Outcome::Refused},
        {"a file of another user",
         [&](const QString &d) {
             Plant(d + "/f", u, g, 0666);
             return std::pair{d + "/f", d + "/f"};
         },
         Outcome::Refused},
        {"a new file in a folder of another user",
         [&](const QString &d) {
             PlantFolder(d + "/home", u);
             return std::pair{d + "/home/f", d + "/home/f"};
         },
         Outcome::Refused},
        {"a folder named by the environment that leads into another user's folder",
         [&](const QString &d) {
             PlantFolder(d + "/home/.cache", u);
             PlantLink(d + "/home/.cache", d + "/xdg", 0);
             return std::pair{d + "/xdg/f", d + "/home/.cache/f"};
         },
         Outcome::Refused},
        {"root's link to root's file",
         [&](const QString &d) {
             Plant(d + "/mine", 0, 0, 0600);
             PlantLink(d + "/mine", d + "/f", 0);
             return std::pair{d + "/f", d + "/mine"};
         },
         Outcome::Written},
        {"root's file in another user's group, mode and group kept",
         [&](const QString &d) {
             Plant(d + "/f", 0, g, 0640);
             return std::pair{d + "/f", d + "/f"};
         },
         Outcome::Written},
        {"root's file marked read-only",
         [&](const QString &d) {
             Plant(d + "/f", 0, 0, 0444);
             return std::pair{d + "/f", d + "/f"};
         },
         Outcome::Refused},
        {"a new file",
         [&](const QString &d) {
             return std::pair{d + "/f", d + "/f"};
         },
         Outcome::Written},
        {"the user's own file in a group the user is not in: written, in a group the user can give",
         [&](const QString &d) {
             PlantFolder(d + "/home", u);
             Plant(d + "/home/f", u, 0, 0640);
             return std::pair{d + "/home/f", d + "/home/f"};
         },
         Outcome::Written, true},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString d = dir.filePath(QString::number(&c - cases.data()));
        PlantFolder(d, 0);
        const auto [path, file] = c.plant(d);
        const QByteArray before = Bytes(file);
        const struct stat old = StatOf(file);
        const auto replace = [&path] { return SafeFile::Replace(path, "new\n"); };
        EXPECT_EQ(c.asUser ? user.run(replace) : int(replace()), int(c.expected));
        const bool written = c.expected == Outcome::Written;
        EXPECT_EQ(Bytes(file), written ? QByteArray("new\n") : before);
        if (written && old.st_ino != 0) {
            const struct stat now = StatOf(file);
            EXPECT_EQ(now.st_uid, old.st_uid);
            EXPECT_EQ(now.st_gid, c.asUser ? g : old.st_gid);
            EXPECT_EQ(now.st_mode & 07777, old.st_mode & 07777);
        }
        EXPECT_TRUE(path == file || QFileInfo(path).isSymLink() || !QFileInfo::exists(path));
        QStringList left = QDir(QFileInfo(file).absolutePath()).entryList(QDir::Hidden | QDir::Files);
        EXPECT_TRUE(left.filter(".tovel-save-").isEmpty()) << left.join(' ').toStdString();
    }
}

TEST(SafeFile, MakesPrivateFoldersOnlyThroughFoldersAndLinksOfTheUsersOwn)
{
    const ScratchUser user;
    if (!user.made)
        GTEST_SKIP() << "needs root and useradd";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString d = dir.path();
    PlantFolder(d + "/theirs", user.uid);
    PlantFolder(d + "/mine", 0);
    PlantLink(d + "/theirs", d + "/to-theirs", 0);
    PlantLink(d + "/mine", d + "/their-link", user.uid);
    const struct {
        const char *path;
        Outcome expected;
    } cases[] = {
        {"/new/cache/tovel", Outcome::Written},  {"/mine", Outcome::Written},
        {"/theirs", Outcome::Refused},           {"/theirs/tovel", Outcome::Refused},
        {"/to-theirs/tovel", Outcome::Refused},  {"/their-link", Outcome::Refused},
        {"/their-link/tovel", Outcome::Refused},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SafeFile::MakePrivateFolder(d + c.path), c.expected);
    }
    EXPECT_EQ(StatOf(d + "/new").st_mode & 07777, 0700u);
    EXPECT_EQ(StatOf(d + "/new/cache/tovel").st_mode & 07777, 0700u);
    EXPECT_TRUE(QDir(d + "/theirs").isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_TRUE(QDir(d + "/mine").isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// Reading opens only the user's own regular file, never through a link.
TEST(SafeFile, ReadsOnlyTheUsersOwnRegularFile)
{
    const ScratchUser user;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString d = dir.path();
    Plant(d + "/own", geteuid(), getegid(), 0600, "mine");
    ASSERT_TRUE(QFile::link(d + "/own", d + "/link"));
    ASSERT_EQ(mkfifo(QFile::encodeName(d + "/fifo").constData(), 0600), 0);
    if (user.made)
        Plant(d + "/theirs", user.uid, user.gid, 0644);
    const struct {
        const char *name;
        SafeFile::Read expected;
    } cases[] = {
        {"own", SafeFile::Read::Read},        {"link", SafeFile::Read::Refused},   {"fifo", SafeFile::Read::Refused},
        {"missing", SafeFile::Read::Missing}, {"theirs", SafeFile::Read::Refused},
    };
    for (const auto &c : cases) {
        if (!user.made && QByteArray(c.name) == "theirs")
            continue;
        SCOPED_TRACE(c.name);
        QByteArray bytes;
        EXPECT_EQ(SafeFile::ReadOwnFile(d + "/" + c.name, 1024, &bytes), c.expected);
        EXPECT_EQ(bytes, c.expected == SafeFile::Read::Read ? QByteArray("mine") : QByteArray());
    }
    QByteArray bytes;
    EXPECT_EQ(SafeFile::ReadOwnFile(d + "/own", 3, &bytes), SafeFile::Read::Refused);
}

}  // namespace
