// Listing the units folder and naming its series.
#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Readable failure output.
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

QStringList listed(const QString &directory, const QString &pattern)
{
    const QString names = ListFiles(directory, pattern);
    return names.isEmpty() ? QStringList() : names.split(QChar(u'\0'));
}

class SeriesCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    void touch(const QString &name, const QByteArray &bytes = "1\r\n\"u\",1,0,1,1\r\n")
    {
        QFile f(m_dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // The units folder of an installed program: series files among things
    // that are not series files.
    void fillFolder()
    {
        for (const char *name : {"b.dat", "A.dat", "c.DAT", "X.Dat", "a.dat.b.dat", "with space.dat", "notes.txt",
                                 "dat", "x.dat.bak", ".hidden.dat"})
            touch(QString::fromUtf8(name));
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.dat"));
        ASSERT_TRUE(QFile::link(m_dir.filePath("b.dat"), m_dir.filePath("link.dat")));
        ASSERT_TRUE(QFile::link(m_dir.filePath("gone"), m_dir.filePath("dangling.dat")));
        ASSERT_TRUE(QFile::link(m_dir.filePath("folder.dat"), m_dir.filePath("dirlink.dat")));
        ASSERT_EQ(::mkfifo(QFile::encodeName(m_dir.filePath("pipe.dat")).constData(), 0600), 0);
    }

    QTemporaryDir m_dir;
};

TEST_F(SeriesCatalogueTest, ListsOrdinaryMatchingFilesSortedWithoutRegardToCase)
{
    fillFolder();
    struct Case {
        const char *pattern;
        QStringList names;
    };
    const std::vector<Case> cases = {
        {"*.dat", {"A.dat", "a.dat.b.dat", "b.dat", "c.DAT", "link.dat", "with space.dat", "X.Dat"}},
        {"*.DAT", {"A.dat", "a.dat.b.dat", "b.dat", "c.DAT", "link.dat", "with space.dat", "X.Dat"}},
        {"?.dat", {"A.dat", "b.dat", "c.DAT", "X.Dat"}},
        {"*.txt", {"notes.txt"}},
        {"*.ini", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(listed(m_dir.path(), QString::fromUtf8(c.pattern)), c.names);
    }
    // The units folder as the program builds it, with a separator at its end.
    EXPECT_EQ(listed(m_dir.path() + "/", "*.dat").size(), 7);

    // Without the links, the folder and the pipe, the folder is listed
    // straight from its entries: the same names, the link's gone.
    for (const char *odd : {"link.dat", "dangling.dat", "dirlink.dat", "pipe.dat"})
        ASSERT_TRUE(QFile::remove(m_dir.filePath(odd))) << odd;
    ASSERT_TRUE(QDir(m_dir.path()).rmdir("folder.dat"));
    for (const char *pattern : {"*.dat", "*.DAT"})
        EXPECT_EQ(listed(m_dir.path(), pattern),
                  (QStringList{"A.dat", "a.dat.b.dat", "b.dat", "c.DAT", "with space.dat", "X.Dat"}));
    // A name whose bytes are no UTF-8 (a stray byte, an overlong form) names
    // no file that can be opened by its text: left out, as Qt leaves it
    // out, and the other names, a Japanese one among them, still listed.
    for (const char *name : {"\xFF.dat", "\xC0\xAE.dat", "\xE9\x95\xB7\xE3\x81\x95.dat"}) {
        const int fd = ::creat((QFile::encodeName(m_dir.path()) + '/' + name).constData(), 0600);
        ASSERT_GE(fd, 0) << name;
        ::close(fd);
    }
    const QStringList all = listed(m_dir.path(), "*.dat");
    EXPECT_EQ(all.size(), 7) << all.join(u'|').toStdString();
    EXPECT_TRUE(all.contains(u"長さ.dat"_s));
}

TEST_F(SeriesCatalogueTest, NamesThatDifferOnlyInCaseKeepOneOrder)
{
    for (const char *name : {"b.dat", "a.dat", "B.dat", "A.dat"})
        touch(QString::fromUtf8(name));
    EXPECT_EQ(ListFiles(m_dir.path(), "*.dat"), QStringLiteral("A.dat\0a.dat\0B.dat\0b.dat"));
}

TEST_F(SeriesCatalogueTest, NothingToList)
{
    touch("readme.txt");
    EXPECT_EQ(ListFiles(m_dir.path(), "*.dat"), QString());
    EXPECT_EQ(ListFiles(m_dir.filePath("missing"), "*.dat"), QString());
    EXPECT_EQ(ListFiles(m_dir.filePath("readme.txt"), "*.dat"), QString());
    EXPECT_EQ(ListFiles(QString(), "*.dat"), QString());
    EXPECT_TRUE(BuildSeriesList(m_dir.filePath("missing")).empty());
    EXPECT_TRUE(BuildSeriesList(m_dir.path()).empty());
}

TEST_F(SeriesCatalogueTest, SeriesNamesLoseEveryExactDat)
{
    fillFolder();
    touch("a.d.datat.dat");
    struct Want {
        const char *name;
        const char *fileName;
    };
    const std::
        vector<Want>
            want = {
                {"A", "A.dat"},
                {"a.b", "a.dat.b.dat"},
                {"a.dat", "a.d.datat.dat"},  // one pass from the left, as a text replacement does
                {"b", "b.dat"},
                {"c.DAT", "c.DAT"},
                {"link", "link.dat"},
                {"with space", "with space.dat"},
                {"X.Dat", "X.Dat"},
            };
    const std::vector<SeriesEntry> series = BuildSeriesList(m_dir.path());
    ASSERT_EQ(series.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].fileName);
        EXPECT_EQ(series[i].name, QString::fromUtf8(want[i].name));
        EXPECT_EQ(series[i].fileName, QString::fromUtf8(want[i].fileName));
    }
}

TEST_F(SeriesCatalogueTest, SeriesAreSortedByNameWithoutRegardToCase)
{
    // Each row: the series in list order, with the file it comes from. In
    // these the file names sort the other way round, since " ", "-" and "+"
    // come before "." of ".dat".
    struct Want {
        const char *name;
        const char *fileName;
    };
    const std::vector<std::vector<Want>> rows = {
        {{"長さ", "長さ.dat"}, {"長さ (英)", "長さ (英).dat"}},
        {{"温度", "温度.dat"}, {"温度-旧", "温度-旧.dat"}},
        {{"a", "a.dat"}, {"a b", "a b.dat"}, {"a+", "a+.dat"}, {"a-b", "a-b.dat"}, {"ab", "ab.dat"}},
        {{"A", "A.dat"}, {"a", "a.dat"}, {"b", "b.dat"}, {"B b", "B b.dat"}, {"Ｂ", "Ｂ.dat"}},
        // Two files with one series name keep the order of their file names.
        {{"x", "x.dat"}, {"x", "x.dat.dat"}, {"X y", "X y.dat"}},
        {{"エネルギー", "エネルギー.dat"}, {"進数", "進数.dat"}, {"長さ", "長さ.dat"}, {"長さ (英)", "長さ (英).dat"}},
    };
    for (const std::vector<Want> &want : rows) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        // Written in reverse, so that no order of creation can pass for sorting.
        for (auto it = want.rbegin(); it != want.rend(); ++it) {
            QFile f(dir.filePath(QString::fromUtf8(it->fileName)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        const std::vector<SeriesEntry> series = BuildSeriesList(dir.path());
        ASSERT_EQ(series.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE(want[i].fileName);
            EXPECT_EQ(series[i].name, QString::fromUtf8(want[i].name));
            EXPECT_EQ(series[i].fileName, QString::fromUtf8(want[i].fileName));
        }
    }
}

TEST_F(SeriesCatalogueTest, EverySeriesLoadsTheFileThatWasListed)
{
    // Each file holds its own name, so a load of another file shows.
    const std::vector<QString> files = {u"X.DAT"_s, u"a.dat.b.dat"_s, u"with space.dat"_s, u"進数.dat"_s};
    for (const QString &file : files)
        touch(file, "1\r\n\"" + file.toUtf8() + "\",1,0,1,1\r\n");
    const std::vector<SeriesEntry> series = BuildSeriesList(m_dir.path());
    ASSERT_EQ(series.size(), files.size());
    for (const SeriesEntry &entry : series) {
        SCOPED_TRACE(entry.fileName.toStdString());
        UnitArray units;
        ASSERT_EQ(LoadUnitFile(QDir(m_dir.path()).filePath(entry.fileName), units), 0);
        EXPECT_EQ(units[0].UnitName, entry.fileName);
    }
    EXPECT_EQ(series[3].name, u"進数"_s);
}

}  // namespace
