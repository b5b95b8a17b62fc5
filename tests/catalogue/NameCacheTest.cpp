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
    return {{u"長さ.dat"_s, {1, 2, 3, 4, 5}, {{u"m"_s, u"metre"_s}, {u"km"_s}}},
            {u"面積.dat"_s, {6, 7, 8, 9, 10}, {{u"坪"_s, u"つぼ"_s, u"tsubo"_s}}}};
}

TEST(NameCacheTest, ReadsBackWhatItWrote)
{
    const auto files = ParseNameCache(NameCacheBytes(kUnits, sampleFiles()), kUnits);
    ASSERT_TRUE(files.has_value());
    ASSERT_EQ(files->size(), 2u);
    EXPECT_EQ((*files)[1].fileName, u"面積.dat"_s);
    EXPECT_EQ((*files)[1].stamp, (FileStamp{6, 7, 8, 9, 10}));
    EXPECT_EQ((*files)[1].units[0], (QStringList{u"坪"_s, u"つぼ"_s, u"tsubo"_s}));
    // Another units folder's cache is not this one's.
    EXPECT_FALSE(ParseNameCache(NameCacheBytes(kUnits, sampleFiles()), u"/other/"_s).has_value());
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
