// The settings file's reader and writer: what a read finds, what a write
// leaves in the file byte for byte, and that a failed write changes nothing.
#include "settings/ProfileFile.h"
#include "settings/modFileFuncs.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

bool runningAsRoot()
{
    return geteuid() == 0;
}

struct LookUpCase {
    const char *name;
    QByteArray contents;
    QByteArray section;
    QByteArray key;
    std::optional<QByteArray> expected;
};

class LookUp : public ::testing::TestWithParam<LookUpCase> {};

TEST_P(LookUp, FindsTheValueAsWindowsReadsIt)
{
    const LookUpCase &c = GetParam();
    EXPECT_EQ(ProfileFile::lookUp(c.contents, c.section, c.key), c.expected);
}

const QByteArray kDoubleByteCloseBracket("\x83\x5D");  // "ゾ": second byte is "]"
// "設定" in UTF-8: read as code page 932, its last byte would swallow a "]" or "=".
const QByteArray kUtf8Settei("\xE8\xA8\xAD\xE5\xAE\x9A");

INSTANTIATE_TEST_SUITE_P(
    Cases, LookUp,
    ::testing::Values(
        LookUpCase{"plain", "[CalcSet]\r\nShowAns=2\r\n", "CalcSet", "ShowAns", QByteArray("2")},
        LookUpCase{"letterCaseIgnored", "[calcset]\r\nSHOWANS=2\r\n", "CalcSet", "ShowAns", QByteArray("2")},
        LookUpCase{"blanksTrimmed", "  [ CalcSet ]  \r\n \t ShowAns \t=  2 \t\r\n", "CalcSet", "ShowAns",
                   QByteArray("2")},
        LookUpCase{"lfOnly", "[A]\nx=1\n[CalcSet]\nShowAns=1\n", "CalcSet", "ShowAns", QByteArray("1")},
        LookUpCase{"noFinalLineEnd", "[CalcSet]\r\nShowAns=7", "CalcSet", "ShowAns", QByteArray("7")},
        LookUpCase{"emptyValue", "[CalcSet]\r\nShowAns=\r\n", "CalcSet", "ShowAns", QByteArray("")},
        LookUpCase{"equalsInValue", "[S]\r\nk=a=b\r\n", "S", "k", QByteArray("a=b")},
        LookUpCase{"doubleQuotesStripped", "[S]\r\nk=\"12\"\r\n", "S", "k", QByteArray("12")},
        LookUpCase{"singleQuotesStripped", "[S]\r\nk='12'\r\n", "S", "k", QByteArray("12")},
        LookUpCase{"onePairOnly", "[S]\r\nk=\"\"12\"\"\r\n", "S", "k", QByteArray("\"12\"")},
        LookUpCase{"unpairedQuoteKept", "[S]\r\nk=\"12\r\n", "S", "k", QByteArray("\"12")},
        LookUpCase{"loneQuoteKept", "[S]\r\nk=\"\r\n", "S", "k", QByteArray("\"")},
        LookUpCase{"cutAtNul", QByteArray("[S]\r\nk=12\0003\r\n", 13), "S", "k", QByteArray("12")},
        LookUpCase{"keyInOtherSection", "[FormSet]\r\nShowAns=2\r\n[CalcSet]\r\n", "CalcSet", "ShowAns", std::nullopt},
        LookUpCase{"keyBeforeAnySection", "ShowAns=2\r\n[CalcSet]\r\n", "CalcSet", "ShowAns", std::nullopt},
        LookUpCase{"missingSection", "[FormSet]\r\nFront=0\r\n", "CalcSet", "Front", std::nullopt},
        LookUpCase{"commentIsNoKey", "[S]\r\n;k=1\r\nk\r\n", "S", "k", std::nullopt},
        LookUpCase{"firstSectionCounts", "[S]\r\nk=1\r\n[s]\r\nk=2\r\n", "S", "k", QByteArray("1")},
        LookUpCase{"firstKeyCounts", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", QByteArray("1")},
        LookUpCase{"sectionEndsAtLastBracket", "[a]b]\r\nk=1\r\n", "a]b", "k", QByteArray("1")},
        LookUpCase{"lineWithoutClosingBracketIsNoSection", "[S]\r\n[T\r\nk=1\r\n", "S", "k", QByteArray("1")},
        LookUpCase{"utf8ByteOrderMarkSkipped", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k", QByteArray("1")},
        LookUpCase{"bracketAsSecondByteOfDoubleByteName", "[" + kDoubleByteCloseBracket + "]\r\nk=1\r\n",
                   kDoubleByteCloseBracket, "k", QByteArray("1")},
        LookUpCase{"letterAsSecondByteNotFolded", "[S]\r\n\x83\x41=1\r\n", "S", "\x83\x61", std::nullopt},
        LookUpCase{"doubleByteValueKept", "[S]\r\nk=\x93\xFA\x96\x7B\r\n", "S", "k", QByteArray("\x93\xFA\x96\x7B")},
        LookUpCase{"utf8HeaderEndsTheSectionBefore", "[FormSet]\r\nFront=-1\r\n[" + kUtf8Settei + "]\r\nWinPos=1\r\n",
                   "FormSet", "WinPos", std::nullopt},
        LookUpCase{"utf8HeaderIsASection", "[A]\r\nk=1\r\n[" + kUtf8Settei + "]\r\nk=2\r\n", kUtf8Settei, "k",
                   QByteArray("2")},
        LookUpCase{"utf8KeyName", "[S]\r\n" + kUtf8Settei + "=3\r\n", "S", kUtf8Settei, QByteArray("3")},
        LookUpCase{"headerWithCommentAfterIt", "[S] ; note\r\nk=1\r\n", "S", "k", QByteArray("1")},
        LookUpCase{"crOnly", "[A]\rx=1\r[CalcSet]\rShowAns=2\r", "CalcSet", "ShowAns", QByteArray("2")},
        LookUpCase{"crOnlyKeyInOtherSection", "[CalcSet]\rx=1\r[A]\rShowAns=2\r", "CalcSet", "ShowAns", std::nullopt},
        LookUpCase{"mixedLineEnds", "[A]\r\nx=1\r[CalcSet]\n\r\rShowAns=2", "CalcSet", "ShowAns", QByteArray("2")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ProfileFileLookUp, ValuesAreCutTo511BytesNeverInsideADoubleByteCharacter)
{
    const QByteArray singles(600, 'x');
    EXPECT_EQ(ProfileFile::lookUp("[S]\r\nk=" + singles + "\r\n", "S", "k"), singles.left(511));

    // 510 single bytes and then a double-byte character: the character
    // would end at byte 512, so it is dropped whole.
    const QByteArray mixed = QByteArray(510, 'x') + "\x93\xFA" + "yy";
    EXPECT_EQ(ProfileFile::lookUp("[S]\r\nk=" + mixed + "\r\n", "S", "k"), QByteArray(510, 'x'));

    const QByteArray exact(511, 'z');
    EXPECT_EQ(ProfileFile::lookUp("[S]\r\nk=\"" + exact + "\"\r\n", "S", "k"), exact);
}

struct WithValueCase {
    const char *name;
    QByteArray before;
    QByteArray section;
    QByteArray key;
    QByteArray value;
    QByteArray after;
};

class WithValue : public ::testing::TestWithParam<WithValueCase> {};

TEST_P(WithValue, ChangesOnlyTheKeysLine)
{
    const WithValueCase &c = GetParam();
    EXPECT_EQ(ProfileFile::withValue(c.before, c.section, c.key, c.value), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WithValue,
    ::testing::Values(
        WithValueCase{"emptyFile", "", "CalcSet", "ShowAns", "1", "[CalcSet]\r\nShowAns=1\r\n"},
        WithValueCase{"replacedInPlace", "[CalcSet]\r\nShowAns=0\r\nMaxPlace=15\r\n", "CalcSet", "ShowAns", "2",
                      "[CalcSet]\r\nShowAns=2\r\nMaxPlace=15\r\n"},
        WithValueCase{"replacedKeepsFileSpelling", "[calcset]\r\n  SHOWANS  =  0  \r\n", "CalcSet", "ShowAns", "2",
                      "[calcset]\r\nSHOWANS=2\r\n"},
        WithValueCase{"replacedLineEndsInCrLfOthersKeepLf", "; mine\n[S]\nk=0\nj=1\n", "S", "k", "5",
                      "; mine\n[S]\nk=5\r\nj=1\n"},
        WithValueCase{"replacedLastLineWithoutLineEnd", "[S]\r\nk=0", "S", "k", "5", "[S]\r\nk=5\r\n"},
        WithValueCase{"missingKeyAfterLastNonBlankLine", "[A]\r\na=1\r\n; note\r\n\r\n\r\n[B]\r\nb=2\r\n", "A", "k",
                      "9", "[A]\r\na=1\r\n; note\r\nk=9\r\n\r\n\r\n[B]\r\nb=2\r\n"},
        WithValueCase{"missingKeyInEmptySection", "[A]\r\n\r\n[B]\r\n", "A", "k", "9", "[A]\r\nk=9\r\n\r\n[B]\r\n"},
        WithValueCase{"missingKeyAfterHeaderWithoutLineEnd", "[A]", "A", "k", "9", "[A]\r\nk=9\r\n"},
        WithValueCase{"missingKeyAfterLastLineWithoutLineEnd", "[A]\na=1", "A", "k", "9", "[A]\na=1\r\nk=9\r\n"},
        WithValueCase{"missingKeyLfFile", "[A]\na=1\n\n[B]\n", "a", "k", "9", "[A]\na=1\nk=9\r\n\n[B]\n"},
        WithValueCase{"missingSectionAtEnd", "[A]\r\na=1\r\n\r\n", "B", "k", "9", "[A]\r\na=1\r\n\r\n[B]\r\nk=9\r\n"},
        WithValueCase{"missingSectionAfterLastLineWithoutLineEnd", "[A]\r\na=1", "B", "k", "9",
                      "[A]\r\na=1\r\n[B]\r\nk=9\r\n"},
        WithValueCase{"onlyFirstMatchingSectionChanges", "[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "S", "k", "3",
                      "[S]\r\nk=3\r\n[S]\r\nk=2\r\n"},
        WithValueCase{"unknownBytesKept", "\xFF\x80 junk\r\n[S]\r\nk=\x93\xFA\r\nx=\x81\r\n", "S", "k", "1",
                      "\xFF\x80 junk\r\n[S]\r\nk=1\r\nx=\x81\r\n"},
        WithValueCase{"missingKeyStaysOutOfAUtf8Section", "[FormSet]\r\nFront=-1\r\n[" + kUtf8Settei + "]\r\nx=1\r\n",
                      "FormSet", "WinPos", "1",
                      "[FormSet]\r\nFront=-1\r\nWinPos=1\r\n[" + kUtf8Settei + "]\r\nx=1\r\n"},
        WithValueCase{"crOnlyReplaced", "[S]\rk=0\rj=1\r", "S", "k", "5", "[S]\rk=5\r\nj=1\r"},
        WithValueCase{"crOnlyMissingKey", "[S]\rj=1\r\r[T]\r", "S", "k", "5", "[S]\rj=1\rk=5\r\n\r[T]\r"},
        WithValueCase{"crOnlyMissingSection", "[A]\ra=1\r", "B", "k", "9", "[A]\ra=1\r[B]\r\nk=9\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

class ProfileFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Tovelset.ini");
    }
    // Every name in the folder: a write leaves no temporary file behind.
    QStringList folderEntries() const
    {
        QStringList names
            = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        std::sort(names.begin(), names.end());
        return names;
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(ProfileFileOnDisk, AWriteOverAHandEditedFileKeepsEveryOtherByte)
{
    const QByteArray before = "; Tovel settings, edited by hand\n"
                              "\n"
                              "[Other]\r\n"
                              "Name=\x83\x65\x83\x58\x83\x67\r\n"
                              "[FormSet]\r\n"
                              "Front=-1\r\n"
                              "WinPos = 0\n"
                              "   \r\n"
                              "[CalcSet]\n"
                              "ShowAns=0\n"
                              "\n";
    writeAll(path, before);

    EXPECT_EQ(WriteValue(path, "FormSet", "winpos", "1"), 1);
    EXPECT_EQ(WriteValue(path, "CalcSet", "MaxPlace", "20"), 1);
    EXPECT_EQ(WriteValue(path, "Extra", "Key", "5"), 1);

    const QByteArray after = "; Tovel settings, edited by hand\n"
                             "\n"
                             "[Other]\r\n"
                             "Name=\x83\x65\x83\x58\x83\x67\r\n"
                             "[FormSet]\r\n"
                             "Front=-1\r\n"
                             "WinPos=1\r\n"
                             "   \r\n"
                             "[CalcSet]\n"
                             "ShowAns=0\n"
                             "MaxPlace=20\r\n"
                             "\n"
                             "[Extra]\r\n"
                             "Key=5\r\n";
    EXPECT_EQ(readAll(path), after);
    EXPECT_EQ(folderEntries(), QStringList{"Tovelset.ini"});
    EXPECT_EQ(ReadValue(path, "OTHER", "name", "?"), QString::fromUtf8("テスト"));
}

TEST_F(ProfileFileOnDisk, AWriteKeepsTheFilesPermissions)
{
    writeAll(path, "[CalcSet]\r\nShowAns=1\r\n");
    const QFileDevice::Permissions own = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, own));
    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), 1);
    EXPECT_EQ(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), own);
}

TEST_F(ProfileFileOnDisk, AMissingFileIsCreatedAndReadsAsDefaultsBefore)
{
    EXPECT_EQ(ReadValue(path, "CalcSet", "ShowAns", "0"), "0");
    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), 1);
    EXPECT_EQ(WriteValue(path, "FormSet", "Front", "-1"), 1);
    EXPECT_EQ(readAll(path), QByteArray("[CalcSet]\r\nShowAns=2\r\n[FormSet]\r\nFront=-1\r\n"));
    EXPECT_EQ(ReadValue(path, "calcset", "showans", "0"), "2");
    EXPECT_EQ(ReadValue(path, "CalcSet", "MaxPlace", "15"), "15");
}

TEST_F(ProfileFileOnDisk, FailedWritesReturnZeroAndChangeNothing)
{
    const QByteArray before = "[CalcSet]\r\nShowAns=1\r\n";
    writeAll(path, before);
    writeAll(dir.filePath("plainfile"), "x");

    struct Case {
        const char *name;
        QString path;
        QString section;
        QString key;
        QString value;
    };
    const Case cases[] = {
        {"folderMissing", dir.filePath("missing/Tovelset.ini"), "CalcSet", "ShowAns", "2"},
        {"folderIsAFile", dir.filePath("plainfile/Tovelset.ini"), "CalcSet", "ShowAns", "2"},
        {"pathIsAFolder", dir.path(), "CalcSet", "ShowAns", "2"},
        {"emptyPath", QString(), "CalcSet", "ShowAns", "2"},
        {"lineBreakInValue", path, "CalcSet", "ShowAns", "2\r\n[Injected]"},
        {"lineBreakInKey", path, "CalcSet", "Show\nAns", "2"},
        {"bracketInSection", path, "Calc]Set", "ShowAns", "2"},
        {"equalsInKey", path, "CalcSet", "Show=Ans", "2"},
        {"emptyKey", path, "CalcSet", "  ", "2"},
        {"notInCodePage932", path, "CalcSet", "ShowAns", QString::fromUtf8("\xF0\x9F\x98\x80")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WriteValue(c.path, c.section, c.key, c.value), 0);
        EXPECT_EQ(readAll(path), before);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
    EXPECT_EQ(folderEntries(), (QStringList{"Tovelset.ini", "plainfile"}));  // sorted by code
}

TEST_F(ProfileFileOnDisk, AReadOnlyFolderOrFileIsLeftAlone)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root writes into read-only folders and files";
    const QByteArray before = "[CalcSet]\r\nShowAns=1\r\n";
    writeAll(path, before);

    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner));
    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), 0);
    EXPECT_EQ(readAll(path), before);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    const QFileDevice::Permissions folder = QFile::permissions(dir.path());
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    EXPECT_EQ(WriteValue(path, "CalcSet", "ShowAns", "2"), 0);
    EXPECT_EQ(WriteValue(dir.filePath("new.ini"), "CalcSet", "ShowAns", "2"), 0);
    ASSERT_TRUE(QFile::setPermissions(dir.path(), folder));
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(folderEntries(), QStringList{"Tovelset.ini"});
}

// Whatever sits at the settings path that is not a regular file of sane
// size reads as missing (without blocking on a pipe or reading a device
// without end) and is never written or replaced.
TEST_F(ProfileFileOnDisk, OnlyARegularFileOfSaneSizeIsReadOrWritten)
{
    struct Case {
        const char *name;
        std::function<void(const QString &)> make;
    };
    const QByteArray oversized = "[CalcSet]\r\nShowAns=2\r\n" + QByteArray(ProfileStore::MaxFileBytes, '\n');
    const Case cases[] = {
        {"namedPipe", [](const QString &p) { ASSERT_EQ(mkfifo(QFile::encodeName(p).constData(), 0644), 0); }},
        {"linkToDevZero", [](const QString &p) { ASSERT_TRUE(QFile::link("/dev/zero", p)); }},
        {"linkToDevNull", [](const QString &p) { ASSERT_TRUE(QFile::link("/dev/null", p)); }},
        {"danglingLink", [](const QString &p) { ASSERT_TRUE(QFile::link(p + ".nowhere", p)); }},
        {"folder", [](const QString &p) { ASSERT_TRUE(QDir().mkdir(p)); }},
        {"oneByteTooLarge", [&](const QString &p) { writeAll(p, oversized); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir here;
        const QString at = here.filePath("Tovelset.ini");
        c.make(at);
        const QFileInfo before(at);
        EXPECT_EQ(ReadValue(at, "CalcSet", "ShowAns", "dflt"), "dflt");
        EXPECT_EQ(WriteValue(at, "CalcSet", "ShowAns", "1"), 0);
        const QFileInfo after(at);
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_EQ(after.size(), before.size());
        EXPECT_EQ(QDir(here.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                  QStringList{"Tovelset.ini"});
    }
    // The largest file still read: a value at its very end is found.
    const QByteArray largest = QByteArray(ProfileStore::MaxFileBytes - 22, ';') + "\r\n[CalcSet]\r\nShowAns=2";
    ASSERT_EQ(largest.size(), ProfileStore::MaxFileBytes);
    writeAll(path, largest);
    EXPECT_EQ(ReadValue(path, "CalcSet", "ShowAns", "0"), "2");
}

// A file with a UTF-16 byte order mark is read in UTF-16 and written back in
// UTF-16 with the same mark and every other character kept; a file that
// would not survive that (half a character, an unpaired surrogate) is read
// as well as it goes and left untouched.
TEST_F(ProfileFileOnDisk, UnicodeFilesAreReadAndWrittenInUtf16)
{
    const QString text = QString::fromUtf8(
        "; 設定ファイル \xF0\x9F\x98\x80\r\n[CalcSet]\r\nShowAns=2\r\n[設定]\r\n単位=メートル\r\n");
    const QString expected = QString::fromUtf8(
        "; 設定ファイル \xF0\x9F\x98\x80\r\n[CalcSet]\r\nShowAns=1\r\nMaxPlace=20\r\n[設定]\r\n単位=メートル\r\n"
        "[FormSet]\r\nFront=-1\r\n");
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        SCOPED_TRACE(encoding == QStringConverter::Utf16LE ? "little endian" : "big endian");
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        writeAll(path, encoder.encode(text));
        EXPECT_EQ(ReadValue(path, "CalcSet", "ShowAns", "0"), "2");
        EXPECT_EQ(ReadValue(path, QString::fromUtf8("設定"), QString::fromUtf8("単位"), "?"),
                  QString::fromUtf8("メートル"));
        EXPECT_EQ(
            WriteValues(path, {{"CalcSet", "ShowAns", "1"}, {"CalcSet", "MaxPlace", "20"}, {"FormSet", "Front", "-1"}}),
            1);
        QStringEncoder again(encoding, QStringConverter::Flag::WriteBom);
        EXPECT_EQ(readAll(path), QByteArray(again.encode(expected)));
    }

    struct Broken {
        const char *name;
        QByteArray bytes;
    };
    const Broken broken[] = {
        {"oddLength", QByteArray("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0001\0\r\0\n\0x", 23)},
        {"unpairedSurrogate", QByteArray("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0001\0\r\0\n\0\x00\xD8", 24)},
    };
    for (const Broken &b : broken) {
        SCOPED_TRACE(b.name);
        writeAll(path, b.bytes);
        EXPECT_EQ(ReadValue(path, "S", "k", "0"), "1");
        EXPECT_EQ(WriteValue(path, "S", "k", "2"), 0);
        EXPECT_EQ(readAll(path), b.bytes);
    }
}

TEST(JoinPath, AddsOneSlashAndUpdatesTheCallersFolder)
{
    struct Case {
        QString folder;
        QString expectedFolder;
        QString expectedPath;
    };
    const Case cases[] = {
        {"/opt/tovel", "/opt/tovel/", "/opt/tovel/Tovelset.ini"},
        {"/opt/tovel/", "/opt/tovel/", "/opt/tovel/Tovelset.ini"},
        {"/", "/", "/Tovelset.ini"},
        {"", "/", "/Tovelset.ini"},
    };
    for (const Case &c : cases) {
        QString folder = c.folder;
        EXPECT_EQ(JoinPath(folder, "Tovelset.ini"), c.expectedPath) << c.folder.toStdString();
        EXPECT_EQ(folder, c.expectedFolder);
    }
}

}  // namespace
