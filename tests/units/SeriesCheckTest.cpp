// The series-file checker: each kind of fault planted in a small file is
// found at its unit and line, sound files give no finding, and the command's
// exit codes and help.
#include "catalogue/check/SeriesCheck.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Writes text as CP932, the encoding of shipped series files.
void WriteCp932(const QString &path, const QString &text)
{
    QStringEncoder cp932("CP932");
    ASSERT_TRUE(cp932.isValid());
    const QByteArray bytes = cp932.encode(text);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::string Describe(const std::vector<CheckFinding> &findings)
{
    std::string out;
    for (const CheckFinding &f : findings)
        out += f.text().toStdString() + "\n";
    return out;
}

struct Planted {
    const char *label;
    const char *fileName;
    const char *content;  // "\n" becomes CR LF
    FindingKind kind;
    int unit;  // from 0; -1 for the whole file
    int line;
};

const Planted kPlanted[] = {
    {"count above the records", "長さ.dat", "3\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n",
     FindingKind::CountTooLarge, -1, 1},
    {"records beyond the count", "長さ.dat", "1\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n",
     FindingKind::ExtraItems, -1, 3},
    {"count not a number", "長さ.dat", "two\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n",
     FindingKind::CountUnreadable, -1, 1},
    {"count of zero", "長さ.dat", "0\n", FindingKind::EmptySeries, -1, 1},
    {"factor not a number", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",2x,0,1,1\n",
     FindingKind::NotANumber, 1, 3},
    {"offset not a number", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",2,zero,1,1\n",
     FindingKind::NotANumber, 1, 3},
    {"factor of zero", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",0,0,1,1\n",
     FindingKind::ZeroFactor, 1, 3},
    {"grouping flag -1", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",2,0,-1,1\n",
     FindingKind::BadFlag, 1, 3},
    {"exponent flag 2", "長さ.dat", "2\n\"a\",1,0,1,2\n\"b\",2,0,1,1\n",
     FindingKind::BadFlag, 0, 2},
    {"same name twice", "長さ.dat", "3\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n\"a\",3,0,1,1\n",
     FindingKind::DuplicateName, 2, 4},
    {"empty name", "長さ.dat", "2\n\"a\",1,0,1,1\n\"\",2,0,1,1\n",
     FindingKind::EmptyName, 1, 3},
    {"unquoted name with a comma", "速度.dat",
     "3\n\"m/s\",1,0,1,1\nkm,h,0.27777777777777778,0,1,1\n\"ノット\",0.51444444444444444,0,1,1\n",
     FindingKind::CommaInName, 1, 3},
    {"radix missing in the run", "進数.dat",
     "3\n\"2進数\",2,0,0,0\n\"3進数\",3,0,0,0\n\"5進数\",5,0,0,0\n",
     FindingKind::RadixOrder, 2, 4},
    {"radices out of order", "進数.dat",
     "3\n\"2進数\",2,0,0,0\n\"4進数\",4,0,0,0\n\"3進数\",3,0,0,0\n",
     FindingKind::RadixOrder, 1, 3},
    {"radix not whole", "進数.dat", "2\n\"2進数\",2,0,0,0\n\"2.5進数\",2.5,0,0,0\n",
     FindingKind::RadixNotWhole, 1, 3},
    {"radix below two", "進数.dat", "1\n\"1進数\",1,0,0,0\n",
     FindingKind::RadixOutOfRange, 0, 2},
};

TEST(SeriesCheck, FindsEachPlantedFaultAtItsUnitAndLine)
{
    for (const Planted &p : kPlanted) {
        SCOPED_TRACE(p.label);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString fileName = QString::fromUtf8(p.fileName);
        const QString path = dir.filePath(fileName);
        WriteCp932(path, QString::fromUtf8(p.content).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));

        const std::vector<CheckFinding> findings = CheckUnitsFolder(dir.path());
        ASSERT_EQ(findings.size(), 1u) << Describe(findings);
        const CheckFinding &f = findings[0];
        EXPECT_EQ(f.kind, p.kind) << Describe(findings);
        EXPECT_EQ(f.unit, p.unit) << Describe(findings);
        EXPECT_EQ(f.line, p.line) << Describe(findings);
        EXPECT_EQ(f.file, path);
        EXPECT_FALSE(f.message.isEmpty());
    }
}

TEST(SeriesCheck, SoundFilesGiveNoFinding)
{
    const char *const sound[] = {
        "2\n\"メートル\",1,0,1,1\n\"キロメートル\",1000,0,1,1\n",
        // a quoted name may hold a comma
        "2\n\"a,b\",1,0,1,1\n\"c\",1E-3,0,1,1\n",
        // items split over lines read the same as the usual layout
        "3\n\"a\"\n1\n0\n1\n1\n\"b\",2,0,1,1,\"c\",3,0,1,1\n",
        // a factor with an exponent and a negative offset
        "2\n\"ケルビン\",1,273.15,1,1\n\"x\",2.5E+03,-1.5,0,0\n",
        // flag 0 is as sound as 1
        "1\n\"a\",1,0,0,0\n",
    };
    for (const char *content : sound) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        WriteCp932(dir.filePath(QStringLiteral("s.dat")),
                   QString::fromUtf8(content).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
        const std::vector<CheckFinding> findings = CheckUnitsFolder(dir.path());
        EXPECT_TRUE(findings.empty()) << content << "\n" << Describe(findings);
    }
}

TEST(SeriesCheck, OnlyTheSeriesNamedShinsuIsHeldToTheRadixRules)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString content = QStringLiteral("2\r\n\"a\",2.5,0,1,1\r\n\"b\",40,0,1,1\r\n");
    WriteCp932(dir.filePath(QStringLiteral("倍率.dat")), content);
    EXPECT_TRUE(CheckUnitsFolder(dir.path()).empty());
    WriteCp932(dir.filePath(QStringLiteral("進数.dat")), content);
    EXPECT_EQ(CheckUnitsFolder(dir.path()).size(), 2u);  // 2.5 not whole, 40 out of range
}

TEST(SeriesCheck, FindsNothingInTheShippedUnits)
{
    const std::vector<CheckFinding> findings = CheckUnitsFolder(QStringLiteral(TOVEL_SOURCE_DIR "/units"));
    EXPECT_TRUE(findings.empty()) << Describe(findings);
}

TEST(SeriesCheck, FindingTextNamesFileLineAndUnit)
{
    CheckFinding f;
    f.file = QStringLiteral("units/長さ.dat");
    f.line = 4;
    f.unit = 2;
    f.unitName = QStringLiteral("インチ");
    f.message = QStringLiteral("係数が 0 です。");
    EXPECT_EQ(f.text(), QStringLiteral("units/長さ.dat:4: 単位 3「インチ」: 係数が 0 です。"));
    f.line = 0;
    f.unit = -1;
    EXPECT_EQ(f.text(), QStringLiteral("units/長さ.dat: 係数が 0 です。"));
}

struct RunResult {
    int code;
    QString out;
    QString err;
};

RunResult RunCheck(const QStringList &args, const QString &defaultFolder = QString())
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int code = RunTovelCheck(args, defaultFolder, outStream, errStream);
    return {code, out, err};
}

TEST(TovelCheckCommand, ExitCodesFollowWhatWasFound)
{
    QTemporaryDir clean, faulty, empty;
    ASSERT_TRUE(clean.isValid() && faulty.isValid() && empty.isValid());
    WriteCp932(clean.filePath(QStringLiteral("長さ.dat")), QStringLiteral("1\r\n\"メートル\",1,0,1,1\r\n"));
    const QString faultyFile = faulty.filePath(QStringLiteral("長さ.dat"));
    WriteCp932(faultyFile, QStringLiteral("1\r\n\"メートル\",0,0,1,1\r\n"));

    RunResult r = RunCheck({clean.path()});
    EXPECT_EQ(r.code, 0) << r.out.toStdString();

    r = RunCheck({}, clean.path());  // no path: the default folder
    EXPECT_EQ(r.code, 0);

    r = RunCheck({faulty.path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains(faultyFile + QStringLiteral(":2: 単位 1「メートル」"))) << r.out.toStdString();

    r = RunCheck({clean.path(), faultyFile});  // folders and files together
    EXPECT_EQ(r.code, 1);

    r = RunCheck({empty.path()});  // no series file at all
    EXPECT_EQ(r.code, 1);

    r = RunCheck({empty.filePath(QStringLiteral("missing.dat"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.contains(QStringLiteral("missing.dat")));
}

TEST(TovelCheckCommand, HelpAndUnknownOptions)
{
    RunResult r = RunCheck({QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("使い方: tovelcheck")));

    r = RunCheck({QStringLiteral("-h")});
    EXPECT_EQ(r.code, 0);

    r = RunCheck({QStringLiteral("--frobnicate")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--frobnicate")));
    EXPECT_TRUE(r.out.isEmpty());
}

} // namespace
