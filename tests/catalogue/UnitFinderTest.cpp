// Finding units by typed text: what counts as the same letter, and the order.
#include "catalogue/UnitFinder.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList foundNames(const UnitFinder &finder, const QString &typed)
{
    QStringList names;
    for (const int i : finder.find(typed))
        names << finder.unit(i).name + u"/"_s + finder.unit(i).seriesName;
    return names;
}

// Two series, as the list shows them; "面積" has another name for 坪.
UnitFinder sampleFinder()
{
    UnitFinder finder;
    const auto add = [&finder](int series, const QString &seriesName, const QStringList &units,
                               const QStringList &aliases = {}) {
        for (int i = 0; i < units.size(); ++i)
            finder.add({series, i, units[i], seriesName}, i == 0 ? aliases : QStringList{});
    };
    add(0, u"長さ"_s, {u"メートル"_s, u"キロメートル"_s, u"Mile"_s, u"ｲﾝﾁ"_s, u"ガロン・英"_s, u"m"_s});
    add(1, u"面積"_s, {u"坪"_s, u"京間畳"_s, u"畳"_s, u"平方メートル"_s, u"㎡"_s, u"  "_s}, {u"つぼ"_s});
    return finder;
}

TEST(UnitFinderTest, MatchesWhateverTheFormOfTheLetters)
{
    const UnitFinder finder = sampleFinder();
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
        // Another name of the unit; the unit shows by its own name.
        {"つぼ", {"坪/面積"}},
        // Exact first, even from a later series; ties in series then unit order.
        {"畳", {"畳/面積", "京間畳/面積"}},
        {"m", {"m/長さ", "Mile/長さ", "㎡/面積"}},
        {"m2", {"㎡/面積"}},
        // Nothing typed, or only what is left out, finds nothing.
        {"", {}},
        {" ・ ", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(foundNames(finder, QString::fromUtf8(c.typed)), c.found);
    }
    // A unit whose name folds to nothing is not listed at all.
    EXPECT_EQ(finder.size(), 11);
}

}  // namespace
