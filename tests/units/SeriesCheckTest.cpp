// The series-file checker: each kind of fault planted in a small file is
// found at its unit and line, sound files give no finding, what the program
// skips in a folder is named, no control character from a file reaches the
// output, and the command's exit codes and help.
#include "catalogue/check/SeriesCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::string_view_literals;

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

// Writes the bytes as they are, "\n" as CR LF.
void WriteBytes(const QString &path, std::string_view content)
{
    QByteArray bytes(content.data(), qsizetype(content.size()));
    bytes.replace("\n", "\r\n");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct Planted {
    const char *label;
    const char *fileName;
    std::string_view content;  // "\n" becomes CR LF
    FindingKind kind;
    int unit;  // from 0; -1 for the whole file
    int line;
    size_t findings = 1;  // the planted one and what follows from it
    bool bytes = false;   // content written as bytes, not encoded to CP932
};

const Planted kPlanted[] = {
    {"count above the records", "長さ.dat", "3\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n", FindingKind::CountTooLarge, -1, 1},
    {"records beyond the count", "長さ.dat", "1\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n", FindingKind::ExtraItems, -1, 3},
    {"count not a number", "長さ.dat", "two\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n", FindingKind::CountUnreadable, -1, 1},
    {"count of zero", "長さ.dat", "0\n", FindingKind::EmptySeries, -1, 1},
    {"factor not a number", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",2x,0,1,1\n", FindingKind::NotANumber, 1, 3},
    {"offset not a number", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",2,zero,1,1\n", FindingKind::NotANumber, 1, 3},
    {"factor of zero", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",0,0,1,1\n", FindingKind::ZeroFactor, 1, 3},
    {"grouping flag -1", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",2,0,-1,1\n", FindingKind::BadFlag, 1, 3},
    {"exponent flag 2", "長さ.dat", "2\n\"a\",1,0,1,2\n\"b\",2,0,1,1\n", FindingKind::BadFlag, 0, 2},
    {"same name twice", "長さ.dat", "3\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n\"a\",3,0,1,1\n", FindingKind::DuplicateName, 2,
     4},
    {"empty name", "長さ.dat", "2\n\"a\",1,0,1,1\n\"\",2,0,1,1\n", FindingKind::EmptyName, 1, 3},
    {"unquoted name with a comma", "速度.dat",
     "3\n\"m/s\",1,0,1,1\nkm,h,0.27777777777777778,0,1,1\n\"ノット\",0.51444444444444444,0,1,1\n",
     FindingKind::CommaInName, 1, 3},
    {"radix missing in the run", "進数.dat", "3\n\"2進数\",2,0,0,0\n\"3進数\",3,0,0,0\n\"5進数\",5,0,0,0\n",
     FindingKind::RadixOrder, 2, 4},
    {"radices out of order", "進数.dat", "3\n\"2進数\",2,0,0,0\n\"4進数\",4,0,0,0\n\"3進数\",3,0,0,0\n",
     FindingKind::RadixOrder, 1, 3},
    {"radix not whole", "進数.dat", "2\n\"2進数\",2,0,0,0\n\"2.5進数\",2.5,0,0,0\n", FindingKind::RadixNotWhole, 1, 3},
    {"radix below two", "進数.dat", "1\n\"1進数\",1,0,0,0\n", FindingKind::RadixOutOfRange, 0, 2},
    {"NUL byte in a name", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\0c\",2,0,1,1\n"sv, FindingKind::NulByte, 1, 3},
    {"byte that is no character", "長さ.dat", "2\n\"a\",1,0,1,1\n\"\x82\xA0\x82\",2,0,1,1\n", FindingKind::InvalidBytes,
     1, 3, 1, true},
    {"escape sequence in a name", "長さ.dat", "1\n\"a\x1B]0;title\x07\",1,0,1,1\n", FindingKind::ControlCharacter, 0,
     2},
    {"factor too large for a double", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",1.8e308,0,1,1\n", FindingKind::OutOfRange, 1,
     3},
    {"factors whose ratio overflows", "長さ.dat", "2\n\"a\",1e200,0,1,1\n\"b\",1e-200,0,1,1\n",
     FindingKind::ValueOverflow, 1, 3},
    {"offset times factor overflows", "温度.dat", "1\n\"a\",1e300,-1e300,1,1\n", FindingKind::ValueOverflow, 0, 2},
    {"offsets whose difference overflows", "温度.dat", "2\n\"a\",1,1e308,1,1\n\"b\",1,-1e308,1,1\n",
     FindingKind::ValueOverflow, 0, 2},
    {"names apart by a zero-width space", "長さ.dat",
     "\xEF\xBB\xBF"
     "2\n\"m\",1,0,1,1\n\"m\xE2\x80\x8B\",2,0,1,1\n",
     FindingKind::InvisibleCharacters, 1, 3, 1, true},
    {"UTF-8 without its mark", "面積.dat", "2\n\"m\xC2\xB2\",1,0,1,1\n\"cm\xC2\xB2\",0.0001,0,1,1\n",
     FindingKind::Utf8WithoutMark, 0, 2, 1, true},
    {"unclosed quote in the last field", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b\",2,0,1,\"1\n", FindingKind::UnclosedQuote,
     1, 3},
    {"unclosed quote opens a record", "長さ.dat", "2\n\"a\",1,0,1,1\n\"b,2,0,1,1\n", FindingKind::UnclosedQuote, 1, 3,
     2},  // and the count is short of a record
    {"unclosed quote after the last record", "長さ.dat", "1\n\"a\",1,0,1,1\n\n\"b", FindingKind::UnclosedQuote, -1, 4,
     2},  // and the items after the count
    {"unclosed quote on the count", "長さ.dat", "\"1\n", FindingKind::UnclosedQuote, -1, 1,
     2},  // and the count is short of a record
    {"text after a closing quote", "長さ.dat", "1\n\"a\"b,1,0,1,1\n", FindingKind::TextAfterQuote, 0, 2},
    {"extension line inside the records", "燃費.dat", "2\n\"a\",1,0,1,1\n\"#逆数\",\"b\",100,0,0\n",
     FindingKind::ExtensionInRecords, 1, 3, 2},  // and "b" is no factor
    {"extension in the number-base series", "進数.dat", "1\n\"2進数\",2,0,0,0\n\"#別名\",\"2進数\",bin\n",
     FindingKind::ExtensionInNumberBase, -1, 3},
    {"keyword not known", "燃費.dat", "1\n\"a\",1,0,1,1\n\"#逆", FindingKind::UnknownKeyword, -1, 3,
     2},  // and its quote is not closed
    {"alias of no unit", "燃費.dat", "1\n\"a\",1,0,1,1\n\"#別名\",\"b\",c\n", FindingKind::ExtensionNamesNoUnit, -1, 3},
    {"reciprocal constant of 0", "燃費.dat", "1\n\"a\",1,0,1,1\n\"#逆数\",\"b\",0,0,0\n",
     FindingKind::ReciprocalConstant, -1, 3},
    {"reciprocal constant below 0", "燃費.dat", "1\n\"a\",1,0,1,1\n\"#逆数\",\"b\",-100,0,0\n",
     FindingKind::ReciprocalConstant, -1, 3},
    {"alias of two units", "燃費.dat", "2\n\"a\",1,0,1,1\n\"b\",2,0,1,1\n\"#別名\",a,x\n\"#別名\",b,y,x\n",
     FindingKind::SharedAlias, -1, 5},
    {"compound with an empty item is no finding", "長さ.dat",
     "2\n\"尺\",0.3,0,1,1\n\"寸\",0.03,0,1,1\n\"#併記\",\"尺・寸\",尺,,寸\n\"#併記\",\"寸・尺\",寸,尺\n",
     FindingKind::CompoundUnits, -1, 5},
    {"compound of a unit the file lacks", "長さ.dat",
     "2\n\"尺\",0.3,0,1,1\n\"寸\",0.03,0,1,1\n\"#併記\",\"尺・分\",尺,分\n", FindingKind::ExtensionNamesNoUnit, -1, 4},
    {"compound of a reciprocal unit", "燃費.dat", "1\n\"a\",1,0,1,1\n\"#逆数\",\"b\",100,0,0\n\"#併記\",\"a・b\",a,b\n",
     FindingKind::CompoundUnits, -1, 4},
    {"compound of one unit", "長さ.dat", "1\n\"尺\",0.3,0,1,1\n\"#併記\",\"尺だけ\",尺\n", FindingKind::CompoundUnits,
     -1, 3},
    {"compound smallest first", "長さ.dat", "2\n\"尺\",0.3,0,1,1\n\"寸\",0.03,0,1,1\n\"#併記\",\"寸・尺\",寸,尺\n",
     FindingKind::CompoundUnits, -1, 4},
    {"compound with a unit twice", "長さ.dat",
     "2\n\"尺\",0.3,0,1,1\n\"寸\",0.03,0,1,1\n\"#併記\",\"尺・寸・尺\",尺,寸,尺\n", FindingKind::CompoundUnits, -1, 4},
};

TEST(SeriesCheck, FindsEachPlantedFaultAtItsUnitAndLine)
{
    for (const Planted &p : kPlanted) {
        SCOPED_TRACE(p.label);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString fileName = QString::fromUtf8(p.fileName);
        const QString path = dir.filePath(fileName);
        if (p.bytes) {
            WriteBytes(path, p.content);
        } else {
            WriteCp932(path,
                       QString::fromUtf8(p.content.data(), qsizetype(p.content.size()))
                           .replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
        }

        const std::vector<CheckFinding> findings = CheckUnitsFolder(dir.path());
        ASSERT_EQ(findings.size(), p.findings) << Describe(findings);
        const auto found = std::find_if(findings.begin(), findings.end(),
                                        [&](const CheckFinding &f) { return f.kind == p.kind; });
        ASSERT_NE(found, findings.end()) << Describe(findings);
        const CheckFinding &f = *found;
        EXPECT_EQ(f.unit, p.unit) << Describe(findings);
        EXPECT_EQ(f.line, p.line) << Describe(findings);
        EXPECT_EQ(f.file, path);
        EXPECT_FALSE(f.message.isEmpty());
    }
}

// Control characters planted in a unit name (a UTF-8 file with its mark, so
// that any character can be written) and in the file name: each is found,
// and the printed finding shows it as an escape and holds none itself.
TEST(SeriesCheck, ControlCharactersAreFoundAndPrintedAsEscapes)
{
    struct Row {
        char16_t c;
        const char *escape;
        bool inName;      // planted in the unit name
        bool inFileName;  // planted in the file name
    };
    const Row rows[] = {
        {u'\x1B', "\\x1B", true, true},      // escape: colours, titles, erasing lines
        {u'\x07', "\\x07", true, true},      // bell, ends a title sequence
        {u'\x08', "\\x08", true, true},      // backspace
        {u'\x0B', "\\x0B", true, true},      // vertical tab
        {u'\x7F', "\\x7F", true, true},      // delete
        {u'\x9B', "\\x9B", true, true},      // C1 control sequence introducer
        {u'\u202E', "\\u202E", true, true},  // right-to-left override
        {u'\u2028', "\\u2028", true, true},  // line separator
        {u'\r', "\\x0D", false, true},       // a line end in a name returns the cursor
        {u'\n', "\\x0A", false, true},       // or starts a forged line
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.escape);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString c(QChar(row.c));
        const QString fileName = row.inFileName ? QStringLiteral("x%1y.dat").arg(c) : QStringLiteral("x.dat");
        const QString name = row.inName ? QStringLiteral("a%1b").arg(c) : QStringLiteral("ab");
        QFile file(dir.filePath(fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF"
                   "1\r\n\""
                   + name.toUtf8() + "\",1,0,1,1\r\n");
        file.close();

        const std::vector<CheckFinding> findings = CheckUnitsFolder(dir.path());
        ASSERT_EQ(findings.size(), size_t(row.inName) + size_t(row.inFileName)) << Describe(findings);
        for (const CheckFinding &f : findings) {
            EXPECT_EQ(f.kind, FindingKind::ControlCharacter);
            const QString printed = f.text();
            EXPECT_TRUE(printed.contains(QLatin1String(row.escape))) << printed.toStdString();
            EXPECT_FALSE(std::any_of(printed.begin(), printed.end(), IsEscapedCharacter)) << printed.toStdString();
        }
        if (row.inName) {
            EXPECT_EQ(findings.back().unit, 0);
            EXPECT_EQ(findings.back().line, 2);
        }
    }
}

// A crafted file cannot print a line of its own: whatever the names hold,
// each line of the output is one finding or the summary.
TEST(TovelCheckCommand, OutputHoldsNoControlCharacterFromAFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString forged = QStringLiteral("\x1B]0;title\x07\x1B[2K\r問題は見つかりませんでした (1 ファイル)。\x1B[8m");
    WriteCp932(dir.filePath(QStringLiteral("長さ%1.dat").arg(forged)),
               QStringLiteral("2\r\n\"%1\",1,0,1,1\r\n\"b\",0,0,1,1\r\n").arg(forged));
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    EXPECT_EQ(RunTovelCheck({dir.path()}, QString(), outStream, errStream), 1);
    // The file name, the name on each of its lines, the zero factor, the summary.
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 4) << out.toStdString();
    for (const QString &line : lines)
        EXPECT_FALSE(std::any_of(line.begin(), line.end(), IsEscapedCharacter)) << line.toStdString();
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith(dir.path())) << lines[i].toStdString();
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("%1 件の問題").arg(lines.size() - 1))) << out.toStdString();
}

// What stands in the units folder under a "*.dat" name but is no series
// file the program can load: the program leaves it out of the list (or
// lists a name it cannot open), the checker names it beside a sound file.
TEST(SeriesCheck, NamesWhatTheSeriesListSkips)
{
    struct Row {
        const char *label;
        QByteArray name;  // file name bytes
        std::function<bool(const QByteArray &path)> make;
        FindingKind kind;
        bool listed = false;  // the series list shows it (as a series without units)
    };
    // By its bytes: a name that is not text cannot pass through a QString.
    const auto writeFile = [](const QByteArray &path) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        const char content[] = "1\r\n\"a\",1,0,1,1\r\n";
        const bool written = fd >= 0 && ::write(fd, content, sizeof content - 1) == ssize_t(sizeof content - 1);
        return ::close(fd) == 0 && written;
    };
    const Row rows[] = {
        {"folder", "f.dat", [](const QByteArray &p) { return ::mkdir(p.constData(), 0700) == 0; },
         FindingKind::NotASeriesFile},
        {"named pipe", "p.dat", [](const QByteArray &p) { return ::mkfifo(p.constData(), 0600) == 0; },
         FindingKind::NotASeriesFile},
        {"dangling link", "d.dat", [](const QByteArray &p) { return ::symlink("missing", p.constData()) == 0; },
         FindingKind::NotASeriesFile},
        {"looping link", "l.dat", [](const QByteArray &p) { return ::symlink("l.dat", p.constData()) == 0; },
         FindingKind::NotASeriesFile},
        {"name that is not text", "n\xFF\xFE.dat", writeFile, FindingKind::FileNameNotText},
        {"upper-case ending", "F.DAT", [](const QByteArray &p) { return ::mkdir(p.constData(), 0700) == 0; },
         FindingKind::NotASeriesFile},
        {"link to a device", "v.dat", [](const QByteArray &p) { return ::symlink("/dev/null", p.constData()) == 0; },
         FindingKind::NotASeriesFile, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        WriteCp932(dir.filePath(QStringLiteral("長さ.dat")), QStringLiteral("1\r\n\"m\",1,0,1,1\r\n"));
        // Links point inside the folder: work there.
        const QByteArray folder = QFile::encodeName(dir.path());
        ASSERT_TRUE(row.make(folder + '/' + row.name));

        const std::vector<CheckFinding> findings = CheckUnitsFolder(dir.path());
        ASSERT_EQ(findings.size(), 1u) << Describe(findings);
        EXPECT_EQ(findings[0].kind, row.kind);
        EXPECT_EQ(findings[0].unit, -1);
        EXPECT_TRUE(findings[0].file.startsWith(dir.path())) << Describe(findings);
        const QString printed = findings[0].text();
        EXPECT_FALSE(std::any_of(printed.begin(), printed.end(), IsEscapedCharacter));
        // What the finding says the program does is what the series list does.
        const std::vector<SeriesEntry> series = BuildSeriesList(dir.path());
        EXPECT_EQ(series.size(), row.listed ? 2u : 1u);
        EXPECT_EQ(printed.contains(QStringLiteral("一覧に出します")), row.listed) << printed.toStdString();

        // Named on the command line, the same (a folder is checked as one).
        if (row.kind == FindingKind::NotASeriesFile && !QFileInfo(dir.filePath(row.name)).isDir()) {
            const std::vector<CheckFinding> direct = CheckPaths({QFile::decodeName(folder + '/' + row.name)});
            ASSERT_EQ(direct.size(), 1u) << Describe(direct);
            EXPECT_EQ(direct[0].kind, row.kind) << Describe(direct);
        }
        // QTemporaryDir removes by QString names, which miss a name that is not text.
        const QByteArray planted = folder + '/' + row.name;
        EXPECT_TRUE(::unlink(planted.constData()) == 0 || ::rmdir(planted.constData()) == 0);
    }
}

// However long a name or an item, a finding shows its first characters only.
TEST(SeriesCheck, LongNamesAndItemsAreShownShortened)
{
    const QString longText(100000, u'x');
    const QString files[] = {
        QStringLiteral("2\r\n\"%1\",0,0,1,1\r\n\"%1\",1,0,1,1\r\n").arg(longText),  // zero factor, same name
    };
    for (const QString &content : files) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        WriteCp932(dir.filePath(QStringLiteral("s.dat")), content);
        const std::vector<CheckFinding> findings = CheckUnitsFolder(dir.path());
        ASSERT_FALSE(findings.empty());
        for (const CheckFinding &f : findings) {
            const QString printed = f.text();
            EXPECT_LT(printed.size(), 3 * kShownCharacters) << printed.left(300).toStdString();
            EXPECT_TRUE(printed.contains(QStringLiteral("x…"))) << printed.left(300).toStdString();
        }
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
        // reciprocal units and aliases, the alias before its unit's line
        "1\n\"a\",1,0,0,0\n\n\"#別名\",\"b\",bb,\"b-b\"\n\"#逆数\",\"b\",1E2,1,1\n\"#別名\",a,aa\n",
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

    // Output that cannot be written fails the command, whatever was found.
    for (const QStringList &args : {QStringList{clean.path()}, QStringList{faulty.path()}}) {
        QFile full(QStringLiteral("/dev/full"));
        ASSERT_TRUE(full.open(QIODevice::WriteOnly));
        QString err;
        QTextStream outStream(&full), errStream(&err);
        EXPECT_EQ(RunTovelCheck(args, QString(), outStream, errStream), 2);
        EXPECT_FALSE(err.isEmpty());
    }
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

}  // namespace
