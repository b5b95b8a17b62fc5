// The units each series was last left with: their lines in the settings
// file, the order kept, and what a save writes.
#include "settings/UnitPairs.h"
#include "settings/modFileFuncs.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Pair = UnitPairMemory::Pair;

namespace {

TEST(UnitPairs, LinesHoldEveryNameTheFileCanKeep)
{
    struct Case {
        Pair pair;
        const char *line;
    };
    const std::vector<Case> cases = {
        {{u"面積"_s, u"坪"_s, u"京間畳"_s}, "面積|坪|京間畳"},
        {{u"長さ (英)"_s, u"ｲﾝﾁ"_s, u"m"_s}, "長さ (英)|ｲﾝﾁ|m"},
        // What would end the field, the value or the line, or read otherwise.
        {{u"a|b"_s, u"50%"_s, u"\"x\""_s}, "a%7Cb|50%25|%22x%22"},
        {{u" a "_s, u"b\tc"_s, u"'"_s}, "%20a%20|b%09c|%27"},
        // Not held by code page 932: a save would fail for the whole file.
        {{u"温度"_s, u"café"_s, u"m²"_s}, "温度|caf%C3%A9|m%C2%B2"},
        {{u"x"_s, u"😀"_s, u"¥"_s}, "x|%F0%9F%98%80|%C2%A5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(UnitPairMemory::lineOf(c.pair), QString::fromUtf8(c.line));
        EXPECT_EQ(UnitPairMemory::pairOf(QString::fromUtf8(c.line)), c.pair);
    }
    for (const char *broken :
         {"a|b", "a|b|c|d", "a|%zz|c", "a|b|%4", "|b|c", "a|%FF|c", "a|%E3%81|c", "a|b|%E3%81", ""}) {
        SCOPED_TRACE(broken);
        EXPECT_FALSE(UnitPairMemory::pairOf(QString::fromUtf8(broken)));
    }
}

TEST(UnitPairs, TheMostRecentSeriesAreKept)
{
    UnitPairMemory memory;
    for (int i = 0; i < UnitPairMemory::MaxSeries + 5; ++i)
        memory.remember({QString::number(i), u"a"_s, u"b"_s});
    memory.remember({u"7"_s, u"c"_s, u"d"_s});  // used again: the newest, once
    memory.remember({u"long"_s, QString(600, u'x'), u"b"_s});
    ASSERT_EQ(memory.pairs().size(), size_t(UnitPairMemory::MaxSeries));
    EXPECT_EQ(memory.pairs().front(), (Pair{u"7"_s, u"c"_s, u"d"_s}));
    EXPECT_FALSE(memory.recall(u"4"_s));
    EXPECT_FALSE(memory.recall(u"long"_s));  // beyond what a settings value holds
}

TEST(UnitPairs, ReadBackFromTheFileAsTheSaveLeftIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Tovelset.ini"_s);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // Code page 932 bytes; a broken line, a repeated series and keys that
        // are no pair among them; a later section of the same name is not read.
        file.write(QStringEncoder("CP932").encode(
            u"[CalcSet]\r\nShowAns=1\r\n[UnitPairs]\r\nRemember=1\r\n; note\r\npair2 = 長さ|m|km \r\n"
            u"Pair+1=a|b|c\r\nPair01=a|b|c\r\nPair1=面積|坪|畳\r\nPair3=broken\r\nPair4=面積|a|b\r\nPair9=温度|℃|K\r\n"
            u"Pair0=x|y|z\r\nPair 5=x|y|z\r\nPair6=q|"_s
            + QString(400, u'\'')
            + u"|b\r\n"
              u"[UnitPairs]\r\nPair5=x|y|z\r\n"_s));
    }
    UnitPairMemory memory;
    memory.read(path);
    EXPECT_EQ(
        memory.pairs(),
        (std::vector<Pair>{{u"面積"_s, u"坪"_s, u"畳"_s}, {u"長さ"_s, u"m"_s, u"km"_s}, {u"温度"_s, u"℃"_s, u"K"_s}}));

    // The save writes the pairs from Pair1 on and empties the keys beyond.
    memory.remember({u"café"_s, u"é"_s, u"m"_s});
    ASSERT_TRUE(WriteValues(path, memory.changes()));
    UnitPairMemory again;
    again.read(path);
    EXPECT_EQ(again.pairs(), memory.pairs());
    EXPECT_EQ(ReadValue(path, u"UnitPairs"_s, u"Pair9"_s, u"-"_s), QString());
}

}  // namespace
