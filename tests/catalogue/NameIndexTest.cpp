// The name index: looking a name up, and finding units by typed text (what
// counts as the same letter, the order, the name that matched).
#include "catalogue/NameIndex.h"
#include "convert/IndexNameLookup.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList foundNames(const NameIndex &index, const QString &typed)
{
    QStringList names;
    for (const NameMatch &match : index.find(typed)) {
        names << index.name(match.unit).toString() + u"/"_s + index.series(index.unit(match.unit).series).name;
        if (match.name > 0)
            names.last() += u" ("_s + index.name(match.unit, match.name).toString() + u')';
    }
    return names;
}

// Two series, as the list shows them; the first unit of each has aliases.
NameIndex sampleIndex()
{
    NameIndex index;
    const auto add = [&index](const QString &seriesName, const QStringList &units, const QStringList &aliases) {
        index.addSeries({seriesName, seriesName + u".dat"_s});
        for (int i = 0; i < units.size(); ++i)
            index.addUnit(units[i], i == 0 ? aliases : QStringList{});
    };
    add(u"長さ"_s, {u"メートル"_s, u"キロメートル"_s, u"Mile"_s, u"ｲﾝﾁ"_s, u"ガロン・英"_s, u"m"_s, u"英ガロン"_s},
        {u"imp gal"_s});
    add(u"面積"_s, {u"坪"_s, u"京間畳"_s, u"畳"_s, u"平方メートル"_s, u"㎡"_s, u"  "_s, u"マイル毎ガロン"_s},
        {u"つぼ"_s, u"tsubo"_s});
    return index;
}

TEST(NameIndexTest, FindMatchesWhateverTheFormOfTheLetters)
{
    const NameIndex index = sampleIndex();
    struct Case {
        const char *typed;
        QStringList found;
    };
    const std::vector<Case> cases = {
        // Hiragana read as katakana; exact, then starting with, then inside.
        {"めーとる", {"メートル/長さ", "キロメートル/長さ", "平方メートル/面積"}},
        {"ﾒｰﾄﾙ", {"メートル/長さ", "キロメートル/長さ", "平方メートル/面積"}},
        // Letter case and full width do not matter.
        {"ＭＩＬＥ", {"Mile/長さ"}},
        // Half-width katakana in a name, typed in hiragana.
        {"いんち", {"ｲﾝﾁ/長さ"}},
        // Blanks and "・" are left out on both sides.
        {"ガロン英", {"ガロン・英/長さ"}},
        {"impgal", {"メートル/長さ (imp gal)"}},
        // Another name of the unit: the unit shows by its own name and the one that matched.
        {"つぼ", {"坪/面積 (つぼ)"}},
        {"tsu", {"坪/面積 (tsubo)"}},
        // Exact first, even from a later series; ties in series then unit order.
        {"畳", {"畳/面積", "京間畳/面積"}},
        {"m", {"m/長さ", "Mile/長さ", "㎡/面積", "メートル/長さ (imp gal)"}},
        {"m2", {"㎡/面積"}},
        // A match begun inside a word that runs into the next ranks last,
        // unless the text typed has a blank of its own.
        {"ga", {"メートル/長さ (imp gal)"}},
        {"pga", {"メートル/長さ (imp gal)"}},
        {"p ga", {"メートル/長さ (imp gal)"}},
        {"ガロン", {"ガロン・英/長さ", "英ガロン/長さ", "マイル毎ガロン/面積"}},
        // Nothing typed, or only what is left out, finds nothing; a unit
        // whose name folds to nothing is never listed.
        {"", {}},
        {" ・ ", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(foundNames(index, QString::fromUtf8(c.typed)), c.found);
    }
}

TEST(NameIndexTest, AcrossWordsRanksAfterEveryOtherMatch)
{
    NameIndex index;
    index.addSeries({u"燃費"_s, u"燃費.dat"_s});
    index.addUnit(u"英ガロン"_s, {u"imp gal"_s});
    index.addUnit(u"マイル毎米ガロン"_s, {u"mpg"_s});
    index.addUnit(u"ampgauge"_s);
    // "mpg": exact for mpg, inside a word of ampgauge, across words of "imp gal".
    const std::vector<NameMatch> found = index.find(u"mpg"_s);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].unit, 1);
    EXPECT_EQ(found[1].unit, 2);
    EXPECT_EQ(found[2].unit, 0);
}

// One rule for a name looked up, in a series (the window's remembered pairs,
// FindUnitByName) and in the whole index (tovelconv).
TEST(NameIndexTest, LookUpTakesTheOwnNameBeforeAnAliasThenTheCompatibilityForm)
{
    UnitArray units(4);
    units[0].UnitName = u"坪"_s;
    units[0].Aliases = QStringList{u"tsubo"_s, u"つぼ"_s};
    units[1].UnitName = u"tsubo"_s;
    units[2].UnitName = u"畳"_s;
    units[2].Aliases = QStringList{u"じょう"_s, u"つぼ"_s};
    units[3].UnitName = u"m2"_s;
    NameIndex index;
    index.addSeries({u"面積"_s, u"面積.dat"_s});
    for (const UnitRecord &unit : units)
        index.addUnit(unit.UnitName, unit.Aliases);
    const std::pair<QString, int> cases[] = {
        {u"坪"_s, 0},         {u"つぼ"_s, 0}, {u"tsubo"_s, 1},  {u"じょう"_s, 2},
        {u"ｔｓｕｂｏ"_s, 1}, {u"m²"_s, 3},   {u"Tsubo"_s, -1}, {QString(), -1},
    };
    for (const auto &[name, at] : cases) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(FindUnitByName(units, name), at);
        EXPECT_EQ(index.lookUp(name), at < 0 ? std::vector<int>{} : std::vector<int>{at});
        EXPECT_EQ(IndexNameLookup(index).unitsOf(name), index.lookUp(name));
    }

    // One unit a series, in series order; the compatibility form counts only
    // when no series holds the name as typed.
    index.addSeries({u"長さ"_s, u"長さ.dat"_s});
    index.addUnit(u"m"_s, {u"tsubo"_s});
    index.addUnit(u"m²"_s);
    EXPECT_EQ(index.lookUp(u"tsubo"_s), (std::vector<int>{1, 4}));
    EXPECT_EQ(index.lookUp(u"tsubo"_s, 1), std::vector<int>{4});
    EXPECT_EQ(index.lookUp(u"m²"_s), std::vector<int>{5});
    // The first names asked for are found without the lookup's table, the
    // later ones through it: the same units either way.
    const IndexNameLookup names(index);
    for (int round = 0; round < 4; ++round)
        for (const QString &name : {u"tsubo"_s, u"つぼ"_s, u"m²"_s, u"m2"_s, u"m"_s, u"none"_s})
            EXPECT_EQ(names.unitsOf(name), index.lookUp(name)) << round << ' ' << name.toStdString();
    EXPECT_EQ(index.unit(5).series, 1);
    EXPECT_EQ(index.unit(5).unit, 1);
}

}  // namespace
