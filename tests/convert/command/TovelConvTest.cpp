// tovelconv run as a process: its result line against the window program's
// for the same input, its errors and exit statuses, and a standard output
// that cannot be written. Batches: line N of the output answers line N of the
// input, at once in a pipe. The unit-name index: kept between runs, read again
// for a file that changed.
#include "MainWindowFixture.h"
#include "catalogue/NameCache.h"
#include "catalogue/UnitFile.h"
#include "convert/command/ConvCommand.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <functional>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kProgram = u"" TOVEL_BINARY_DIR "/app/tovelconv"_s;

// Writes a file anew; false when it cannot.
bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

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
        {"value that does not read, where",
         {u"1..2"_s, u"km"_s, u"cm"_s},
         1,
         u"tovelconv: 値「1..2」の 3 文字目「.」が読めません\n"_s},
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

TEST_F(TovelConvTest, ValuesInSeveralUnitsSignificantDigitsAndInfinity)
{
    writeSeries(u"shaku.dat"_s,
                "3\r\n\"メートル\",1,0,1,1\r\n\"尺\",0.30303030303030304,0,1,1\r\n"
                "\"寸\",0.030303030303030304,0,1,1\r\n\"#併記\",\"尺・寸\",尺,寸\r\n");
    writeSeries(u"fuel.dat"_s, "1\r\n\"km/L\",1,0,1,1\r\n\"#逆数\",\"L/100km\",100,1,1\r\n");
    struct Case {
        QStringList arguments;
        int status;
        QString out;  // or the start of the error
    };
    const Case cases[] = {
        {{u"1.6"_s, u"メートル"_s, u"尺・寸"_s}, 0, u"1.6 メートル = 5 尺 2.8 寸\n"_s},
        {{u"--line"_s, u"1.6"_s, u"メートル"_s, u"尺;寸"_s}, 0, u"1.6 (メートル) => 5 (尺) 2.8 (寸)\r\n"_s},
        {{u"-t"_s, u"--sig"_s, u"1"_s, u"1.6"_s, u"メートル"_s, u"尺・寸"_s}, 0, u"5 尺 3 寸\n"_s},
        {{u"--sig=3"_s, u"1"_s, u"尺"_s, u"メートル"_s}, 0, u"1 尺 = 0.303 メートル\n"_s},
        {{u"0"_s, u"km/L"_s}, 0, u"0 km/L = 0 km/L\n0 km/L = ∞ L/100km\n"_s},  // the run goes on
        {{u"--sig"_s, u"16"_s, u"1"_s, u"尺"_s}, 2, u"tovelconv: 有効数字は 1 から 15 の整数です: 16"_s},
        {{u"1"_s, u"尺"_s, u"寸;尺"_s},
         1,
         u"tovelconv: 「寸;尺」は単位系「shaku」の単位を大きい順に「;」でつないだものではありません。"_s},
    };
    for (const Case &c : cases) {
        const Ran r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments.join(u' ').toStdString() << r.err.toStdString();
        if (c.status == 0)
            EXPECT_EQ(r.out, c.out) << c.arguments.join(u' ').toStdString();
        else
            EXPECT_TRUE(r.err.startsWith(c.out)) << r.err.toStdString();
    }
}

// Values as people write them, names a target settles, whole queries.
TEST_F(TovelConvTest, ValuesAndQueriesAsPeopleWriteThem)
{
    struct Case {
        QStringList arguments;
        QString out;  // with status 1: the start of the error
        int status;
    };
    writeStandardSeries();
    writeSeries(u"length.dat"_s,
                "5\r\n\"m\",1,0,1,1\r\n\"cm\",0.01,0,1,1\r\n\"ft\",0.3048,0,1,1\r\n"
                "\"in\",0.0254,0,1,1\r\n\"sh\",0.3,0,1,1\r\n\"#別名\",\"sh\",\"shaku\"\r\n");
    writeSeries(u"volume.dat"_s, "3\r\n\"L\",1,0,1,1\r\n\"mL\",0.001,0,1,1\r\n\"sh\",0.018,0,1,1\r\n");
    const Case cases[] = {
        // A fraction is a number, never a unit over a number; the value is shown as typed.
        {{u"1/3"_s, u"ft"_s, u"in"_s}, u"1/3 ft = 4 in\n"_s, 0},
        // A mixed number is one and a half, never 11/2, quoted or not.
        {{u"2 1/2"_s, u"in"_s, u"cm"_s}, u"2 1/2 in = 6.35 cm\n"_s, 0},
        {{u"2"_s, u"1/2"_s, u"in"_s, u"cm"_s}, u"2 1/2 in = 6.35 cm\n"_s, 0},
        {{u"１２"_s, u"m"_s, u"cm"_s}, u"１２ m = 1200 cm\n"_s, 0},
        {{u"二千五百"_s, u"cm"_s, u"m"_s}, u"二千五百 cm = 25 m\n"_s, 0},
        // Plain numbers as they always read, trailing sign included.
        {{u"1e3"_s, u"cm"_s, u"m"_s}, u"1e3 cm = 10 m\n"_s, 0},
        {{u"5-"_s, u"m"_s, u"cm"_s}, u"5- m = -500 cm\n"_s, 0},
        // Terms of one series summed, in the last term's unit.
        {{u"5ft3in"_s, u"cm"_s}, u"63 in = 160.02 cm\n"_s, 0},
        {{u"5"_s, u"ft"_s, u"3"_s, u"in"_s, u"cm"_s}, u"63 in = 160.02 cm\n"_s, 0},
        // Into words; "in" after a value is the inch, after a name "into".
        {{u"3mをcmで"_s}, u"3 m = 300 cm\n"_s, 0},
        {{u"1 in to cm"_s}, u"1 in = 2.54 cm\n"_s, 0},
        {{u"3"_s, u"ft"_s, u"in"_s}, u"3 ft = 36 in\n"_s, 0},
        {{u"6 ft in cm"_s}, u"6 ft = 182.88 cm\n"_s, 0},
        // A name of two series: the target settles it, and the other way round.
        {{u"1"_s, u"shaku"_s, u"cm"_s}, u"1 sh = 30 cm\n"_s, 0},
        {{u"2"_s, u"L"_s, u"sh"_s}, u"2 L = 111.111111111111 sh\n"_s, 0},
        {{u"1 sh mL"_s}, u"1 sh = 18 mL\n"_s, 0},
        {{u"1m50cm"_s, u"sh"_s}, u"150 cm = 5 sh\n"_s, 0},
        {{u"--series"_s, u"volume"_s, u"1 sh mL"_s}, u"1 sh = 18 mL\n"_s, 0},
        {{u"1"_s, u"sh"_s}, u"tovelconv: 単位「sh」は複数の単位系 "_s, 1},
        {{u"1 sh"_s}, u"tovelconv: 単位「sh」は複数の単位系 "_s, 1},
        // Failures name the place; a value never converts as 0.
        {{u"1//2"_s, u"m"_s, u"cm"_s}, u"tovelconv: 値「1//2」の 3 文字目「/」が読めません\n"_s, 1},
        {{u"1/0"_s, u"m"_s, u"cm"_s}, u"tovelconv: 値「1/0」は 0 で割っているため計算できません\n"_s, 1},
        {{u"1\x1b/2"_s, u"m"_s, u"cm"_s}, u"tovelconv: 値「1\\x1B/2」の 2 文字目「\\x1B」が読めません\n"_s, 1},
        {{u"5m3L"_s, u"cm"_s}, u"tovelconv: 単位「m」(単位系 「length」) と単位「L」(単位系 「volume」) は"_s, 1},
        {{u"3mを"_s}, u"tovelconv: 「3mを」の後に変換先の単位がありません。\n"_s, 1},
    };
    for (const Case &c : cases) {
        const Ran r = run(c.arguments);
        const std::string name = c.arguments.join(u'|').toStdString();
        EXPECT_EQ(r.status, c.status) << name << ": " << r.err.toStdString();
        if (c.status == 0)
            EXPECT_EQ(r.out.toStdString(), c.out.toStdString()) << name;
        else
            EXPECT_TRUE(r.err.startsWith(c.out)) << name << ": " << r.err.toStdString();
    }

    // A batch reads each value line, and each query line whole.
    const Ran values = run({u"-t"_s, u"-"_s, u"ft"_s, u"in"_s}, -1, "1/3\n1 1/2\n1//2\n１２\n");
    EXPECT_EQ(values.out, u"4\n18\n\n144\n"_s);
    EXPECT_EQ(values.err, u"tovelconv: 3 行目: 値「1//2」の 3 文字目「/」が読めません\n"_s);
    // Into every unit; digit strings of the number base never go through the parser.
    const Ran everyUnit = run({u"-t"_s, u"-"_s, u"ft"_s}, -1, "1 1/2\n");
    EXPECT_EQ(everyUnit.out, u"0.4572\t45.72\t1.5\t18\t1.524\n"_s);
    const Ran digits = run({u"-t"_s, u"-"_s, u"16進数"_s, u"10進数"_s}, -1, "ff\n1/2\n");
    EXPECT_EQ(digits.out, u"255\n\n"_s);
    EXPECT_EQ(digits.err, u"tovelconv: 2 行目: エラー ： 不正な入力 (16進数 から 10進数 へ)\n"_s);
    const Ran queries = run({u"-f"_s, u"-"_s}, -1, "5 ft 3 in cm\n1 shaku cm\n3mをcmで\n'5 cm\n");
    EXPECT_EQ(queries.out, u"63 in = 160.02 cm\n1 sh = 30 cm\n3 m = 300 cm\n\n"_s);
    EXPECT_EQ(queries.err, u"tovelconv: 4 行目: 引用符が閉じていません。\n"_s);
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
         u"tovelconv: 3 行目: 値「1..2」の 3 文字目「.」が読めません\n"_s},
        {"terse: an empty line for a failure",
         {u"-t"_s, u"-"_s, u"km"_s, u"m"_s},
         "x\n1\n",
         "\n1000\n",
         1,
         u"tovelconv: 1 行目: 値「x」の 1 文字目「x」が読めません\n"_s},
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
        {"every unit of one series, then of others, each with its own names",
         {u"-f"_s, u"-"_s},
         "1 km\n0 C\n2 L\n",
         "1 km = 1000 m\t1 km = 1 km\t1 km = 100000 cm\n0 C = 0 C\t0 C = 273.15 K\t0 C = 32 F\n"
         "2 L = 2 L\t2 L = 0.439938496598176 imp gal\n",
         0,
         QString()},
        {"queries that fail",
         {u"-f"_s, u"-"_s},
         "1 parsec m\n1 km\t m\tx\n1 km 'm\n2 km m\n",
         "1 parsec =  m\n\n\n2 km = 2000 m\n",
         1,
         u"tovelconv: 1 行目: 単位「parsec」が見つかりません。\ntovelconv: 2 行目: "
         u"変換先「m」の後の「x」が読めません。\n"
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

// tovelconv reads the settings and keeps its cache where the window program
// has them, without asking QStandardPaths.
TEST(TovelConvFolders, AreTheWindowProgramsInEveryEnvironment)
{
    // XDG_CONFIG_HOME, XDG_CACHE_HOME and HOME (unset and empty are the same).
    const char *const names[] = {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "HOME"};
    const QByteArray cases[][3] = {
        {"", "", "/home/user"},                 // the usual: under the home folder
        {"", "", "/a//b/../c/"},                // a home to clean
        {"/x//y/", "rel/cache", "/home/user"},  // taken as they stand, relative ones too
        {"", "", ""},                           // no home: the root
    };
    const QByteArray saved[] = {qgetenv(names[0]), qgetenv(names[1]), qgetenv(names[2])};
    const QString appName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(u"tovel"_s);
    for (const auto &values : {cases[0], cases[1], cases[2], cases[3], saved}) {
        for (int i = 0; i < 3; ++i)
            values[i].isEmpty() ? qunsetenv(names[i]) : qputenv(names[i], values[i]);
        EXPECT_EQ(FoldersOf(u"/opt/tovel"_s).userConfigDirectory.toStdString(),
                  QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString());
        EXPECT_EQ(FoldersOf(u"/opt/tovel"_s).cacheDirectory.toStdString(),
                  QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toStdString());
    }
    QCoreApplication::setApplicationName(appName);
}

TEST(NameCache, KeptBetweenRunsAndReadAgainForAChangedFile)
{
    QTemporaryDir dir;
    const QString units = dir.filePath(u"units/"_s);
    QDir().mkpath(units);
    const QString cache = dir.filePath(u"cache/index"_s);
    auto write = [&](const QString &name, const QByteArray &bytes) { ASSERT_TRUE(WriteFile(units + name, bytes)); };
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
    // A file added before the others, and one taken away: each file keeps
    // its own names from the cache.
    write(u"0.dat"_s, "1\r\n\"w\",1,0,1,1\r\n");
    write(u"c.dat"_s, "1\r\n\"v\",1,0,1,1\r\n");
    QThread::msleep(2100);
    LoadNameIndex(units, cache, &reads);
    EXPECT_EQ(reads, 3);  // the two new files, and b.dat, settled since
    QFile::remove(units + u"a.dat"_s);
    index = LoadNameIndex(units, cache, &reads);
    EXPECT_EQ(reads, 0);
    ASSERT_EQ(index.seriesCount(), 3);
    EXPECT_EQ(index.series(1).name, u"b"_s);
    EXPECT_EQ(index.namesOf(0), QStringList{u"w"_s});
    EXPECT_EQ(index.namesOf(1), QStringList{u"z"_s});
    EXPECT_EQ(index.namesOf(2), QStringList{u"v"_s});
}

// A folder with a link among its series files is listed on every run: the
// file the link leads to can appear while the folder stays as it was.
TEST(NameCache, ListsAFolderWithALinkEveryTime)
{
    QTemporaryDir dir;
    const QString units = dir.filePath(u"units/"_s);
    QDir().mkpath(units);
    ASSERT_TRUE(WriteFile(units + u"a.dat"_s, "1\r\n\"x\",1,0,1,1\r\n"));
    const QString target = dir.filePath(u"b.dat"_s);
    ASSERT_TRUE(QFile::link(target, units + u"b.dat"_s));
    QThread::msleep(2100);  // files changed within the last two seconds are never kept
    const QString cache = dir.filePath(u"cache/index"_s);
    EXPECT_EQ(LoadNameIndex(units, cache).seriesCount(), 1);
    EXPECT_EQ(LoadNameIndex(units, cache).seriesCount(), 1);
    ASSERT_TRUE(WriteFile(target, "1\r\n\"y\",1,0,1,1\r\n"));
    const NameIndex index = LoadNameIndex(units, cache);
    ASSERT_EQ(index.seriesCount(), 2);
    EXPECT_EQ(index.namesOf(1), QStringList{u"y"_s});
}

// A series taken from the cache is the series its file gives, so that a
// conversion answers the same from either: every shipped series, reciprocal
// units, aliases and compound units among them.
TEST(NameCache, GivesEachSeriesAsItsFileDoes)
{
    QTemporaryDir dir;
    const QString shipped = QStringLiteral(TOVEL_SOURCE_DIR "/units/");
    const QString units = dir.filePath(u"units/"_s);
    QDir().mkpath(units);
    for (const QString &name : QDir(shipped).entryList({u"*.dat"_s}, QDir::Files))
        ASSERT_TRUE(QFile::copy(shipped + name, units + name));
    QThread::msleep(2100);  // files changed within the last two seconds are never kept
    const QString cache = dir.filePath(u"cache/index"_s);
    LoadNameIndex(units, cache);

    const auto compare = [&](const QString &what) {
        CachedSeriesUnits cached;
        int reads = -1;
        const NameIndex index = LoadNameIndex(units, cache, &reads, NameCacheUse::ReadAndWrite, &cached);
        ASSERT_GT(index.seriesCount(), 20) << what.toStdString();
        const NameIndex read = LoadNameIndex(units, QString());
        ASSERT_EQ(index.unitCount(), read.unitCount());
        for (int unit = 0; unit < read.unitCount(); ++unit) {
            EXPECT_EQ(index.namesOf(unit), read.namesOf(unit)) << what.toStdString() << ' ' << unit;
            EXPECT_EQ(index.unit(unit).series, read.unit(unit).series);
            EXPECT_EQ(index.unit(unit).unit, read.unit(unit).unit);
        }
        for (int s = 0; s < index.seriesCount(); ++s) {
            const QString path = units + index.series(s).fileName;
            UnitArray fromCache, fromFile;
            CompoundArray compoundsFromCache, compoundsFromFile;
            LoadUnitFile(path, fromFile, compoundsFromFile);
            const bool changed = QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) < 2;
            EXPECT_EQ(cached.load(s, fromCache, compoundsFromCache), !changed) << what.toStdString() << ' ' << s;
            if (!changed) {
                EXPECT_EQ(fromCache, fromFile) << what.toStdString() << ' ' << s;
                EXPECT_EQ(compoundsFromCache, compoundsFromFile) << what.toStdString() << ' ' << s;
            }
        }
    };
    compare(u"as shipped"_s);
    // A file changed since the cache was written comes from the file.
    QFile changed(units + u"長さ.dat"_s);
    ASSERT_TRUE(changed.open(QIODevice::Append));
    changed.write("\"#\x95\xCA\x96\xBC\",\"\x8E\xDA\",\"syaku\"\r\n");  // "#別名","尺","syaku" in the file's code page
    changed.close();
    compare(u"one changed"_s);

    // tovelconv answers from the cache as it did from the files.
    const QStringList queries[] = {
        {u"6"_s, u"畳"_s, u"平方メートル"_s},
        {u"1.7"_s, u"メートル"_s, u"尺・寸"_s},
        {u"12"_s, u"キロメートル毎時"_s, u"分毎キロメートル"_s},
        {u"5"_s, u"syaku"_s, u"cm"_s},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CACHE_HOME"_s, dir.filePath(u"xdg-cache"_s));
    env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
    QThread::msleep(2100);
    QStringList answers[2];
    for (QStringList &answer : answers) {
        for (const QStringList &query : queries) {
            QProcess process;
            process.setProcessEnvironment(env);
            process.start(kProgram, QStringList{u"--units"_s, units} + query);
            ASSERT_TRUE(process.waitForFinished(30000));
            answer << QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        }
    }
    EXPECT_EQ(answers[0], answers[1]);
    EXPECT_EQ(answers[1][0], u"6 畳 = 9.72 平方メートル\n"_s);
    EXPECT_EQ(answers[1][3], u"5 尺 = 151.515151515152 センチメートル\n"_s);
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
    ASSERT_TRUE(WriteFile(units + u"a.dat"_s, "1\r\n\"x\",1,0,1,1\r\n"));
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
