// Reading series files: the item reader, the record loop, decoding.
#include "catalogue/UnitFile.h"

#include "catalogue/Cp932.h"
#include "catalogue/SeriesText.h"
#include "catalogue/UnitRecord.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <clocale>
#include <iconv.h>
#include <limits>
#include <string>
#include <tuple>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

// Readable failure output.
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

struct Rec {
    QString name;
    double factor = 0;
    double offset = 0;
    int sep = 0;
    int exp = 0;
};

class UnitFileTest : public ::testing::Test {
protected:
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("s.dat"))
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }

    static void expectUnits(const UnitArray &units, const std::vector<Rec> &want)
    {
        ASSERT_EQ(units.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE("record " + std::to_string(i));
            EXPECT_EQ(units[i].UnitName, want[i].name);
            EXPECT_EQ(units[i].Factor, want[i].factor);
            EXPECT_EQ(units[i].Offset, want[i].offset);
            EXPECT_EQ(units[i].SeparatorOK, want[i].sep);
            EXPECT_EQ(units[i].ExponentOK, want[i].exp);
        }
    }

    QTemporaryDir m_dir;
};

// The file as UTF-8, converted by the system's converter.
QByteArray Utf8OfCp932(const QByteArray &cp932)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QByteArray();
    QByteArray out(cp932.size() * 3, '\0');
    char *in = const_cast<char *>(cp932.constData());
    size_t inLeft = static_cast<size_t>(cp932.size());
    char *o = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    const size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return QByteArray();
    out.truncate(o - out.data());
    return out;
}

std::vector<Rec> recs(const UnitArray &units)
{
    std::vector<Rec> out;
    for (const UnitRecord &u : units)
        out.push_back({u.UnitName, u.Factor, u.Offset, u.SeparatorOK, u.ExponentOK});
    return out;
}

const QByteArray kThree = "3\r\n"
                          "\"m\",1,0,1,1\r\n"
                          "\"km\",1000,0,1,1\r\n"
                          "\"mm\",0.001,0,0,0\r\n";
const std::vector<Rec> kThreeUnits = {{"m", 1, 0, 1, 1}, {"km", 1000, 0, 1, 1}, {"mm", 0.001, 0, 0, 0}};

struct LoadCase {
    const char *what;
    QByteArray bytes;
    int last;
    std::vector<Rec> units;
};

TEST_F(UnitFileTest, ItemsAndRecordsReadAsWritten)
{
    const std::vector<LoadCase> cases = {
        {"usual layout", kThree, 2, kThreeUnits},
        {"bare LF line ends", QByteArray(kThree).replace("\r\n", "\n"), 2, kThreeUnits},
        {"bare CR line ends", QByteArray(kThree).replace("\r\n", "\r"), 2, kThreeUnits},
        {"no line end at the end", kThree.chopped(2), 2, kThreeUnits},
        {"every item on a line of its own",
         "3\r\n\"m\"\r\n1\r\n0\r\n1\r\n1\r\n\"km\"\r\n1000\r\n0\r\n1\r\n1\r\n\"mm\"\r\n0.001\r\n0\r\n0\r\n0\r\n", 2,
         kThreeUnits},
        {"all on one line", "3,\"m\",1,0,1,1,\"km\",1000,0,1,1,\"mm\",0.001,0,0,0", 2, kThreeUnits},
        {"records split across lines anyhow", "3,\"m\"\r\n1,0,1\r\n1,\"km\",1000\r\n0,1,1,\"mm\",0.001,0\r\n0,0", 2,
         kThreeUnits},
        {"spaces around items", "  3  \r\n  \"m\"  ,  1 , 0 ,1,  1\r\n\t\"km\"\t,1000,0,1,1\r\n\"mm\",0.001,0,0,0", 2,
         kThreeUnits},
        {"lines past the count are not read", kThree + "\"cm\",0.01,0,1,1\r\nrubbish,,\"\r\n", 2, kThreeUnits},
        {"count 0", "0\r\n\"m\",1,0,1,1\r\n", -1, {}},
        {"fewer records than the count",
         "5\r\n\"m\",1,0,1,1\r\n\"km\",1000,0,1,1\r\n\"mm\",0.001,0,0,0\r\n",
         4,
         {kThreeUnits[0], kThreeUnits[1], kThreeUnits[2], {}, {}}},
        {"the file ends inside a record",
         "2\r\n\"m\",1,0,1,1\r\n\"km\",1000\r\n",
         1,
         {{"m", 1, 0, 1, 1}, {"km", 1000, 0, 0, 0}}},
        {"quoted name holds commas", "1\r\n\"a, b,c\",2,0,1,1\r\n", 0, {{"a, b,c", 2, 0, 1, 1}}},
        {"quoted name keeps its inner and outer spaces", "1\r\n\" a b \",2,0,1,1\r\n", 0, {{" a b ", 2, 0, 1, 1}}},
        {"blanks after the closing mark are ignored", "1\r\n\"m\"  \t,2,0,1,1\r\n", 0, {{"m", 2, 0, 1, 1}}},
        {"text after the closing mark is ignored", "1\r\n\"m\" (metre),2,0,1,1\r\n", 0, {{"m", 2, 0, 1, 1}}},
        {"a quoted name runs over line ends", "1\r\n\"a\r\nb\",2,0,1,1\r\n", 0, {{"a\r\nb", 2, 0, 1, 1}}},
        {"unclosed quotation mark runs to the end",
         "2\r\n\"m\",1,0,1,1\r\n\"km,1000,0,1,1\r\n",
         1,
         {{"m", 1, 0, 1, 1}, {"km,1000,0,1,1\r\n", 0, 0, 0, 0}}},
        {"unquoted name without trailing blanks", "1\r\n  metre (SI)  ,2,0,1,1\r\n", 0, {{"metre (SI)", 2, 0, 1, 1}}},
        {"a quote inside an unquoted name is a character", "1\r\nin\"ch,2,0,1,1\r\n", 0, {{"in\"ch", 2, 0, 1, 1}}},
        {"unquoted comma shifts every later item",
         "2\r\nm,x,1,0,1,1\r\n\"km\",1000,0,1,1\r\n",
         1,
         {{"m", 0, 1, 0, 1}, {"1", 0, 1000, 0, 1}}},
        {"empty items give empty text and 0", "2\r\n,,,,\r\n\"km\",1000,0,1,1\r\n", 1, {{}, {"km", 1000, 0, 1, 1}}},
        {"an empty line is one empty item", "1\r\n\r\n5,0,1,1\r\n", 0, {{"", 5, 0, 1, 1}}},
        {"a line of blanks is one empty item", "1\r\n   \r\n5,0,1,1\r\n", 0, {{"", 5, 0, 1, 1}}},
        {"a comma before a line end leaves an empty item", "1\r\n\"m\",\r\n5,0,1,1\r\n", 0, {{"m", 0, 5, 0, 1}}},
        {"the number-base series",
         "3\r\n\"2進数\",2,0,0,0\r\n\"10進数\",10,0,1,0\r\n\"16進数\",16,0,0,0\r\n",
         2,
         {{"2進数", 2, 0, 0, 0}, {"10進数", 10, 0, 1, 0}, {"16進数", 16, 0, 0, 0}}},
        {"quoted count", "\"1\"\r\n\"m\",1,0,1,1\r\n", 0, {{"m", 1, 0, 1, 1}}},
        {"count with a whole-valued decimal part", "1.0\r\n\"m\",1,0,1,1\r\n", 0, {{"m", 1, 0, 1, 1}}},
        {"the largest count", "32767\r\n", 32766, std::vector<Rec>(32767)},
    };
    for (const LoadCase &c : cases) {
        SCOPED_TRACE(c.what);
        UnitArray units;
        EXPECT_EQ(LoadUnitFile(write(c.bytes), units), c.last);
        expectUnits(units, c.units);
    }
}

TEST_F(UnitFileTest, NumberFieldsReadDecimalNotationOnly)
{
    struct Case {
        const char *item;
        double value;
    };
    const std::vector<Case> cases = {
        {"1E-3", 0.001},
        {"1e-3", 0.001},
        {"1E+3", 1000},
        {"1e3", 1000},
        {"2.54", 2.54},
        {"-273.15", -273.15},
        {"+5", 5},
        {".5", 0.5},
        {"5.", 5},
        {"-.5e-1", -0.05},
        {"1.7976931348623157E308", 1.7976931348623157e308},
        {"4.9E-324", 4.9e-324},
        {"  7  ", 7},
        {"\" 7 \"", 7},
        // Not a number: 0.
        {"abc", 0},
        {"12abc", 0},
        {"1 2", 0},
        {"1.2.3", 0},
        {"1e", 0},
        {"1e+", 0},
        {"e5", 0},
        {".", 0},
        {"-", 0},
        {"+-1", 0},
        {"0x10", 0},
        {"&H10", 0},
        {"inf", 0},
        {"nan", 0},
        {"1d3", 0},
        {"(5)", 0},
        {"$5", 0},
        {"１", 0},
        {"\"\"", 0},
        // Beyond the range of a double: 0.
        {"1E400", 0},
        {"-1e400", 0},
        {"1e-400", 0},
        {"1e99999999999999999999", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.item);
        UnitArray units;
        // The factor is the item under test; the offset and flags after it
        // must still read.
        const QByteArray file = QByteArray("1\r\n\"u\",") + c.item + ",3,1,1\r\n";
        ASSERT_EQ(LoadUnitFile(write(file), units), 0);
        EXPECT_EQ(units[0].Factor, c.value);
        EXPECT_EQ(units[0].Offset, 3);
        EXPECT_EQ(units[0].SeparatorOK, 1);
        EXPECT_EQ(units[0].ExponentOK, 1);
    }
}

TEST_F(UnitFileTest, FlagsAre16BitAndOnlyAsWritten)
{
    struct Case {
        const char *item;
        int value;
    };
    const std::vector<Case> cases = {
        {"1", 1},      {"0", 0},       {"-1", -1},         {"2", 2},     {"32767", 32767}, {"-32768", -32768},
        {"1.4", 1},    {"0.5", 0},     {"1.5", 2},         {"2.5", 2},   {"1E0", 1},       {"32768", 0},
        {"-32769", 0}, {"32767.5", 0}, {"99999999999", 0}, {"1e400", 0}, {"yes", 0},       {"", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.item);
        UnitArray units;
        const QByteArray file = QByteArray("2\r\n\"u\",2,3,") + c.item + "," + c.item + "\r\n\"v\",4,5,1,1\r\n";
        ASSERT_EQ(LoadUnitFile(write(file), units), 1);
        EXPECT_EQ(units[0].SeparatorOK, c.value);
        EXPECT_EQ(units[0].ExponentOK, c.value);
        expectUnits({units[1]}, {{"v", 4, 5, 1, 1}});
    }
}

TEST_F(UnitFileTest, CountsThatYieldNoUnit)
{
    const std::vector<QByteArray> firstItems = {
        "0", "-1", "-32768", "32768", "40000", "1e10", "1e400", "abc", "3x", "", "\"\"", "0.4",
    };
    for (const QByteArray &first : firstItems) {
        SCOPED_TRACE(first.toStdString());
        UnitArray units = {UnitRecord{"old", 1, 0, 1, 1}};
        EXPECT_EQ(LoadUnitFile(write(first + "\r\n\"m\",1,0,1,1\r\n"), units), -1);
        EXPECT_TRUE(units.empty());
    }
}

TEST_F(UnitFileTest, FilesThatCannotBeReadYieldNoUnit)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.dat"));
    const QString fifo = m_dir.filePath("pipe.dat");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    const std::vector<QString> paths = {
        m_dir.filePath("missing.dat"), m_dir.filePath("folder.dat"),         fifo,
        write("", "empty.dat"),        write("\r\n\r\n  \r\n", "blank.dat"), QString(),
    };
    for (const QString &path : paths) {
        SCOPED_TRACE(path.toStdString());
        UnitArray units(3);
        EXPECT_EQ(LoadUnitFile(path, units), -1);
        EXPECT_TRUE(units.empty());
    }
}

TEST_F(UnitFileTest, UnreadableFileYieldsNoUnit)
{
    const QString unreadable = write(kThree, "locked.dat");
    QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
    if (QFile(unreadable).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "permissions are not enforced here (running as root)";
    UnitArray units(3);
    EXPECT_EQ(LoadUnitFile(unreadable, units), -1);
    EXPECT_TRUE(units.empty());
}

TEST_F(UnitFileTest, EachLoadReplacesThePreviousSeries)
{
    UnitArray units;
    ASSERT_EQ(LoadUnitFile(write(kThree, "a.dat"), units), 2);
    ASSERT_EQ(LoadUnitFile(write("1\r\n\"in\",0.0254,0,0,0\r\n", "b.dat"), units), 0);
    expectUnits(units, {{"in", 0.0254, 0, 0, 0}});
    ASSERT_EQ(LoadUnitFile(write("2\r\n", "c.dat"), units), 1);
    expectUnits(units, {{}, {}});
    ASSERT_EQ(LoadUnitFile(m_dir.filePath("none.dat"), units), -1);
    EXPECT_TRUE(units.empty());
}

TEST_F(UnitFileTest, DecimalPointIsAPeriodWhateverTheLocale)
{
    // Qt's default locale always switches; the C library's only where a
    // locale with a decimal comma is installed.
    const QLocale previousQt;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char *const previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name))
            break;
    }
    UnitArray units;
    const qint16 last = LoadUnitFile(write("1\r\n\"in\",2.54E-2,1.5,0,0\r\n"), units);
    std::setlocale(LC_NUMERIC, saved.c_str());
    QLocale::setDefault(previousQt);
    ASSERT_EQ(last, 0);
    expectUnits(units, {{"in", 0.0254, 1.5, 0, 0}});
}

// ---------------------------------------------------------------------------
// Decoding

struct DecodeCase {
    const char *what;
    QByteArray bytes;
    QString text;
};

TEST(DecodeSeriesText, Cp932AndUtf8)
{
    const QString r = QString(QChar(0xFFFD));
    const std::vector<DecodeCase> cases = {
        {"ASCII", "3,\"m\"\r\n", "3,\"m\"\r\n"},
        {"CP932 katakana and kanji", "\x83\x81\x81\x5B\x83\x67\x83\x8B \x90\x69\x90\x94", u"メートル 進数"_s},
        {"0x5C as a trail byte is no backslash", "\x95\x5C\x83\x5C", u"表ソ"_s},
        {"0x5C and 0x7E alone stay backslash and tilde", "a\\b~", "a\\b~"},
        {"NEC and IBM extensions", "\x87\x40\xFA\x40", u"①ⅰ"_s},
        {"half-width katakana", "\xB1\xDF", u"ｱﾟ"_s},
        {"0x1A is a character", "\x1A", QString(QChar(0x1A))},
        {"invalid single bytes",
         "a\x80"
         "b\xA0\xFD\xFE\xFF",
         "a" + r + "b" + r + r + r + r},
        {"a lead byte before a comma keeps the comma", "\x90\x69\x81,1", u"進"_s + r + ",1"},
        {"a lead byte before a quotation mark keeps it", "\"\x81\"", "\"" + r + "\""},
        {"a lead byte at the very end", "\x90\x69\x90", u"進"_s + r},
        {"UTF-8 without a mark", "\xE9\x80\xB2\xE6\x95\xB0", u"進数"_s},
        {"UTF-8 with a mark", "\xEF\xBB\xBF\xE9\x80\xB2\xE6\x95\xB0,1", u"進数,1"_s},
        {"UTF-8 mark with broken sequences",
         "\xEF\xBB\xBF"
         "a\xFF"
         "b\xE9\x80",
         "a" + r + "b" + r + r},
        {"not valid UTF-8 throughout: CP932", "\xE9\x80\xB2\x90\x69", u"騾ｲ進"_s},
        // Half-width katakana pairs that are also valid UTF-8 read as CP932.
        {"CP932 ﾄｱ, in UTF-8 a dotless i", "\"\xC4\xB1\"", u"\"ﾄｱ\""_s},
        {"CP932 ﾂｰ, in UTF-8 a degree sign", "\xC2\xB0", u"ﾂｰ"_s},
        {"CP932 ﾎｩ, in UTF-8 an omega", "k\xCE\xA9", u"kﾎｩ"_s},
        {"UTF-8 symbols of units", "\xE2\x84\x83,\xE2\x85\xA3,\xC2\xB5m,\xE3\x8E\xA1", u"℃,Ⅳ,µm,㎡"_s},
        {"UTF-8 with a stray byte costs one character",
         "\"\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\x88\xE3\x83\xAB\",\"\xE5\xB0\xBA\xFF\"",
         u"\"メートル\",\"尺"_s + r + "\""},
        {"CP932 with a stray byte costs one character", "\"\x83\x81\x81\x5B\x83\x67\x83\x8B\xFF\"",
         u"\"メートル"_s + r + "\""},
        {"CP932 kana that are not UTF-8", "\x82\xA0\x83\x41", u"あア"_s},
        {"NUL bytes", QByteArray("a\0b", 3), QString("a") + QChar(0) + "b"},
        {"nothing", "", ""},
    };
    for (const DecodeCase &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DecodeSeriesText(c.bytes), c.text);
        // Read in pieces, as tovelcheck reads a large file: characters cut
        // between pieces read the same.
        for (qsizetype piece = 1; piece <= 4; ++piece) {
            const auto pieceAt = [&](qsizetype i) {
                return QByteArrayView(c.bytes).sliced(i, std::min(piece, c.bytes.size() - i));
            };
            SeriesEncodingWeigher weigher;
            for (qsizetype i = 0; i < c.bytes.size(); i += piece)
                weigher.add(pieceAt(i));
            SeriesTextDecoder decoder(weigher.finish());
            QString text;
            for (qsizetype i = 0; i < c.bytes.size(); i += piece)
                decoder.add(pieceAt(i), text);
            decoder.finish(text);
            EXPECT_EQ(text, c.text) << "pieces of " << piece;
        }
    }
}

// Large files, where the loader weighs the reading that leads over the first
// 64 KiB whole and the other only while it can still win: the text is what
// weighing both readings whole gives, whichever way the file leans where.
TEST(DecodeSeriesText, LargeFilesReadAsBothReadingsWeighedWhole)
{
    const QByteArray utf8Kanji = "\xE5\x8D\x98\xE4\xBD\x8D";  // 単位
    const QByteArray cp932Kanji = "\x92\x50\x88\xCA";         // 単位
    const QByteArray halfWidth = "\xC4\xB1\xC2\xB0";          // ﾄｱﾂｰ, also valid UTF-8
    const auto times = [](const QByteArray &bytes, int n) { return bytes.repeated(n); };
    const std::vector<std::pair<const char *, QByteArray>> files = {
        {"UTF-8 throughout", times("\"" + utf8Kanji + "\",1,0,1,1\r\n", 20000)},
        {"CP932 throughout", times("\"" + cp932Kanji + "\",1,0,1,1\r\n", 20000)},
        {"UTF-8 first, more CP932 after", times(utf8Kanji, 12000) + times(cp932Kanji, 40000)},
        {"CP932 first, more UTF-8 after", times(cp932Kanji, 20000) + times(utf8Kanji, 30000)},
        {"UTF-8 first, a little CP932 after", times(utf8Kanji, 30000) + times(cp932Kanji, 100)},
        {"half-width CP932 that is UTF-8, then ASCII", times(halfWidth, 20000) + times("1,0,1,1\r\n", 30000)},
        {"ASCII, then one Japanese name at the end", times("1,0,1,1\r\n", 30000) + cp932Kanji},
        {"a lead byte cut at each block end", times("a" + cp932Kanji, 40000)},
    };
    for (const auto &[what, bytes] : files) {
        SCOPED_TRACE(what);
        SeriesEncodingWeigher weigher;
        weigher.add(bytes);
        const SeriesEncodingChoice choice = weigher.finish();
        EXPECT_EQ(ChooseSeriesEncoding(bytes), choice.encoding);
        SeriesTextDecoder decoder(choice);
        QString want;
        decoder.add(bytes, want);
        decoder.finish(want);
        EXPECT_TRUE(DecodeSeriesText(bytes) == want);
    }
}

// What the lists, the finder and the title show of a name: a name of 30 MiB
// is cut (laid out whole on every paint, it froze the window).
TEST(ShownName, LongNamesAreCut)
{
    const QString limit(kShownNameLength, u'm');
    const QString ellipsis = u"…"_s;
    const QString clef = u"𝄞"_s;  // two UTF-16 units
    const std::vector<std::tuple<const char *, QString, QString>> cases = {
        {"short", u"メートル"_s, u"メートル"_s},
        {"as long as is shown", limit, limit},
        {"one longer", limit + u"m"_s, limit.first(kShownNameLength - 1) + ellipsis},
        {"30 MiB", QString(30 << 20, u'尺'), QString(kShownNameLength - 1, u'尺') + ellipsis},
        {"a pair not split", limit.first(kShownNameLength - 2) + clef + u"m"_s,
         limit.first(kShownNameLength - 2) + ellipsis},
    };
    for (const auto &[what, name, shown] : cases)
        EXPECT_EQ(ShownName(name), shown) << what;
}

// The table compiled into the program decodes every byte and every pair of
// bytes as the system's CP932 converter does.
TEST(Cp932Table, AgreesWithTheSystemConverter)
{
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        GTEST_SKIP() << "no CP932 converter";
    const auto system = [cd](QByteArray bytes) -> char16_t {
        char *in = bytes.data();
        size_t inLeft = static_cast<size_t>(bytes.size());
        unsigned char out[8] = {};
        char *o = reinterpret_cast<char *>(out);
        size_t outLeft = sizeof out;
        const size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (rc == static_cast<size_t>(-1) || inLeft != 0 || outLeft != sizeof out - 2)
            return 0;
        return static_cast<char16_t>(out[0] | out[1] << 8);
    };
    int characters = 0;
    for (int first = 0; first < 0x100; ++first) {
        const auto b = static_cast<unsigned char>(first);
        const char16_t alone = Cp932Single(b);
        EXPECT_EQ(alone, IsCp932LeadByte(b) ? 0 : system(QByteArray(1, char(b)))) << std::hex << first;
        if (alone != 0)
            ++characters;
        for (int second = 0; second < 0x100 && IsCp932LeadByte(b); ++second) {
            const char16_t pair = Cp932Pair(b, static_cast<unsigned char>(second));
            // Below 0x40 no byte is a trail byte: the two bytes are two characters.
            const char16_t want = second < 0x40 ? 0 : system(QByteArray(1, char(b)) + char(second));
            EXPECT_EQ(pair, want) << std::hex << first << " " << second;
            if (pair != 0)
                ++characters;
        }
    }
    iconv_close(cd);
    EXPECT_GT(characters, 9000);
}

TEST_F(UnitFileTest, Cp932AndUtf8FilesGiveTheSameSeries)
{
    const QString utf8Text = u"2\r\n\"メートル\",1,0,1,1\r\n\"尺\",0.30303,0,1,1\r\n"_s;
    const std::vector<Rec> want = {{u"メートル"_s, 1, 0, 1, 1}, {u"尺"_s, 0.30303, 0, 1, 1}};
    const QByteArray cp932 = "2\r\n\"\x83\x81\x81\x5B\x83\x67\x83\x8B\",1,0,1,1\r\n\"\x8E\xDA\",0.30303,0,1,1\r\n";
    const std::vector<std::pair<const char *, QByteArray>> files = {
        {"CP932", cp932},
        {"CP932 with LF", QByteArray(cp932).replace("\r\n", "\n")},
        {"UTF-8", utf8Text.toUtf8()},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + utf8Text.toUtf8()},
        {"UTF-8 with LF", utf8Text.toUtf8().replace("\r\n", "\n")},
    };
    for (const auto &[what, bytes] : files) {
        SCOPED_TRACE(what);
        UnitArray units;
        EXPECT_EQ(LoadUnitFile(write(bytes), units), 1);
        expectUnits(units, want);
    }
}

// Every name of two half-width katakana in CP932: many of them (ﾄｱ is C4 B1)
// are also valid UTF-8, but read as written.
TEST(DecodeSeriesText, EveryTwoLetterHalfWidthKatakanaNameReadsAsCp932)
{
    int names = 0;
    for (int first = 0xA1; first <= 0xDF; ++first) {
        for (int second = 0xA1; second <= 0xDF; ++second) {
            const QByteArray name = QByteArray(1, static_cast<char>(first)) + static_cast<char>(second);
            const QString want = QString(QChar(0xFF61 + first - 0xA1)) + QChar(0xFF61 + second - 0xA1);
            // The loader's reading without the file: 3,969 files take long.
            const UnitArray units = ParseSeriesText(DecodeSeriesText("1\r\n\"" + name + "\",1,0,1,1\r\n")).units;
            ASSERT_EQ(units.size(), 1u);
            EXPECT_EQ(units[0].UnitName, want) << std::hex << first << " " << second;
            ++names;
        }
    }
    EXPECT_EQ(names, 3969);
}

// Every shipped series file reads as written, and so does a UTF-8 copy of
// it, with or without a byte-order mark; a stray byte in the copy spoils the
// one name it falls in and no other.
TEST_F(UnitFileTest, ShippedFilesAndTheirUtf8CopiesReadAsWritten)
{
    const QDir units(QStringLiteral(TOVEL_SOURCE_DIR "/units"));
    const QStringList files = units.entryList({u"*.dat"_s}, QDir::Files);
    ASSERT_GE(files.size(), 20);
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        QFile f(units.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray cp932 = f.readAll();
        const QByteArray utf8 = Utf8OfCp932(cp932);
        ASSERT_FALSE(utf8.isEmpty());
        ASSERT_NE(utf8, cp932);  // Japanese names in every file
        // The counted units, then the reciprocal ones that follow them.
        const UnitFileContents parsed = ParseSeriesText(QString::fromUtf8(utf8));
        UnitArray want = parsed.units;
        want.insert(want.end(), parsed.reciprocalUnits.begin(), parsed.reciprocalUnits.end());
        ASSERT_FALSE(want.empty());

        UnitArray got;
        LoadUnitFile(units.filePath(file), got);
        expectUnits(got, recs(want));
        LoadUnitFile(write(utf8), got);
        expectUnits(got, recs(want));
        LoadUnitFile(write("\xEF\xBB\xBF" + utf8), got);
        expectUnits(got, recs(want));

        // A stray byte inside the first Japanese name, and one that splits
        // the first character of the last record's name (lines after the
        // records name no unit of their own).
        const qsizetype firstName = utf8.indexOf('"') + 1;
        qsizetype lastName = 0;
        for (size_t record = 0; record < parsed.units.size(); ++record)
            lastName = utf8.indexOf("\r\n", lastName) + 2;
        ++lastName;
        for (const auto &[at, stray] : {std::pair{firstName, '\xFF'}, std::pair{lastName + 1, '\x80'}}) {
            QByteArray spoilt = utf8;
            spoilt.insert(at, stray);
            LoadUnitFile(write(spoilt), got);
            ASSERT_EQ(got.size(), want.size());
            int spoiltNames = 0;
            for (size_t i = 0; i < want.size(); ++i) {
                if (got[i].UnitName.contains(QChar(0xFFFD)))
                    ++spoiltNames;
                else
                    EXPECT_EQ(got[i].UnitName, want[i].UnitName);
            }
            EXPECT_EQ(spoiltNames, 1);
        }
    }
}

// Any one kana or kanji in UTF-8 outweighs what its bytes spell in CP932.
TEST_F(UnitFileTest, EveryKanaAndKanjiInUtf8ReadsAsUtf8)
{
    for (char32_t c = 0x3041; c <= 0x9FFF; ++c) {
        if (c == 0x3100)
            c = 0x4E00;  // from the kana to the kanji
        const QString name = QString::fromUcs4(&c, 1);
        const QString text = u"1\r\n\""_s + name + u"\",1,0,1,1\r\n"_s;
        ASSERT_EQ(DecodeSeriesText(text.toUtf8()), text) << std::hex << static_cast<unsigned>(c);
    }
}

// A file larger than any series can be is refused unread, as an unreadable
// one is; one byte less is read.
TEST_F(UnitFileTest, FilesBeyondTheLargestSeriesAreRefused)
{
    for (const qint64 size : {kMaxSeriesFileBytes + 1, qint64(512) * 1024 * 1024}) {
        SCOPED_TRACE(size);
        const QString path = write(kThree, "large.dat");
        ASSERT_TRUE(QFile::resize(path, size));  // a sparse file: quick to make
        UnitArray units(3);
        EXPECT_EQ(LoadUnitFile(path, units), -1);
        EXPECT_TRUE(units.empty());
        QString text;
        EXPECT_FALSE(ReadSeriesFileText(path, &text));
        EXPECT_FALSE(ReadUnitFile(path).opened);
    }
    const QString path = write(kThree, "large.dat");
    ASSERT_TRUE(QFile::resize(path, kMaxSeriesFileBytes));
    UnitArray units;
    EXPECT_EQ(LoadUnitFile(path, units), 2);
    expectUnits(units, kThreeUnits);
}

// ---------------------------------------------------------------------------
// What the checker learns

TEST(ParseSeriesText, ReportsHowTheFileRead)
{
    struct Case {
        const char *what;
        QString text;
        bool countRead;
        long long declared;
        int present;
        bool trailing;
    };
    const std::vector<Case> cases = {
        {"complete", "2\r\nm,1,0,1,1\r\nk,2,0,1,1\r\n", true, 2, 2, false},
        {"trailing blank lines are not items", "1\r\nm,1,0,1,1\r\n\r\n  \r\n", true, 1, 1, false},
        {"extra record", "1\r\nm,1,0,1,1\r\nk,2,0,1,1\r\n", true, 1, 1, true},
        {"short", "3\r\nm,1,0,1,1\r\nk,2\r\n", true, 3, 1, false},
        {"negative count", "-2\r\nm,1,0,1,1\r\n", true, -2, 0, false},
        {"count beyond 16 bits", "40000\r\n", false, 40000, 0, false},
        {"count not a number", "abc\r\n", false, 0, 0, false},
        {"count beyond a double", "1e400\r\n", false, std::numeric_limits<long long>::max(), 0, false},
        {"count below a double", "-1e400\r\n", false, std::numeric_limits<long long>::min(), 0, false},
        {"count too small for a double", "1e-400\r\n", false, 0, 0, false},
        {"count rounded", "2.5\r\nm,1,0,1,1\r\nk,2,0,1,1\r\n", true, 2, 2, false},
        {"empty file", "", false, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const UnitFileContents r = ParseSeriesText(c.text);
        EXPECT_TRUE(r.opened);
        EXPECT_EQ(r.countRead, c.countRead);
        EXPECT_EQ(r.declaredCount, c.declared);
        EXPECT_EQ(r.recordsPresent, c.present);
        EXPECT_EQ(r.trailingItems, c.trailing);
    }
}

TEST(ParseSeriesText, ReportsFieldsThatDidNotReadCleanly)
{
    const UnitFileContents r = ParseSeriesText("3\r\n"
                                               "\"m\" x,abc,0,99999,1\r\n"
                                               "\"k\",1e400,,1,\"1\"\r\n"
                                               "\"open,1,0,1,1\r\n");
    struct Want {
        int record;
        int field;
        const char *itemText;
        FieldIssue::Kind kind;
    };
    const std::vector<Want> want = {
        {0, 0, "\"m\" x", FieldIssue::TextAfterQuote},
        {0, 1, "abc", FieldIssue::NotANumber},
        {0, 3, "99999", FieldIssue::OutOfRange},
        {1, 1, "1e400", FieldIssue::OutOfRange},
        {2, 0, "\"open,1,0,1,1\r\n", FieldIssue::UnclosedQuote},
    };
    ASSERT_EQ(r.issues.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.issues[i].record, want[i].record);
        EXPECT_EQ(r.issues[i].field, want[i].field);
        EXPECT_EQ(r.issues[i].itemText, QString::fromUtf8(want[i].itemText));
        EXPECT_EQ(r.issues[i].kind, want[i].kind);
    }
    EXPECT_EQ(r.units[1].ExponentOK, 1);
}

TEST(ReadUnitFile, MissingFileIsNotOpened)
{
    const UnitFileContents r = ReadUnitFile(QStringLiteral("/nonexistent/dir/x.dat"));
    EXPECT_FALSE(r.opened);
    EXPECT_TRUE(r.units.empty());
}

// The checker places its findings by these items: they must be the very
// items the loader reads, with the line each starts on.
TEST(ScanSeriesItems, SplitsLikeTheLoaderAndKnowsTheLines)
{
    const QString text = QStringLiteral("2,\r\n\"a,b\" ,1\n\"c\r\nd\",2\r\r\n\tx");
    struct Want {
        const char *text;
        bool quoted;
        int line;
    };
    const Want want[] = {{"2", false, 1},     {"", false, 1},  {"a,b", true, 2}, {"1", false, 2},
                         {"c\r\nd", true, 3}, {"2", false, 4}, {"", false, 5},   {"x", false, 6}};
    const std::vector<SeriesItem> items = ScanSeriesItems(text);
    ASSERT_EQ(items.size(), std::size(want));
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(items[i].text, QString::fromUtf8(want[i].text));
        EXPECT_EQ(items[i].quoted, want[i].quoted);
        EXPECT_EQ(items[i].line, want[i].line);
    }
    // The same items from the text in pieces (a CR LF cut in two included).
    for (qsizetype piece = 1; piece <= 3; ++piece) {
        SeriesItemReader reader;
        std::vector<SeriesItem> read;
        qsizetype given = 0;
        for (SeriesItemView item;;) {
            const SeriesItemReader::Step step = reader.next(item);
            if (step == SeriesItemReader::End)
                break;
            if (step == SeriesItemReader::Item) {
                read.push_back({item.value.toString(), item.raw.startsWith(u'"'), item.line});
            } else if (given < text.size()) {
                reader.append(QStringView(text).sliced(given, std::min(piece, text.size() - given)));
                given += piece;
            } else {
                reader.finish();
            }
        }
        ASSERT_EQ(read.size(), items.size()) << "pieces of " << piece;
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(read[i].text, items[i].text);
            EXPECT_EQ(read[i].line, items[i].line);
            EXPECT_EQ(read[i].quoted, items[i].quoted);
        }
    }
    // The loader reads the same items: the empty one after "2," is the name.
    const UnitFileContents r = ParseSeriesText(text);
    ASSERT_EQ(r.units.size(), 2u);
    EXPECT_EQ(r.units[0].UnitName, QString());
    EXPECT_EQ(r.units[0].Factor, 0.0);  // "a,b" is no number
    EXPECT_EQ(r.units[0].Offset, 1.0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Reciprocal units and aliases after the counted records

namespace {

struct Loaded {
    const char *name;
    double factor;
    bool reciprocal;
    int sep;
    int exp;
    QStringList aliases;
};

}  // namespace

TEST_F(UnitFileTest, ExtensionLinesAddReciprocalUnitsAndAliases)
{
    const QByteArray records = "2\r\n"
                               "\"km/L\",0.001,0,1,1\r\n"
                               "\"m/L\",1,0,0,0\r\n";
    struct Case {
        const char *what;
        QByteArray extension;  // the lines after the records
        std::vector<Loaded> units;
        bool trailing;
    };
    const Loaded kmL{"km/L", 0.001, false, 1, 1, {}};
    const Loaded mL{"m/L", 1, false, 0, 0, {}};
    const std::vector<Case> cases = {
        {"none", "", {kmL, mL}, false},
        {"reciprocal after the counted units",
         "\"#逆数\",\"L/100km\",100000,1,0\r\n\"#逆数\",x,2\r\n",
         {kmL, mL, {"L/100km", 100000, true, 1, 0, {}}, {"x", 2, true, 0, 0, {}}},
         false},
        {"aliases of counted and reciprocal units, even before their line",
         "\"#別名\",\"L/100km\",l100\r\n\"#別名\",\"km/L\",kpl,\"km/l\",kpl,,km/L\r\n"
         "\"#逆数\",\"L/100km\",100000,0,0\r\n\"#別名\",\"L/100km\",\"ℓ/100km\"\r\n",
         {{"km/L", 0.001, false, 1, 1, {"kpl", "km/l"}}, mL, {"L/100km", 100000, true, 0, 0, {"l100", "ℓ/100km"}}},
         false},
        {"unknown keyword, unknown unit and nameless reciprocal are ignored",
         "\"#新\",a,b\r\n\"#別名\",nowhere,n\r\n\"#逆数\",,5,0,0\r\n\r\n",
         {kmL, mL},
         false},
        {"a line end ends the line, a quoted comma does not",
         "\"#逆数\",\"a,b\",4\r\n1,0\r\n",
         {kmL, mL, {"a,b", 4, true, 0, 0, {}}},
         true},
        {"other items stay unread", "junk\r\n\"#逆数\",r,3,0,0\r\n", {kmL, mL, {"r", 3, true, 0, 0, {}}}, true},
        {"unquoted keyword is an item like any other", "#逆数,r,3,0,0\r\n", {kmL, mL}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString text = QString::fromUtf8(records + c.extension);
        // What a reader of the records alone gets: exactly the counted units.
        const UnitFileContents plain = ParseSeriesText(text, SeriesExtension::Skip);
        expectUnits(plain.units, recs(ParseSeriesText(QString::fromUtf8(records)).units));
        EXPECT_TRUE(plain.reciprocalUnits.empty());
        EXPECT_EQ(plain.trailingItems, c.trailing);

        UnitArray units;
        ASSERT_EQ(LoadUnitFile(write(records + c.extension), units), int(c.units.size()) - 1);
        for (size_t i = 0; i < c.units.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(units[i].UnitName, QString::fromUtf8(c.units[i].name));
            EXPECT_EQ(units[i].Factor, c.units[i].factor);
            EXPECT_EQ(units[i].Offset, 0.0);
            EXPECT_EQ(units[i].Reciprocal, c.units[i].reciprocal);
            EXPECT_EQ(units[i].SeparatorOK, c.units[i].sep);
            EXPECT_EQ(units[i].ExponentOK, c.units[i].exp);
            EXPECT_EQ(units[i].Aliases, c.units[i].aliases);
        }
        // The number-base series reads no extension.
        ASSERT_EQ(LoadUnitFile(write(records + c.extension, u"進数.dat"_s), units), 1);
    }

    // A line of millions of empty or repeated items keeps only what it says.
    for (const char *keyword : {"\"#別名\",\"km/L\",kpl", "\"#逆数\",r,3,0,0", "\"#新\",a"}) {
        SCOPED_TRACE(keyword);
        const QByteArray padded = records + keyword + QByteArray(2'000'000, ',')
            + QByteArray(2'000'000, ',').replace(",", ",kpl");
        const UnitFileContents contents = ParseSeriesText(QString::fromUtf8(padded));
        ASSERT_EQ(contents.extensionLines.size(), 1u);
        EXPECT_LE(contents.extensionLines[0].items.size(), 4u);
    }
}

TEST_F(UnitFileTest, CompoundLinesNameUnitsOfTheFileLargestFirst)
{
    const QByteArray records = "3\r\n"
                               "\"間\",1.8,0,1,1\r\n"
                               "\"尺\",0.3,0,1,1\r\n"
                               "\"寸\",0.03,0,1,1\r\n"
                               "\"#逆数\",\"r\",1,0,0\r\n"
                               "\"#別名\",\"寸\",sun\r\n";
    struct Case {
        const char *lines;
        std::vector<int> parts;  // of the one compound read; empty for none
    };
    const Case cases[] = {
        {"\"#併記\",\"尺・寸\",尺,寸\r\n", {1, 2}},
        {"\"#併記\",\"間・尺・寸\",\"間\",\"尺\",sun,,\r\n", {0, 1, 2}},  // an alias; empty items ignored
        {"\"#併記\",\"尺・分\",尺,分\r\n", {}},                           // a unit the file lacks
        {"\"#併記\",\"尺・r\",尺,r\r\n", {}},                             // a reciprocal unit
        {"\"#併記\",\"尺\",尺\r\n", {}},                                  // one unit
        {"\"#併記\",\"寸・尺\",寸,尺\r\n", {}},                           // smallest first
        {"\"#併記\",\"尺・尺\",尺,尺\r\n", {}},                           // a unit twice
        {"\"#併記\",,尺,寸\r\n", {}},                                     // no name
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lines);
        UnitArray units;
        CompoundArray compounds;
        ASSERT_EQ(LoadUnitFile(write(records + c.lines), units, compounds), 3);
        ASSERT_EQ(compounds.size(), c.parts.empty() ? 0u : 1u);
        if (!c.parts.empty()) {
            EXPECT_EQ(compounds[0].parts, c.parts);
            EXPECT_FALSE(compounds[0].name.isEmpty());
        }
        // A reader of the records alone, and the number-base series, see none.
        EXPECT_EQ(ParseSeriesText(QString::fromUtf8(records + c.lines), SeriesExtension::Skip).compoundUnits.size(),
                  0u);
        LoadUnitFile(write(records + c.lines, u"進数.dat"_s), units, compounds);
        EXPECT_TRUE(compounds.empty());
    }
}
