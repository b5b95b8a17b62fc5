// tovelconv run as a process: its result line against the window program's
// for the same input, its errors and exit statuses, and a standard output
// that cannot be written. Batches: line N of the output answers line N of the
// input, at once in a pipe. The unit-name index: kept between runs, read again
// for a file that changed.
#include "MainWindowFixture.h"
#include "catalogue/NameCache.h"

#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <fcntl.h>
#include <functional>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kProgram = u"" TOVEL_BINARY_DIR "/app/tovelconv"_s;

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

class TovelConvTest : public MainWindowFixture {
protected:
    Ran run(QStringList arguments, int stdoutFd = -1, const QByteArray &input = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CACHE_HOME"_s, dir.filePath(u"cache"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        process.setProcessEnvironment(env);
        if (stdoutFd >= 0)
            process.setChildProcessModifier([stdoutFd] { ::dup2(stdoutFd, STDOUT_FILENO); });
        process.start(kProgram, QStringList{u"--units"_s, dir.filePath(u"units"_s)} + arguments);
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }
};

TEST_F(TovelConvTest, ResultLineIsTheWindowProgramsForTheSameInput)
{
    struct Case {
        const char *name;
        int showAns;
        QString series;
        QString value;
        QString from;
        QString to;
    };
    const Case cases[] = {
        {"plain", 0, u"length"_s, u"1.5"_s, u"km"_s, u"cm"_s},
        {"grouped", 1, u"length"_s, u"1234.5"_s, u"km"_s, u"m"_s},
        {"scientific", 2, u"length"_s, u"2"_s, u"km"_s, u"cm"_s},
        {"digit strings", 0, u"進数"_s, u"ff"_s, u"16進数"_s, u"2進数"_s},
        {"negative value", 0, u"temperature"_s, u"-40"_s, u"C"_s, u"F"_s},
    };
    writeStandardSeries();
    for (const Case &c : cases) {
        writeIni("[CalcSet]\r\nShowAns=" + QByteArray::number(c.showAns) + "\r\nMaxPlace=15\r\n");
        frmMain &w = start();
        selectSeries(c.series);
        sourceList()->setCurrentIndex(sourceList()->findText(c.from));
        targetList()->setCurrentIndex(targetList()->findText(c.to));
        valueBox()->setText(c.value);
        w.ConvertValue();
        ASSERT_FALSE(w.lastResult().isEmpty()) << c.name;

        const char *styles[] = {"plain", "grouped", "scientific"};
        const Ran line = run({u"--style"_s, QString::fromLatin1(styles[c.showAns]), u"--digits"_s, u"15"_s, u"--line"_s,
                              u"--"_s, c.value, c.from, c.to});
        EXPECT_EQ(line.status, 0) << c.name << line.err.toStdString();
        EXPECT_EQ(line.out, w.lastResult()) << c.name;
        // The usual form: the same numbers, "=" between them.
        const Ran plain = run({u"--style"_s, QString::fromLatin1(styles[c.showAns]), u"--"_s, c.value, c.from, c.to});
        EXPECT_EQ(plain.out,
                  u"%1 %2 = %3 %4\n"_s.arg(w.lastResult().section(u" ("_s, 0, 0), c.from, resultBox()->text(), c.to))
            << c.name;
    }
}

TEST_F(TovelConvTest, FailuresSayWhatWentWrongWithTheirStatus)
{
    struct Case {
        const char *name;
        QStringList arguments;
        int status;
        QString errorStart;
    };
    writeStandardSeries();
    writeSeries(u"time.dat"_s, "2\r\n\"s\",1,0,1,1\r\n\"m\",60,0,1,1\r\n");
    writeSeries(u"speed.dat"_s, "1\r\n\"mps\",1,0,1,1\r\n\"#別名\",\"mps\",\"m/s\"\r\n");
    const Case cases[] = {
        {"ambiguous name",
         {u"1"_s, u"m"_s},
         1,
         u"tovelconv: 単位「m」は複数の単位系 「length」、「time」 にあります。"_s},
        {"series chooses", {u"--series"_s, u"time"_s, u"2"_s, u"m"_s, u"s"_s}, 0, QString()},
        {"an alias finds its unit", {u"2"_s, u"m/s"_s}, 0, QString()},
        {"its compatibility form too", {u"2"_s, u"ｍ/ｓ"_s}, 0, QString()},
        {"unknown unit", {u"1"_s, u"parsec"_s}, 1, u"tovelconv: 単位「parsec」が見つかりません。"_s},
        {"unit of another series",
         {u"1"_s, u"km"_s, u"C"_s},
         1,
         u"tovelconv: 単位「C」は単位系「length」にありません。"_s},
        {"value that does not read", {u"1..2"_s, u"km"_s, u"cm"_s}, 1, u"tovelconv: エラー ： 不正な入力"_s},
        {"control characters escaped", {u"1"_s, u"k\x1b[2Jm"_s}, 1, u"tovelconv: 単位「k\\x1B[2Jm」"_s},
        {"unknown option", {u"--bogus"_s, u"1"_s, u"km"_s}, 2, u"tovelconv: 不明なオプション --bogus\n使い方:"_s},
        {"negative value without --", {u"-40"_s, u"C"_s, u"F"_s}, 2, u"tovelconv: 不明なオプション -40"_s},
    };
    for (const Case &c : cases) {
        const Ran r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.name << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.errorStart)) << c.name << ": " << r.err.toStdString();
        EXPECT_EQ(r.out.isEmpty(), c.status != 0) << c.name;
    }
}

TEST_F(TovelConvTest, StandardOutputThatCannotBeWrittenIsAnError)
{
    writeStandardSeries();
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::close(pipeEnds[0]);  // nobody will read
    const int devFull = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    for (const int fd : {pipeEnds[1], devFull}) {
        if (fd < 0)
            continue;
        const Ran r = run({u"1"_s, u"km"_s}, fd);
        EXPECT_EQ(r.status, 1) << fd;
        EXPECT_TRUE(r.err.startsWith(u"tovelconv: 標準出力に書き込めません: "_s)) << r.err.toStdString();
        ::close(fd);
    }
}

TEST_F(TovelConvTest, BatchAnswersEachLineOnItsOwnLine)
{
    struct Case {
        const char *name;
        QStringList arguments;
        QByteArray input;
        QByteArray out;
        int status;
        QString err;  // every line of it, in order
    };
    writeStandardSeries();
    writeSeries(u"volume.dat"_s, "2\r\n\"L\",1,0,1,1\r\n\"imp gal\",4.54609,0,1,1\r\n");
    const Case cases[] = {
        {"a failing line in the middle, blank lines kept",
         {u"-"_s, u"km"_s, u"m"_s},
         "1\n\n1..2\n  \n2\n",
         "1 km = 1000 m\n\n1..2 km =  m\n\n2 km = 2000 m\n",
         1,
         u"tovelconv: 3 行目: エラー ： 不正な入力 (km から m へ)\n"_s},
        {"terse: an empty line for a failure",
         {u"-t"_s, u"-"_s, u"km"_s, u"m"_s},
         "x\n1\n",
         "\n1000\n",
         1,
         u"tovelconv: 1 行目: エラー ： 不正な入力 (km から m へ)\n"_s},
        {"line ends as the input's, the last without one",
         {u"-t"_s, u"-"_s, u"km"_s, u"m"_s},
         "1\r\n2\n\r\n3",
         "1000\r\n2000\n\r\n3000",
         0,
         QString()},
        {"result lines take the input's line ends",
         {u"--line"_s, u"-"_s, u"km"_s, u"cm"_s},
         "1.5\n",
         "1.5 (km) => 150000 (cm)\n",
         0,
         QString()},
        {"negative values after --",
         {u"-t"_s, u"--"_s, u"-"_s, u"C"_s, u"F"_s},
         "-40\n 100 \n",
         "-40\n212\n",
         0,
         QString()},
        {"grouped as a single conversion groups",
         {u"--style"_s, u"grouped"_s, u"-"_s, u"km"_s, u"m"_s},
         "1234.5\n",
         "1,234.5 km = 1,234,500 m\n",
         0,
         QString()},
        {"a name that fails, fails before any line",
         {u"-"_s, u"parsec"_s, u"m"_s},
         "1\n",
         "",
         1,
         u"tovelconv: 単位「parsec」が見つかりません。\n"_s},
        {"queries, quoted names and a value after --",
         {u"-t"_s, u"-f"_s, u"-"_s},
         "1 km m\n-- -40 C F\n'2' \"imp gal\" L\n\n1 km\n",
         "1000\n-40\n9.09218\n\n1000\t1\t100000\n",
         0,
         QString()},
        {"queries that fail",
         {u"-f"_s, u"-"_s},
         "1 parsec m\n1 km\t m\tx\n1 km 'm\n2 km m\n",
         "1 parsec =  m\n\n\n2 km = 2000 m\n",
         1,
         u"tovelconv: 1 行目: 単位「parsec」が見つかりません。\ntovelconv: 2 行目: 余分な引数 x\n"
         u"tovelconv: 3 行目: 引用符が閉じていません。\n"_s},
    };
    for (const Case &c : cases) {
        const Ran r = run(c.arguments, -1, c.input);
        EXPECT_EQ(r.status, c.status) << c.name << r.err.toStdString();
        EXPECT_EQ(r.out.toStdString(), c.out.toStdString()) << c.name;
        EXPECT_EQ(r.err.toStdString(), c.err.toStdString()) << c.name;
    }
}

TEST_F(TovelConvTest, BatchAnswersALineBeforeTheNextArrives)
{
    writeStandardSeries();
    QProcess process;
    process.start(kProgram, {u"--units"_s, dir.filePath(u"units"_s), u"-t"_s, u"-"_s, u"km"_s, u"m"_s});
    for (const QByteArray &value : {QByteArray("1"), QByteArray("2")}) {
        process.write(value + '\n');
        QByteArray answer;
        while (!answer.endsWith('\n') && process.waitForReadyRead(10000))
            answer += process.readAllStandardOutput();
        EXPECT_EQ(answer, value + "000\n");
    }
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
}

TEST_F(TovelConvTest, BatchEndsQuietlyWhenItsReaderHasGone)
{
    writeStandardSeries();
    QByteArray input;
    for (int i = 0; i < 200000; ++i)
        input += "1\n";
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::close(pipeEnds[0]);
    const Ran closed = run({u"-"_s, u"km"_s, u"m"_s}, pipeEnds[1], input);
    ::close(pipeEnds[1]);
    EXPECT_EQ(closed.status, 1);
    EXPECT_EQ(closed.err, QString());
    // A full disk is said once, not once a line.
    const int devFull = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(devFull, 0);
    const Ran full = run({u"-"_s, u"km"_s, u"m"_s}, devFull, input);
    ::close(devFull);
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err.count(u'\n'), 1) << full.err.toStdString();
}

TEST(NameCache, KeptBetweenRunsAndReadAgainForAChangedFile)
{
    QTemporaryDir dir;
    const QString units = dir.filePath(u"units/"_s);
    QDir().mkpath(units);
    const QString cache = dir.filePath(u"cache/index"_s);
    auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(units + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    };
    write(u"a.dat"_s, "1\r\n\"x\",1,0,1,1\r\n");
    write(u"b.dat"_s, "1\r\n\"y\",1,0,1,1\r\n");
    QThread::msleep(2100);  // files changed within the last two seconds are never kept

    int reads = -1;
    LoadNameIndex(units, cache, &reads);
    EXPECT_EQ(reads, 2);
    NameIndex index = LoadNameIndex(units, cache, &reads);
    EXPECT_EQ(reads, 0);
    LoadNameIndex(dir.path() + u"//units/"_s, cache, &reads);  // the same folder written another way
    EXPECT_EQ(reads, 0);
    ASSERT_EQ(index.seriesCount(), 2);
    EXPECT_EQ(index.namesOf(1), QStringList{u"y"_s});

    // A cache that is a link, or not the user's own, is not read.
    const QString moved = dir.filePath(u"cache/moved"_s);
    ASSERT_TRUE(QFile::rename(cache, moved));
    ASSERT_TRUE(QFile::link(moved, cache));
    LoadNameIndex(units, cache, &reads);
    EXPECT_EQ(reads, 2);
    QFile::remove(cache);
    ASSERT_TRUE(QFile::rename(moved, cache));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(cache).constData(), 65534, 65534), 0);
        LoadNameIndex(units, cache, &reads);
        EXPECT_EQ(reads, 2);
        QFile::remove(cache);
        LoadNameIndex(units, cache, &reads);
    }
    LoadNameIndex(units, cache, &reads);
    EXPECT_EQ(reads, 0);
    // Rebuilt on demand (a name the cache promised was not in its file).
    LoadNameIndex(units, cache, &reads, NameCacheUse::Rebuild);
    EXPECT_EQ(reads, 2);

    // Same size, changed at once: read again, and again until it has settled.
    write(u"b.dat"_s, "1\r\n\"z\",1,0,1,1\r\n");
    for (int run = 0; run < 2; ++run) {
        index = LoadNameIndex(units, cache, &reads);
        EXPECT_EQ(reads, 1);
        EXPECT_EQ(index.namesOf(1), QStringList{u"z"_s});
    }
    QFile::remove(units + u"a.dat"_s);
    index = LoadNameIndex(units, cache, &reads);
    ASSERT_EQ(index.seriesCount(), 1);
    EXPECT_EQ(index.series(0).name, u"b"_s);
}

// Run as root over folders another user can write: the cache is never
// written through a link or into a folder that is not root's own.
TEST(NameCache, RootWritesNoCacheThroughAnotherUsersLinkOrFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    QTemporaryDir dir;
    const QString units = dir.filePath(u"units/"_s);
    QDir().mkpath(units);
    QFile unit(units + u"a.dat"_s);
    ASSERT_TRUE(unit.open(QIODevice::WriteOnly));
    unit.write("1\r\n\"x\",1,0,1,1\r\n");
    unit.close();
    QThread::msleep(2100);
    const QByteArray victimBytes = "root:secret\n";
    const QString victim = dir.filePath(u"shadow"_s);
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write(victimBytes);
    v.close();
    const QString other = dir.filePath(u"other"_s);  // another user's folder
    QDir().mkpath(other);
    auto give = [](const QString &path) { return ::lchown(QFile::encodeName(path).constData(), 65534, 65534) == 0; };
    ASSERT_TRUE(give(other));

    struct Row {
        const char *what;
        QString cacheFile;
        std::function<void()> plant;
    };
    const std::vector<Row> rows = {
        {"a link to root's file, planted in the cache folder by another user", dir.filePath(u"c1/tovel/x.index"_s),
         [&] {
             QDir().mkpath(dir.filePath(u"c1/tovel"_s));
             QFile::link(victim, dir.filePath(u"c1/tovel/x.index"_s));
             give(dir.filePath(u"c1/tovel/x.index"_s));
         }},
        {"the cache folder a link of another user's into their folder", dir.filePath(u"c2/tovel/x.index"_s),
         [&] {
             QDir().mkpath(dir.filePath(u"c2"_s));
             QFile::link(other, dir.filePath(u"c2/tovel"_s));
             give(dir.filePath(u"c2/tovel"_s));
         }},
        {"the cache home inside another user's folder", other + u"/cache/tovel/x.index"_s, [] {}},
    };
    for (const Row &row : rows) {
        row.plant();
        int reads = -1;
        const NameIndex index = LoadNameIndex(units, row.cacheFile, &reads);
        EXPECT_EQ(index.seriesCount(), 1) << row.what;
        QFile check(victim);
        ASSERT_TRUE(check.open(QIODevice::ReadOnly));
        EXPECT_EQ(check.readAll(), victimBytes) << row.what;
        EXPECT_EQ(QDir(other).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList{})
            << row.what;
    }
}

}  // namespace
