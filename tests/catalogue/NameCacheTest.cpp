// The name index's cache file read back: whatever its bytes, nothing is
// made from a count that its bytes cannot hold, and nothing is read beyond
// them.
#include "catalogue/NameCache.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

const QString kUnits = u"/units/"_s;

std::vector<CachedSeriesFile> sampleFiles()
{
    const UnitRecord metre{u"m"_s, 1, 0, 1, 1, false, {u"metre"_s}};
    const UnitRecord foot{u"ft"_s, 0.3048, 0, 1, 0, false, {}};
    const UnitRecord tsubo{u"坪"_s, 3.305785123966942, -0.0, 0, 1, false, {u"つぼ"_s, u"tsubo"_s}};
    const UnitRecord perTsubo{u"毎坪"_s, 0.3025, 0, 1, 1, true, {}};
    return {{u"長さ.dat"_s, {1, 2, 3, 4, 5}, {metre, foot}, {{u"m・ft"_s, {0, 1}}}},
            {u"面積.dat"_s, {6, 7, 8, 9, 10}, {tsubo, perTsubo}, {}}};
}

TEST(NameCacheTest, ReadsBackWhatItWrote)
{
    const FileStamp folder{11, 12, 13, 14, 15};
    FileStamp folderRead;
    const auto files = ParseNameCache(NameCacheBytes(kUnits, sampleFiles(), folder), kUnits, &folderRead);
    ASSERT_TRUE(files.has_value());
    EXPECT_EQ(*files, sampleFiles());
    EXPECT_EQ(folderRead, folder);
    // Another units folder's cache is not this one's.
    EXPECT_FALSE(ParseNameCache(NameCacheBytes(kUnits, sampleFiles()), u"/other/"_s).has_value());
    // A compound unit of a unit the file does not have.
    std::vector<CachedSeriesFile> wrong = sampleFiles();
    wrong[0].compounds[0].parts = {0, 2};
    EXPECT_FALSE(ParseNameCache(NameCacheBytes(kUnits, wrong), kUnits).has_value());
}

// Fields that no written cache holds: the entry is refused, never read as
// units whose names run past their text.
TEST(NameCacheTest, UnitsNoFileCouldGiveAreRefused)
{
    const UnitRecord metre{u"m"_s, 1, 0, 1, 1, false, {u"metre"_s}};
    const QByteArray good = NameCacheBytes(kUnits, {{u"長さ.dat"_s, {1, 2, 3, 4, 5}, {metre}, {}}});
    ASSERT_TRUE(ParseNameCache(good, kUnits).has_value());
    // The header to 70, the file's name and stamp to 126, its padding, its
    // units from 128: three counts, names per unit at 140, name lengths at
    // 144, the text "mmetre" at 152, factor, offset, flags from 164.
    ASSERT_EQ(good.size(), 190);
    struct Row {
        const char *what;
        qsizetype at;
        QByteArray bytes;
    };
    const Row rows[] = {
        {"padding that is not 0", 126, QByteArray("\x01\x00", 2)},
        {"a unit of no names", 140, QByteArray(4, '\0')},
        {"names longer than their text", 144, QByteArray("\x02\x00\x00\x00", 4)},
        {"a reciprocal flag of 2", 184, QByteArray("\x02\x00", 2)},
    };
    for (const Row &row : rows) {
        QByteArray bytes = good;
        bytes.replace(row.at, row.bytes.size(), row.bytes);
        EXPECT_FALSE(ParseNameCache(bytes, kUnits).has_value()) << row.what;
    }
}

TEST(NameCacheTest, CountsBeyondTheBytesAndCutFilesAreRefused)
{
    const QByteArray good = NameCacheBytes(kUnits, sampleFiles());
    // A header that claims 2^31 series files, and every other 32-bit field in
    // turn set so (counts and lengths among them), whatever it lands on.
    for (qsizetype at = 0; at + 4 <= good.size(); at += 2) {
        for (const quint32 huge : {0x80000000u, 0xFFFFFFFFu}) {
            QByteArray bytes = good;
            std::memcpy(bytes.data() + at, &huge, 4);
            (void)ParseNameCache(bytes, kUnits);
        }
    }
    QByteArray header = NameCacheBytes(kUnits, {});
    const quint32 count = 0x80000000u;
    std::memcpy(header.data() + header.size() - 4, &count, 4);
    EXPECT_FALSE(ParseNameCache(header, kUnits).has_value());
    // Cut anywhere, or with bytes after its end.
    for (qsizetype size = 0; size < good.size(); ++size)
        EXPECT_FALSE(ParseNameCache(QByteArrayView(good.constData(), size), kUnits).has_value()) << size;
    EXPECT_FALSE(ParseNameCache(good + '\0', kUnits).has_value());
}

}  // namespace
