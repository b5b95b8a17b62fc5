// The search provider's answers: how a query is read, which targets come in
// which order, noise answering nothing, result ids that still name their
// result, and series and settings files read again after they change.
#include "convert/search/SearchEngine.h"

#include "convert/QueryResolve.h"
#include "convert/WordsQuery.h"
#include "convert/search/SearchQuery.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A program folder with three small series, UTF-8 with its mark.
class SearchFolder {
public:
    SearchFolder()
    {
        folders.programDirectory = dir.path() + u"/prog"_s;
        folders.userConfigDirectory = dir.path() + u"/config"_s;
        QDir().mkpath(folders.programDirectory + u"/units"_s);
        writeSeries("長さ",
                    "4\n\"メートル\",1,0,1,1\n\"キロメートル\",1000,0,1,1\n\"フィート\",0.3048,0,1,1\n"
                    "\"インチ\",0.0254,0,1,1\n\"#別名\",\"メートル\",\"m\"\n\"#別名\",\"キロメートル\",\"km\"\n"
                    "\"#別名\",\"フィート\",\"ft\",\"foot (intl)\"\n\"#別名\",\"インチ\",\"in\"\n"
                    "\"#併記\",\"フィート・インチ\",\"フィート\",\"インチ\"\n");
        writeSeries("温度", "2\n\"度\",1,0,0,1\n\"ケルビン\",1,273.15,0,1\n");
        writeSeries("角度", "2\n\"度\",1,0,1,1\n\"ラジアン\",57.295779513082323,0,1,1\n");
        writeSeries("進数", "3\n\"2進数\",2,0,0,0\n\"10進数\",10,0,0,0\n\"16進数\",16,0,0,0\n");
    }
    void writeSeries(const char *name, const char *text)
    {
        WriteFile(folders.programDirectory + u"/units/"_s + QString::fromUtf8(name) + u".dat"_s,
                  "\xEF\xBB\xBF" + QByteArray(text));
    }
    void writeSettings(const char *text) { WriteFile(folders.programDirectory + u"/Tovelset.ini"_s, QByteArray(text)); }
    QTemporaryDir dir;
    SearchFolders folders;
};

QString Names(const std::vector<SearchAnswer> &answers)
{
    QStringList names;
    for (const SearchAnswer &answer : answers)
        names << answer.name;
    return names.join(u'|');
}

TEST(SearchEngine, AnswersAValueWithAKnownUnitAndNothingElse)
{
    struct Case {
        const char *query;
        int max;
        const char *names;  // the results' names, "|" between them
    };
    const Case cases[] = {
        {"6 km m", 5, "6000 メートル"},
        {"６ｋｍ　ｍ", 5, "6000 メートル"},  // full-width, as an input method leaves it
        {"6km to メートル", 5, "6000 メートル"},
        {"6kmをメートル", 5, "6000 メートル"},
        {"2 foot (intl) to in", 5, "24 インチ"},  // a name of several words, "in" the unit
        {"6kmをメートルで", 5, "6000 メートル"},
        {"1 1/2 km m", 5, "1500 メートル"},
        {"５ｆｔ１１ｉｎ　ｍ", 5, "1.8034 メートル"},  // summed, full-width
        {"5 ft 11 in m", 5, "1.8034 メートル"},
        {"1/0 km m", 5, ""},
        {"10 16進数 10進数", 5, "16 10進数"},  // digits as typed, not the number ten
        {"ff 16進数 2進数", 5, "11111111 2進数"},
        {"1 km", 2, "1000 メートル|3280.83989501312 フィート"},
        {"1 km", 5, "1000 メートル|3280.83989501312 フィート|39370.0787401575 インチ"},
        {"90 度 ラジアン", 5, "1.5707963267949 ラジアン"},  // the series that holds both names
        {"90 度", 1, "363.15 ケルビン"},                    // else the first series in the list
        {"FF 16進数 10進数", 5, "255 10進数"},
        {"ＦＦ　１６進数　１０進数", 5, "255 10進数"},
        {"-40 度 ケルビン", 5, "233.15 ケルビン"},
        {"42", 5, ""},
        {"km", 5, ""},
        {"6 furlong", 5, ""},
        {"6 km 度", 5, ""},  // a target of another series
        {"FF km m", 5, ""},  // digits of a radix before a unit that is none
        {"6 km km", 5, "6 キロメートル"},
        {"1.8034 m フィート・インチ", 5, "5 フィート 11 インチ"},      // a value in several units, one result
        {"-1.8034 m to フィート;インチ", 5, "-5 フィート 11 インチ"},  // written from its units
        {"1 m インチ;フィート", 5, ""},                                // not largest first
        {"6", 5, ""},
        {"6 km m", 0, ""},
    };
    SearchFolder folder;
    SearchEngine engine(folder.folders);
    for (const Case &c : cases)
        EXPECT_EQ(Names(engine.answer(QString::fromUtf8(c.query), c.max)), QString::fromUtf8(c.names)) << c.query;
}

TEST(SearchEngine, SummedTermsAreOneValueOfTheLastTermsUnit)
{
    SearchFolder folder;
    SearchEngine engine(folder.folders);
    const std::vector<SearchAnswer> answers = engine.answer(u"5 ft 11 in m"_s, 5);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].value, u"71"_s);
    EXPECT_EQ(answers[0].source, u"インチ"_s);
    EXPECT_EQ(answers[0].description, u"71 インチ = 1.8034 メートル"_s);
    const auto again = engine.answerOf(answers[0].id);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->description, answers[0].description);
    // A value in several units: its id answers the same again.
    const std::vector<SearchAnswer> feet = engine.answer(u"1.8034 m フィート;インチ"_s, 5);
    ASSERT_EQ(feet.size(), 1u);
    EXPECT_EQ(feet[0].description, u"1.8034 メートル = 5 フィート 11 インチ"_s);
    const auto feetAgain = engine.answerOf(feet[0].id);
    ASSERT_TRUE(feetAgain);
    EXPECT_EQ(feetAgain->description, feet[0].description);
}

// The window reads its arguments as tovelconv reads words: a result opens it
// on the very conversion the result shows.
TEST(SearchEngine, TheWindowsArgumentsNameTheResultsConversion)
{
    SearchFolder folder;
    SearchEngine engine(folder.folders);
    SearchCatalogue catalogue(folder.folders.programDirectory + u"/units/"_s);
    catalogue.refresh();
    const SeriesUnits unitsOf = [&catalogue](int series) -> const UnitArray & {
        return catalogue.series()[size_t(series)].units;
    };
    for (const char *text : {"5 ft 11 in m", "1 1/2 km m", "-40 度 ケルビン", "FF 16進数 10進数", "６ｋｍ　ｍ"}) {
        const std::vector<SearchAnswer> answers = engine.answer(QString::fromUtf8(text), 1);
        ASSERT_EQ(answers.size(), 1u) << text;
        const StartRequest start = ParseStartArguments(SearchEngine::WindowArguments(answers[0]));
        ASSERT_EQ(start.kind, StartRequest::Kind::Convert) << text << " " << start.error.toStdString();
        const WordsQuery words = ResolveWords(start.words, catalogue.names(), start.series, unitsOf);
        const std::optional<SearchQuery> read = ReadSearchQuery(QString::fromUtf8(text), catalogue);
        ASSERT_TRUE(read) << text;
        EXPECT_EQ(words.series, read->series) << text;
        EXPECT_EQ(words.source, read->source) << text;
        EXPECT_EQ(words.target, read->target) << text;
        EXPECT_EQ(words.value, read->value) << text;
    }
}

TEST(SearchEngine, TheTargetLastUsedInTheWindowComesFirst)
{
    SearchFolder folder;
    folder.writeSettings(
        "[UnitPairs]\r\nPair1=\x92\xB7\x82\xB3|\x83\x81\x81\x5B\x83\x67\x83\x8B|\x83\x43\x83\x93\x83\x60\r\n");
    SearchEngine engine(folder.folders);
    EXPECT_EQ(Names(engine.answer(u"1 km"_s, 2)), u"39370.0787401575 インチ|1000 メートル"_s);
    // The window's own choice not to remember pairs is followed.
    folder.writeSettings("[UnitPairs]\r\nRemember=0\r\nPair1=\x92\xB7\x82\xB3|\x83\x81\x81\x5B\x83\x67\x83\x8B|"
                         "\x83\x43\x83\x93\x83\x60\r\n");
    EXPECT_EQ(Names(engine.answer(u"1 km"_s, 1)), u"1000 メートル"_s);
}

TEST(SearchEngine, ChangedSeriesAndSettingsAreReadAgain)
{
    SearchFolder folder;
    SearchEngine engine(folder.folders);
    const std::vector<SearchAnswer> first = engine.answer(u"6 km m"_s, 5);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].description, u"6 キロメートル = 6000 メートル"_s);
    const auto again = engine.answerOf(first[0].id);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->name, first[0].name);

    folder.writeSettings("[CalcSet]\r\nShowAns=1\r\n");
    EXPECT_EQ(Names(engine.answer(u"6 km m"_s, 5)), u"6,000 メートル"_s);
    folder.writeSeries("長さ", "2\n\"メートル\",1,0,1,1\n\"キロメートル\",999,0,1,1\n");
    EXPECT_EQ(engine.answerOf(first[0].id)->name, u"5,994 メートル"_s);
    // A series file added later is found; ids that name nothing give nothing.
    folder.writeSeries("質量", "2\n\"グラム\",1,0,1,1\n\"キログラム\",1000,0,1,1\n");
    EXPECT_EQ(Names(engine.answer(u"2 キログラム グラム"_s, 5)), u"2,000 グラム"_s);
    EXPECT_FALSE(engine.answerOf(u"6/%E9%95%B7%E3%81%95/x/y"_s));
    EXPECT_FALSE(engine.answerOf(u"nonsense"_s));
    // The significant digits of the window's settings.
    folder.writeSettings("[CalcSet]\r\nSigDigits=3\r\n");
    EXPECT_EQ(Names(engine.answer(u"1.23456 キログラム グラム"_s, 5)), u"1230 グラム"_s);
}

}  // namespace
