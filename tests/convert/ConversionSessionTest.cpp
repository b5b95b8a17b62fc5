// The conversion session without a window: one conversion, the run into
// every unit and its stop at the first failure, the lines of the last
// command, and the number-base series decided by the series list.
#include "convert/ConversionSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

UnitArray Lengths()
{
    return {{u"m"_s, 1, 0, 1, 1}, {u"km"_s, 1000, 0, 1, 1}, {u"zero"_s, 0, 0, 1, 1}, {u"mm"_s, 0.001, 0, 0, 0}};
}

ConversionSession SessionOver(UnitArray units, int showAns = 0, bool numberBase = false)
{
    ConversionSession session;
    session.SetSeries(SeriesEntry{numberBase ? u"進数"_s : u"長さ"_s, QString(), numberBase}, std::move(units));
    session.SetResultStyle(showAns, 15);
    return session;
}

struct OneCase {
    const char *name;
    int showAns;
    QString typed;
    int source;
    int target;
    bool failed;
    QString lastResult;
};

TEST(ConversionSession, OneConversionLeavesItsLineAlone)
{
    const OneCase cases[] = {
        {"plain", 0, u"1234.5"_s, 1, 0, false, u"1234.5 (km) => 1234500 (m)\r\n"_s},
        {"target refuses grouping", 1, u"1234"_s, 0, 3, false, u"1234 (m) => 1234000 (mm)\r\n"_s},
        {"division by a zero factor", 0, u"8"_s, 0, 2, true, QString()},
    };
    for (const OneCase &c : cases) {
        ConversionSession session = SessionOver(Lengths(), c.showAns);
        session.ConvertValue(u"5"_s, 0, 1);  // an earlier line that must go
        const SessionOutcome outcome = session.ConvertValue(c.typed, c.source, c.target);
        EXPECT_EQ(outcome.failed, c.failed) << c.name;
        EXPECT_EQ(session.lastResult(), c.lastResult) << c.name;
        EXPECT_FALSE(session.allConvRunning()) << c.name;
    }
}

TEST(ConversionSession, RunIntoEveryUnitFollowsTheListAndStopsAtTheFirstFailure)
{
    struct Case {
        const char *name;
        UnitArray units;
        int failedTarget;  // -1: the run completes
        QString lastResult;
    };
    UnitArray noZero = Lengths();
    noZero.erase(noZero.begin() + 2);
    const Case cases[] = {
        {"every unit, the source's own line included", noZero, -1,
         u"2 (km) => 2000 (m)\r\n2 (km) => 2 (km)\r\n2 (km) => 2000000 (mm)\r\n"_s},
        {"a zero factor at the third unit", Lengths(), 2, QString()},
        {"an empty series", UnitArray(), -1, QString()},
    };
    for (const Case &c : cases) {
        ConversionSession session = SessionOver(c.units);
        session.ConvertValue(u"5"_s, 0, 0);
        const SessionOutcome outcome = session.ConvertToAllUnits(u"2"_s, c.units.empty() ? 0 : 1);
        EXPECT_EQ(outcome.failed, c.failedTarget >= 0) << c.name;
        EXPECT_EQ(outcome.failedTarget, c.failedTarget) << c.name;
        EXPECT_EQ(session.lastResult(), c.lastResult) << c.name;
        EXPECT_EQ(outcome.lines, c.lastResult) << c.name;
        EXPECT_FALSE(session.allConvRunning()) << c.name;
        // The run went through the list in order up to where it stopped.
        const int reached = c.failedTarget >= 0 ? c.failedTarget + 1 : int(c.units.size());
        EXPECT_EQ(outcome.lastTarget, reached - 1) << c.name;
        if (c.failedTarget < 0) {
            ASSERT_EQ(int(outcome.results.size()), reached) << c.name;
            for (int i = 0; i < reached; ++i)
                EXPECT_EQ(outcome.results[size_t(i)].targetPos, i) << c.name;
        } else {
            EXPECT_TRUE(outcome.results.empty()) << c.name;
        }
        EXPECT_EQ(outcome.lastShown.has_value(), !c.units.empty()) << c.name;
    }
}

TEST(ConversionSession, SeriesListDecidesTheNumberBaseSeriesOnceFromItsFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::pair<const char *, QByteArray> files[] = {
        {"進数.dat", "3\r\n\"2進数\",2,0,0,0\r\n\"10進数\",10,0,0,0\r\n\"16進数\",16,0,0,0\r\n"},
        {"進数 (旧).dat", "2\r\n\"a\",2,0,0,0\r\n\"b\",16,0,0,0\r\n"},
    };
    for (const auto &[name, bytes] : files) {
        QFile file(QDir(dir.path()).filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const std::vector<SeriesEntry> series = BuildSeriesList(dir.path());
    ASSERT_EQ(series.size(), 2u);
    const QString expected[] = {u"1111 (2進数) => F (16進数)\r\n"_s, u"1111 (a) => 138.875 (b)\r\n"_s};
    for (size_t i = 0; i < series.size(); ++i) {
        ConversionSession session;
        ASSERT_EQ(session.LoadSeries(dir.path() + u'/', series[i]), i == 0 ? 2 : 1);
        EXPECT_EQ(session.isNumberBase(), i == 0) << series[i].name.toStdString();
        EXPECT_EQ(session.seriesPath(), dir.path() + u'/' + series[i].fileName);
        // A digit string reads in the number-base series only.
        session.ConvertValue(u"1111"_s, 0, i == 0 ? 2 : 1);
        EXPECT_EQ(session.lastResult(), expected[i]);
    }
}

}  // namespace
