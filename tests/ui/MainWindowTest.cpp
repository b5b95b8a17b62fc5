// The main window driven headless over the recording fake: start-up with and
// without settings, series switching, Enter and the accelerators, Clear, the
// clipboard command and the two ways of ending.

#include "MainWindowFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>

using namespace Qt::Literals::StringLiterals;

namespace {

QString keyOf(const QByteArray &ini, const char *key)
{
    for (const QByteArray &line : ini.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith(QByteArray(key) + '='))
            return QString::fromLatin1(trimmed.mid(qstrlen(key) + 1));
    }
    return u"<missing>"_s;
}

}  // namespace

class MainWindowTest : public MainWindowFixture {};

TEST_F(MainWindowTest, StartsWithDefaultsWhenThereIsNoSettingsFile)
{
    writeStandardSeries();
    frmMain &w = start();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(w.front(), 0);
    EXPECT_FALSE(w.isTopMost());
    EXPECT_FALSE(action("Menu_Front")->isChecked());
    EXPECT_EQ(w.showAns(), 0);
    EXPECT_EQ(w.placeNum(), 15);
    EXPECT_EQ(w.unitSeries(), 0);
    EXPECT_EQ(seriesList()->currentIndex(), 0);
    EXPECT_EQ(w.seriesIndex(), 0);
    EXPECT_EQ(w.windowTitle(), u"Tovel - "_s + seriesList()->itemText(0));
    EXPECT_EQ(services.beepCount(), 1);
    EXPECT_EQ(valueBox()->text(), u"0"_s);
    EXPECT_EQ(resultBox()->text(), u"0"_s);
    EXPECT_FALSE(action("Menu_SendClipBoard")->isEnabled());
    // Centred on the 1920 x 1080 pixel screen of the fake.
    const QSize outer = w.frameGeometry().size();
    EXPECT_EQ(w.pos(), QPoint((1920 - outer.width()) / 2, (1080 - outer.height()) / 2));
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_FALSE(QFile::exists(iniPath()));  // start-up only reads
}

struct StoredSettingsCase {
    const char *name;
    QByteArray ini;
    int front;
    int showAns;
    int placeNum;
    int winPos;
    const char *series;  // the series the window starts with
};

class StoredSettingsTest : public MainWindowFixture, public ::testing::WithParamInterface<StoredSettingsCase> {};

TEST_P(StoredSettingsTest, StartUpTakesOverCheckedValues)
{
    writeStandardSeries();
    writeIni(GetParam().ini);
    frmMain &w = start();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(w.front(), GetParam().front);
    EXPECT_EQ(w.isTopMost(), GetParam().front == -1);
    EXPECT_EQ(action("Menu_Front")->isChecked(), GetParam().front == -1);
    EXPECT_EQ(w.showAns(), GetParam().showAns);
    EXPECT_EQ(w.placeNum(), GetParam().placeNum);
    EXPECT_EQ(w.winPos(), GetParam().winPos);
    EXPECT_EQ(seriesList()->currentText(), QString::fromUtf8(GetParam().series));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, StoredSettingsTest,
    ::testing::Values(
        StoredSettingsCase{"FrontOne", "[FormSet]\r\nFront=1\r\n", -1, 0, 15, 0, "length"},
        StoredSettingsCase{"FrontFive", "[FormSet]\r\nFront=5\r\n", -1, 0, 15, 0, "length"},
        StoredSettingsCase{"FrontMinusOne", "[formset]\r\nfront=-1\r\n", -1, 0, 15, 0, "length"},
        StoredSettingsCase{"FrontGarbage", "[FormSet]\r\nFront=yes\r\n", 0, 0, 15, 0, "length"},
        StoredSettingsCase{"Styles", "[CalcSet]\r\nShowAns=2\r\nMaxPlace=4\r\n", 0, 2, 4, 0, "length"},
        StoredSettingsCase{"StyleOutOfRange", "[CalcSet]\r\nShowAns=3\r\nMaxPlace=51\r\n", 0, 0, 15, 0, "length"},
        StoredSettingsCase{"Fraction", "[CalcSet]\r\nShowAns= 1.5 \r\nMaxPlace=20.5\r\n", 0, 2, 20, 0, "length"},
        StoredSettingsCase{"LastSeries", "[CalcSet]\r\nLastUnitSeries=2\r\n", 0, 0, 15, 0, "進数"},
        StoredSettingsCase{"LastSeriesGone", "[CalcSet]\r\nLastUnitSeries=7\r\n", 0, 0, 15, 0, "length"},
        StoredSettingsCase{"LastSeriesNegative", "[CalcSet]\r\nLastUnitSeries=-1\r\n", 0, 0, 15, 0, "length"},
        StoredSettingsCase{"LastSeriesHuge", "[CalcSet]\r\nLastUnitSeries=99999999\r\n", 0, 0, 15, 0, "length"},
        StoredSettingsCase{"Centred", "[FormSet]\r\nWinPos=1\r\n", 0, 0, 15, 1, "length"},
        StoredSettingsCase{"WinPosGarbage", "[FormSet]\r\nWinPos=2\r\n", 0, 0, 15, 0, "length"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, StoredPositionIsKeptWhileItsTitleBarIsOnAScreen)
{
    writeStandardSeries();
    const QRect belowRight(1920 * 15, 3600 * 15, 1920 * 15, 1080 * 15);
    const QRect leftOfPrimary(0, 0, 1280 * 15, 1024 * 15);
    struct Case {
        QByteArray ini;
        bool centred;
        QPoint pixels;
        std::vector<QRect> otherScreens = {};
        QPoint primaryOrigin = {};  // in pixels
    } cases[] = {
        {"[FormSet]\r\nMainFormTop=1500\r\nMainFormLeft=-300\r\n", false, {-20, 100}},
        {"[FormSet]\r\nMainFormTop=60000\r\nMainFormLeft=45000\r\n", false, {3000, 4000}, {belowRight}},
        {"[FormSet]\r\nMainFormTop=60000\r\nMainFormLeft=45000\r\n", true, {}},  // that monitor is gone
        {"[FormSet]\r\nWinPos=1\r\nMainFormTop=1500\r\nMainFormLeft=1500\r\n", true, {}},
        {"[FormSet]\r\nMainFormTop=-150\r\nMainFormLeft=1500\r\n", true, {}},   // title bar above the screen
        {"[FormSet]\r\nMainFormTop=16050\r\nMainFormLeft=1500\r\n", true, {}},  // below its bottom edge
        {"[FormSet]\r\nMainFormTop=1500\r\nMainFormLeft=-3000\r\n", true, {}},  // a sliver at the left
        {"[FormSet]\r\nMainFormTop=-32768\r\nMainFormLeft=32767\r\n", true, {}},
        {"[FormSet]\r\nMainFormTop=99999999\r\nMainFormLeft=1500\r\n", true, {}},
        // A primary screen right of another one, lower down: centring counts its corner.
        {"[FormSet]\r\nWinPos=1\r\n", true, {}, {leftOfPrimary}, {1280, 200}},
        {"[FormSet]\r\nMainFormTop=1500\r\nMainFormLeft=1500\r\n", false, {100, 100}, {leftOfPrimary}, {1280, 200}},
        {"[FormSet]\r\nMainFormTop=1500\r\nMainFormLeft=30000\r\n", true, {}, {leftOfPrimary}, {1280, 200}},
    };
    for (const Case &c : cases) {
        writeIni(c.ini);
        services.otherScreensTwips = c.otherScreens;
        services.primaryOriginTwips = c.primaryOrigin * 15;
        frmMain &w = start();
        const QSize outer = w.frameGeometry().size();
        const QPoint expected = c.centred
            ? c.primaryOrigin + QPoint((1920 - outer.width()) / 2, (1080 - outer.height()) / 2)
            : c.pixels;
        EXPECT_EQ(w.pos(), expected) << c.ini.constData() << " with " << c.otherScreens.size() << " more screens";
    }
}

TEST_F(MainWindowTest, WindowLargerThanScreenGetsNegativeCentredPosition)
{
    writeStandardSeries();
    services.screenTwips = QSize(100 * 15, 60 * 15);
    frmMain &w = start();
    EXPECT_LT(w.pos().x(), 0);
    EXPECT_LT(w.pos().y(), 0);
}

TEST_F(MainWindowTest, NoSeriesFileShowsTheMessageAndEndsWithoutTouchingSettings)
{
    writeSeries(u"notes.txt"_s, "1\r\n\"m\",1,0,1,1\r\n");
    QDir(dir.path()).mkpath(u"units/folder.dat"_s);
    start();
    EXPECT_FALSE(loaded);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, u"データファイルが読み込めません。"_s);
    EXPECT_EQ(services.boxes[0].style, 16);
    EXPECT_EQ(services.boxes[0].title, u"error!!"_s);
    EXPECT_EQ(services.ends, 1);
    EXPECT_FALSE(QFile::exists(iniPath()));
    window->close();  // the fake did not end the test: closing must not save
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(MainWindowTest, RandomStartSeriesIgnoresTheLastOne)
{
    writeSeries(u"only.dat"_s, "1\r\n\"m\",1,0,1,1\r\n");
    writeIni("[CalcSet]\r\nUnitSeries=1\r\nLastUnitSeries=5\r\n");
    start();
    EXPECT_EQ(seriesList()->currentIndex(), 0);
    EXPECT_EQ(window->unitSeries(), 1);
}

TEST_F(MainWindowTest, SelectingSeriesLoadsOnceAndResetsTheBoxes)
{
    writeStandardSeries();
    frmMain &w = start();
    valueBox()->setText(u"12"_s);
    sourceList()->setCurrentIndex(1);
    targetList()->setCurrentIndex(2);

    seriesList()->setCurrentIndex(0);  // already loaded: nothing happens
    EXPECT_EQ(services.beepCount(), 1);
    EXPECT_EQ(valueBox()->text(), u"12"_s);

    selectSeries(u"temperature"_s);
    EXPECT_EQ(services.beepCount(), 2);
    EXPECT_EQ(w.windowTitle(), u"Tovel - temperature"_s);
    EXPECT_EQ(valueBox()->text(), u"0"_s);
    EXPECT_EQ(resultBox()->text(), u"0"_s);
    EXPECT_EQ(sourceList()->currentIndex(), 0);
    EXPECT_EQ(targetList()->currentIndex(), 0);
    ASSERT_EQ(sourceList()->count(), 3);
    EXPECT_EQ(sourceList()->itemText(1), u"K"_s);
    EXPECT_EQ(targetList()->itemText(2), u"F"_s);
    EXPECT_EQ(w.units().size(), 3u);
}

TEST_F(MainWindowTest, ArrowKeysThroughTheClosedSeriesListLoadEachSeries)
{
    writeStandardSeries();
    startShown();
    seriesList()->setFocus();
    QTest::keyClick(seriesList(), Qt::Key_Down);
    QTest::keyClick(seriesList(), Qt::Key_Down);
    EXPECT_EQ(seriesList()->currentIndex(), 2);
    EXPECT_EQ(services.beepCount(), 3);
    QTest::keyClick(seriesList(), Qt::Key_Up);
    EXPECT_EQ(services.beepCount(), 4);
    EXPECT_EQ(window->windowTitle(), u"Tovel - "_s + seriesList()->itemText(1));
}

TEST_F(MainWindowTest, SeriesWithoutUnitsLoadsEmptyAndRefusesToConvert)
{
    writeStandardSeries();
    writeSeries(u"zero.dat"_s, "0\r\n\"m\",1,0,1,1\r\n");
    frmMain &w = start();
    selectSeries(u"zero"_s);
    EXPECT_EQ(sourceList()->count(), 0);
    EXPECT_EQ(sourceList()->currentIndex(), -1);
    EXPECT_EQ(w.windowTitle(), u"Tovel - zero"_s);
    EXPECT_EQ(services.beepCount(), 2);
    w.ConvertValue();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(services.boxes[0].text.startsWith(u"エラー ： 原因不明"_s));
    w.Menu_Clear_Click();  // nothing to select: still no crash
    EXPECT_EQ(valueBox()->text(), u"0"_s);
}

TEST_F(MainWindowTest, FileListedWithCapitalEndingLoadsThatVeryFile)
{
    writeSeries(u"Area.DAT"_s, "2\r\n\"m2\",1,0,1,1\r\n\"a\",100,0,1,1\r\n");
    start();
    EXPECT_EQ(seriesList()->currentText(), u"Area.DAT"_s);
    EXPECT_EQ(sourceList()->count(), 2);
}

TEST_F(MainWindowTest, ConversionWritesResultLineAndEnablesClipboard)
{
    writeStandardSeries();
    frmMain &w = start();
    valueBox()->setText(u"1"_s);
    sourceList()->setCurrentIndex(1);
    targetList()->setCurrentIndex(0);
    w.ConvertValue();
    EXPECT_EQ(resultBox()->text(), u"1000"_s);
    EXPECT_EQ(w.lastResult(), u"1 (km) => 1000 (m)\r\n"_s);
    EXPECT_TRUE(action("Menu_SendClipBoard")->isEnabled());
    EXPECT_EQ(services.beepCount(), 2);
    EXPECT_TRUE(services.boxes.empty());

    w.ConvertValue();  // a normal conversion keeps exactly one line
    EXPECT_EQ(w.lastResult(), u"1 (km) => 1000 (m)\r\n"_s);
}

TEST_F(MainWindowTest, ResultBoxShowsWhatTheSessionPutsInTheResultLine)
{
    writeStandardSeries();
    start();
    // The line is built from ResultBoxText, never read back from the box:
    // the two must cut a result alike.
    for (const QString &text : {u"1,234.5"_s, QString(ResultBoxMaxLength + 10, u'7')}) {
        resultBox()->setText(text);
        EXPECT_EQ(resultBox()->text(), ResultBoxText(text)) << text.size();
    }
    EXPECT_EQ(ResultBoxText(QString(ResultBoxMaxLength + 10, u'7')).size(), ResultBoxMaxLength);
}

struct FailureCase {
    const char *typed;
    const char *firstLine;
};

class ConversionFailureTest : public MainWindowFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConversionFailureTest, FailureShowsOneMessageAndResetsTheValue)
{
    writeStandardSeries();
    frmMain &w = start();
    valueBox()->setText(u"1"_s);
    sourceList()->setCurrentIndex(1);
    w.ConvertValue();
    ASSERT_TRUE(action("Menu_SendClipBoard")->isEnabled());
    const int beeps = services.beepCount();

    valueBox()->setText(QString::fromUtf8(GetParam().typed));
    w.ConvertValue();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, QString::fromUtf8(GetParam().firstLine) + u"\r\n処理を中断します。"_s);
    EXPECT_EQ(services.boxes[0].style, 48);
    EXPECT_EQ(services.boxes[0].title, u"Error!!"_s);
    EXPECT_EQ(valueBox()->text(), u"0"_s);
    EXPECT_EQ(resultBox()->text(), u"1000"_s);  // the previous result stays
    EXPECT_TRUE(w.lastResult().isEmpty());
    EXPECT_FALSE(action("Menu_SendClipBoard")->isEnabled());
    EXPECT_EQ(services.beepCount(), beeps);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ConversionFailureTest,
                         ::testing::Values(FailureCase{"", "エラー ： 不正な入力"},
                                           FailureCase{"1..2", "エラー ： 不正な入力"},
                                           FailureCase{"+", "エラー ： 不正な入力"},
                                           FailureCase{"1e400", "エラー ： オーバーフロー"}));

TEST_F(MainWindowTest, FormulasAreReadOnlyWhileTheirMenuItemIsChecked)
{
    writeStandardSeries();
    frmMain &w = start();
    EXPECT_FALSE(action("Menu_UseFormula")->isChecked());
    const QList<QAction *> items = child<QMenu>("Menu_Set")->actions();
    EXPECT_EQ(items.indexOf(action("Menu_UseFormula")), items.indexOf(action("Menu_RememberPairs")) + 1);

    struct Case {
        bool formulas;
        const char *series;
        int source;
        int target;
        QString typed;     // as pasted: the filter never sees it
        const char *line;  // empty: the message box with this first line
        const char *failure;
    };
    const Case cases[] = {
        {true, "length", 1, 0, u"1/4"_s, "1/4 (km) => 250 (m)\r\n", ""},
        {true, "length", 1, 0, u"2*(3+4)"_s, "2*(3+4) (km) => 14000 (m)\r\n", ""},
        {true, "length", 1, 1, u"1/4"_s, "1/4 (km) => 0.25 (km)\r\n", ""},        // the same unit
        {true, "length", 1, 0, u"1,500"_s, "1,500 (km) => 1500000 (m)\r\n", ""},  // a number as before
        {true, "temperature", 0, 2, u"(1/2)*200"_s, "(1/2)*200 (C) => 212 (F)\r\n", ""},
        {true, "length", 1, 0, u"１／４"_s, "1/4 (km) => 250 (m)\r\n", ""},
        {false, "length", 1, 0, u"１２"_s, "12 (km) => 12000 (m)\r\n", ""},  // pasted full-width
        {true, "length", 1, 0, u"１２"_s, "12 (km) => 12000 (m)\r\n", ""},
        {false, "length", 1, 0, u"1/4"_s, "", "エラー ： 不正な入力"},
        {true, "length", 1, 0, u"1//2"_s, "", "エラー ： 不正な入力"},
        {true, "length", 1, 0, u"1/0"_s, "", "エラー ： オーバーフロー"},
        {true, "length", 1, 0, u"10^400"_s, "", "エラー ： オーバーフロー"},
        {true, "進数", 14, 8, u"ff"_s, "ff (16進数) => 255 (10進数)\r\n", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        if (action("Menu_UseFormula")->isChecked() != c.formulas)
            action("Menu_UseFormula")->trigger();
        selectSeries(QString::fromUtf8(c.series));
        sourceList()->setCurrentIndex(c.source);
        targetList()->setCurrentIndex(c.target);
        valueBox()->setText(c.typed);
        services.boxes.clear();
        w.ConvertValue();
        if (*c.failure) {
            ASSERT_EQ(services.boxes.size(), 1u);
            EXPECT_EQ(services.boxes[0].text, QString::fromUtf8(c.failure) + u"\r\n処理を中断します。"_s);
            EXPECT_EQ(services.boxes[0].title, u"Error!!"_s);
            EXPECT_EQ(valueBox()->text(), u"0"_s);
        } else {
            EXPECT_TRUE(services.boxes.empty());
            EXPECT_EQ(w.lastResult(), QString::fromUtf8(c.line));
        }
    }

    // A run into every unit shows the formula on each line; Ctrl+R takes the
    // result back as the number it is.
    selectSeries(u"length"_s);
    sourceList()->setCurrentIndex(1);
    valueBox()->setText(u"1/4"_s);
    answerNextModal([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    w.ConvertToAllUnits();
    EXPECT_EQ(w.lastResult(), u"1/4 (km) => 250 (m)\r\n1/4 (km) => 0.25 (km)\r\n1/4 (km) => 25000 (cm)\r\n"_s);
    targetList()->setCurrentIndex(2);
    w.ConvertValue();
    w.Menu_Swap_Click();
    EXPECT_EQ(w.lastResult(), u"25000 (cm) => 0.25 (km)\r\n"_s);

    // Kept in the settings file, and read back at the next start.
    w.Menu_End_Click();
    EXPECT_EQ(keyOf(iniBytes(), "UseFormula"), u"1"_s);
    start();
    EXPECT_TRUE(action("Menu_UseFormula")->isChecked());
}

TEST_F(MainWindowTest, GroupedStyleLeavesAFormulaAsTyped)
{
    writeStandardSeries();
    writeIni("[CalcSet]\r\nShowAns=1\r\nUseFormula=1\r\n");
    frmMain &w = start();
    sourceList()->setCurrentIndex(1);
    valueBox()->setText(u"1000*2"_s);
    w.ConvertValue();
    EXPECT_EQ(w.lastResult(), u"1000*2 (km) => 2,000,000 (m)\r\n"_s);
    valueBox()->setText(u"2000"_s);
    w.ConvertValue();
    EXPECT_EQ(w.lastResult(), u"2,000 (km) => 2,000,000 (m)\r\n"_s);
}

TEST_F(MainWindowTest, CommandLineOpensTheWindowWithItsConversion)
{
    writeStandardSeries();
    struct Case {
        QStringList arguments;
        const char *series;
        const char *value;
        const char *line;     // empty: no conversion
        const char *refused;  // the second line of the message box; empty: none
    };
    const Case cases[] = {
        {{u"1.5"_s, u"km"_s, u"cm"_s}, "length", "1.5", "1.5 (km) => 150000 (cm)\r\n", ""},
        {{u"--"_s, u"-40"_s, u"C"_s, u"F"_s}, "temperature", "-40", "-40 (C) => -40 (F)\r\n", ""},
        {{u"-40"_s, u"C"_s, u"K"_s}, "temperature", "-40", "-40 (C) => 233.15 (K)\r\n", ""},
        {{u"--series"_s, u"temperature"_s, u"--"_s, u"0"_s, u"K"_s, u"C"_s},
         "temperature",
         "0",
         "0 (K) => -273.15 (C)\r\n",
         ""},
        {{u"--series=length"_s, u"2"_s, u"km"_s}, "length", "2", "2 (km) => 2000 (m)\r\n", ""},  // no target
        {{u"1/4"_s, u"km"_s, u"m"_s}, "length", "0.25", "0.25 (km) => 250 (m)\r\n", ""},
        {{u"１２"_s, u"km"_s, u"m"_s}, "length", "12", "12 (km) => 12000 (m)\r\n", ""},
        {{u"1km500m"_s, u"cm"_s}, "length", "1500", "1500 (m) => 150000 (cm)\r\n", ""},
        {{u"ff"_s, u"16進数"_s, u"2進数"_s}, "進数", "ff", "ff (16進数) => 11111111 (2進数)\r\n", ""},
        {{u"1.5"_s, u"km"_s, u"km;m"_s}, "length", "1.5", "1.5 (km) => 1 (km) 500 (m)\r\n", ""},  // several units
        {{}, "length", "0", "", ""},
        {{u"--bogus"_s}, "length", "0", "", "不明なオプション --bogus"},
        {{u"--series"_s}, "length", "0", "", "オプション --series に値がありません。"},
        {{u"--series"_s, u"length"_s}, "length", "0", "", "値と変換元の単位を指定してください。"},
        {{u"--series"_s, u"volume"_s, u"1"_s, u"m"_s}, "length", "0", "", "単位系「volume」が見つかりません。"},
        {{u"1"_s, u"parsec"_s, u"m"_s}, "length", "0", "", "単位「parsec」が見つかりません。"},
        {{u"1"_s, u"km"_s, u"C"_s}, "length", "0", "", "*"},  // two series: the parser's message
        {{u"1//2"_s, u"km"_s, u"m"_s}, "length", "0", "", "値「1//2」の 3 文字目「/」が読めません"},
        {{u"ff"_s, u"16進数"_s, u"m"_s}, "length", "0", "", "単位「m」は単位系「進数」にありません。"},
        {{u"1"_s, u"km"_s, u"m;km"_s}, "length", "0", "", "単位「m;km」は単位系「length」にありません。"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        services.boxes.clear();
        startWith(c.arguments);
        EXPECT_EQ(seriesList()->currentText(), QString::fromUtf8(c.series));
        EXPECT_EQ(valueBox()->text(), QString::fromUtf8(c.value));
        EXPECT_EQ(window->lastResult(), QString::fromUtf8(c.line));
        if (*c.refused) {
            // The window stays as it started, and says why.
            ASSERT_EQ(services.boxes.size(), 1u);
            EXPECT_EQ(services.boxes[0].title, u"Tovel"_s);
            const QStringList lines = services.boxes[0].text.split(u"\r\n"_s);
            ASSERT_EQ(lines.size(), 2);
            EXPECT_EQ(lines[0], u"コマンド行の引数を使えません。"_s);
            if (QByteArray(c.refused) != "*")
                EXPECT_EQ(lines[1], QString::fromUtf8(c.refused));
            else
                EXPECT_FALSE(lines[1].isEmpty());
        } else {
            EXPECT_TRUE(services.boxes.empty()) << services.boxes[0].text.toStdString();
        }
        window->Menu_End_Click();  // the next start begins where this one ended
        QFile::remove(iniPath());
    }
}

TEST_F(MainWindowTest, CommandLineFindOpensTheFinderWithTheTextTyped)
{
    writeStandardSeries();
    start();
    QString typed;
    QString listed;
    answerNextModal([&typed, &listed](QWidget *modal) {
        typed = modal->findChild<QLineEdit *>(u"txtFind"_s)->text();
        listed = modal->findChild<QListView *>(u"lstFound"_s)->model()->index(0, 0).data().toString();
        QTest::keyClick(modal->findChild<QLineEdit *>(u"txtFind"_s), Qt::Key_Return, Qt::ShiftModifier);
    });
    window->openWith({u"--find"_s, u"ｃｍ"_s});
    EXPECT_EQ(typed, u"ｃｍ"_s);
    EXPECT_EQ(listed, u"cm — length"_s);
    EXPECT_EQ(targetList()->currentText(), u"cm"_s);
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(MainWindowTest, EnterConvertsWhereverTheFocusIs)
{
    writeStandardSeries();
    frmMain &w = startShown();
    valueBox()->setText(u"2"_s);
    sourceList()->setCurrentIndex(1);
    QWidget *controls[] = {seriesList(), valueBox(), sourceList(), resultBox(), targetList()};
    int beeps = services.beepCount();
    for (QWidget *control : controls) {
        control->setFocus();
        QTest::keyClick(w.windowHandle(), Qt::Key_Return);
        EXPECT_EQ(services.beepCount(), ++beeps) << control->objectName().toStdString();
        EXPECT_EQ(w.lastResult(), u"2 (km) => 2000 (m)\r\n"_s) << control->objectName().toStdString();
    }
    EXPECT_EQ(valueBox()->text(), u"2"_s);  // the filter discarded the Enter character
    // Ctrl+Enter is Enter.
    valueBox()->setFocus();
    QTest::keyClick(w.windowHandle(), Qt::Key_Enter, Qt::ControlModifier);
    EXPECT_EQ(services.beepCount(), ++beeps);
}

TEST_F(MainWindowTest, ShiftEnterConvertsIntoEveryUnit)
{
    writeStandardSeries();
    frmMain &w = startShown();
    valueBox()->setText(u"1"_s);
    sourceList()->setCurrentIndex(1);
    const Qt::KeyboardModifiers modifiers[] = {Qt::ShiftModifier, Qt::ShiftModifier | Qt::ControlModifier};
    for (Qt::KeyboardModifiers mods : modifiers) {
        QString shown;
        answerNextModal([&shown](QWidget *modal) {
            EXPECT_EQ(modal->objectName(), u"frmAll"_s);
            shown = modal->findChild<QWidget *>(u"txtAllAns"_s)->property("plainText").toString();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        valueBox()->setFocus();
        QTest::keyClick(w.windowHandle(), Qt::Key_Return, mods);
        EXPECT_EQ(shown, u"1 (km) => 1000 (m)\n1 (km) => 1 (km)\n1 (km) => 100000 (cm)"_s) << int(mods);
        EXPECT_EQ(targetList()->currentIndex(), 0);
        EXPECT_EQ(resultBox()->text(), u"0"_s);
        EXPECT_TRUE(action("Menu_SendClipBoard")->isEnabled());
    }
}

TEST_F(MainWindowTest, ClipboardCommandOnlyAfterASuccessfulConversion)
{
    writeStandardSeries();
    frmMain &w = startShown();
    valueBox()->setFocus();
    QTest::keyClick(w.windowHandle(), Qt::Key_C, Qt::ControlModifier);
    w.Menu_SendClipBoard_Click();
    EXPECT_TRUE(services.clipboardWrites.empty());
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(valueBox()->text(), u"0"_s);

    valueBox()->setText(u"3"_s);
    sourceList()->setCurrentIndex(1);
    w.ConvertValue();
    QTest::keyClick(w.windowHandle(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(services.clipboardWrites.size(), 1u);
    EXPECT_EQ(services.clipboard, u"3 (km) => 3000 (m)\r\n"_s);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, u"クリップボードへ情報を送りました。"_s);
    EXPECT_EQ(services.boxes[0].title, u"Tovel"_s);
    EXPECT_EQ(services.boxes[0].style, 64);

    // The read-only result box gives way to the command as well.
    resultBox()->setFocus();
    resultBox()->selectAll();
    QTest::keyClick(w.windowHandle(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(services.clipboardWrites.size(), 2u);

    // A clipboard that cannot be written is said, not ignored.
    services.clipboardFails = true;
    w.Menu_SendClipBoard_Click();
    EXPECT_EQ(services.boxes.back().style, 48);
}

TEST_F(MainWindowTest, AcceleratorsWorkFromTheValueBox)
{
    writeStandardSeries();
    frmMain &w = startShown();
    valueBox()->setText(u"5"_s);
    sourceList()->setCurrentIndex(2);
    targetList()->setCurrentIndex(1);
    w.ConvertValue();
    valueBox()->setFocus();

    QTest::keyClick(w.windowHandle(), Qt::Key_D, Qt::ControlModifier);  // Clear
    EXPECT_EQ(sourceList()->currentIndex(), 0);
    EXPECT_EQ(targetList()->currentIndex(), 0);
    EXPECT_EQ(valueBox()->text(), u"0"_s);
    EXPECT_EQ(resultBox()->text(), u"0"_s);
    EXPECT_FALSE(action("Menu_SendClipBoard")->isEnabled());
    EXPECT_EQ(seriesList()->currentText(), u"length"_s);

    QTest::keyClick(w.windowHandle(), Qt::Key_F, Qt::ControlModifier);  // always on top
    EXPECT_TRUE(w.isTopMost());
    EXPECT_TRUE(action("Menu_Front")->isChecked());
    EXPECT_EQ(w.front(), -1);
    action("Menu_Front")->trigger();
    EXPECT_FALSE(w.isTopMost());
    EXPECT_FALSE(action("Menu_Front")->isChecked());
    EXPECT_EQ(w.front(), 0);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindowTest, PasteAndCutKeysDoNothingInTheValueBox)
{
    writeStandardSeries();
    frmMain &w = startShown();
    QApplication::clipboard()->setText(u"987"_s);
    valueBox()->setFocus();
    valueBox()->setText(u"12"_s);
    valueBox()->selectAll();
    QTest::keyClick(w.windowHandle(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(w.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(valueBox()->text(), u"12"_s);
}

TEST_F(MainWindowTest, LayoutFollowsTheDesignedTable)
{
    writeStandardSeries();
    startShown();
    EXPECT_EQ(window->centralWidget()->size(), QSize(234, 157));
    EXPECT_EQ(valueBox()->geometry(), QRect(52, 12, 147, 18));
    EXPECT_EQ(seriesList()->geometry(), QRect(56, 132, 164, 20));
    EXPECT_EQ(child<QGroupBox>("frmBeforeConvert")->title(), u"変換前"_s);
    EXPECT_EQ(child<QGroupBox>("frmAfterConvert")->title(), u"変換後"_s);
    EXPECT_EQ(child<QLabel>("lblLabel_0")->text(), u"単位系"_s);
    EXPECT_TRUE(resultBox()->isReadOnly());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);

    // Focus order from the series list.
    QWidget *expected[] = {valueBox(), sourceList(), resultBox(), targetList()};
    seriesList()->setFocus();
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }

    const QStringList menus = {u"変換(&V)"_s, u"操作(&T)"_s, u"その他(&O)"_s};
    QStringList shown;
    for (QAction *a : window->menuBar()->actions())
        shown << a->text();
    EXPECT_EQ(shown, menus);
    // A screen reader hears the name and the shortcut apart.
    const QMenu *convert = window->findChild<QMenu *>(u"Menu_Convert"_s);
    const std::pair<QString, QString> spoken[] = {{u"通常変換(N)"_s, u"Enter"_s}, {u"一括変換(A)"_s, u"Shift+Enter"_s}};
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(const_cast<QMenu *>(convert));
    ASSERT_EQ(menu->childCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(menu->child(i)->text(QAccessible::Name), spoken[i].first);
        EXPECT_EQ(menu->child(i)->text(QAccessible::Accelerator), spoken[i].second);
    }
    EXPECT_EQ(action("Menu_Clear")->shortcut(), QKeySequence(u"Ctrl+D"_s));
    EXPECT_EQ(action("Menu_SendClipBoard")->shortcut(), QKeySequence(u"Ctrl+C"_s));
    EXPECT_EQ(action("Menu_Front")->shortcut(), QKeySequence(u"Ctrl+F"_s));
    EXPECT_EQ(action("Menu_Setting")->shortcut(), QKeySequence(u"Ctrl+S"_s));
    EXPECT_EQ(action("Menu_ShowHelp")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(action("Menu_End")->text(), u"終了(&X)"_s);
}

TEST_F(MainWindowTest, EndingThroughTheMenuWritesEveryKeyOnce)
{
    writeStandardSeries();
    frmMain &w = start();
    selectSeries(u"temperature"_s);
    w.move(100, 50);
    action("Menu_Front")->trigger();
    action("Menu_End")->trigger();
    EXPECT_EQ(services.ends, 1);
    const QByteArray ini = iniBytes();
    EXPECT_EQ(keyOf(ini, "ShowAns"), u"0"_s);
    EXPECT_EQ(keyOf(ini, "MaxPlace"), u"15"_s);
    EXPECT_EQ(keyOf(ini, "UnitSeries"), u"0"_s);
    EXPECT_EQ(keyOf(ini, "LastUnitSeries"), QString::number(seriesList()->findText(u"temperature"_s)));
    EXPECT_EQ(keyOf(ini, "Front"), u"-1"_s);
    EXPECT_EQ(keyOf(ini, "MainFormTop"), u"750"_s);
    EXPECT_EQ(keyOf(ini, "MainFormLeft"), u"1500"_s);
    EXPECT_EQ(keyOf(ini, "WinPos"), u"0"_s);
    EXPECT_TRUE(ini.contains("[FormSet]\r\n"));
    EXPECT_TRUE(ini.contains("[CalcSet]\r\n"));

    // The end has happened: closing afterwards must not write again.
    writeIni("untouched");
    w.close();
    EXPECT_EQ(iniBytes(), QByteArray("untouched"));
    EXPECT_EQ(services.ends, 1);
}

TEST_F(MainWindowTest, WhereWindowPositionsAreUnknownTheStoredOneStays)
{
    writeStandardSeries();
    writeIni("[FormSet]\r\nFront=0\r\nWinPos=0\r\nMainFormTop=3000\r\nMainFormLeft=4500\r\n");
    services.positionsKnown = false;  // native Wayland
    frmMain &w = start();
    w.move(-45, -450);
    action("Menu_Front")->trigger();
    action("Menu_End")->trigger();
    const QByteArray ini = iniBytes();
    EXPECT_EQ(keyOf(ini, "MainFormTop"), u"3000"_s);
    EXPECT_EQ(keyOf(ini, "MainFormLeft"), u"4500"_s);
    EXPECT_EQ(keyOf(ini, "Front"), u"-1"_s);  // the rest is saved
}

TEST_F(MainWindowTest, ClosingTheWindowSavesOverAFileWithCommentsKeepingTheRest)
{
    writeStandardSeries();
    writeIni("; my notes\r\n[Other]\r\nkey=value\r\n\r\n[FormSet]\r\nFront=0\r\nWinPos=0\r\n"
             "MainFormTop=750\r\nMainFormLeft=1500\r\n\r\n[CalcSet]\r\nShowAns=1\r\nMaxPlace=20\r\nSigDigits=15\r\n"
             "UnitSeries=0\r\nLastUnitSeries=0\r\nUseFormula=0\r\n[UnitPairs]\r\nRemember=1\r\nPair1=length|m|m\r\n");
    const QByteArray before = iniBytes();
    frmMain &w = startShown();
    w.move(100, 50);
    w.close();
    EXPECT_EQ(services.ends, 1);
    EXPECT_EQ(iniBytes(), before);  // same values, same bytes
    w.close();
    EXPECT_EQ(services.ends, 1);
}

TEST_F(MainWindowTest, SettingsDialogChangesGovernTheNextConversionAtOnce)
{
    writeStandardSeries();
    frmMain &w = startShown();
    valueBox()->setText(u"1234.5"_s);
    w.ConvertValue();
    EXPECT_EQ(resultBox()->text(), u"1234.5"_s);

    answerNextModal([](QWidget *modal) {
        EXPECT_EQ(modal->objectName(), u"frmSet"_s);
        modal->findChild<QAbstractButton *>(u"optShowAns_1"_s)->click();
        modal->findChild<QAbstractButton *>(u"optWinPos_1"_s)->click();
        modal->findChild<QAbstractButton *>(u"cmdOK"_s)->click();
    });
    QTest::keyClick(w.windowHandle(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(w.showAns(), 1);
    EXPECT_EQ(w.winPos(), 1);
    w.ConvertValue();
    EXPECT_EQ(resultBox()->text(), u"1,234.5"_s);

    // Cancel after an Apply: the applied values are taken over all the same.
    answerNextModal([](QWidget *modal) {
        modal->findChild<QAbstractButton *>(u"optShowAns_2"_s)->click();
        modal->findChild<QAbstractButton *>(u"cmdAppli"_s)->click();
        modal->findChild<QAbstractButton *>(u"cmdCancel"_s)->click();
    });
    action("Menu_Setting")->trigger();
    EXPECT_EQ(w.showAns(), 2);
    w.ConvertValue();
    EXPECT_EQ(resultBox()->text(), u"1.23E+03"_s);

    // The end writes back what the dialog left.
    action("Menu_End")->trigger();
    EXPECT_EQ(keyOf(iniBytes(), "ShowAns"), u"2"_s);
    EXPECT_EQ(keyOf(iniBytes(), "WinPos"), u"1"_s);
}

TEST_F(MainWindowTest, HelpAndVersionCommandsReachTheirWindows)
{
    writeStandardSeries();
    frmMain &w = startShown();
    QTest::keyClick(w.windowHandle(), Qt::Key_F1);
    ASSERT_EQ(services.opened.size(), 1);
    EXPECT_EQ(services.opened[0], dir.filePath(u"readme.txt"_s));

    QString title;
    answerNextModal([&title](QWidget *modal) {
        title = modal->windowTitle();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    action("Menu_Version")->trigger();
    EXPECT_EQ(title, u"バージョン情報"_s);
}

TEST_F(MainWindowTest, SwapTurnsTheUnitsRoundAndRunsTheShownResultBack)
{
    writeStandardSeries();
    frmMain &w = startShown();
    struct Case {
        const char *series;
        int source;
        int target;
        const char *typed;
        const char *result;
    };
    const Case cases[] = {
        {"length", 0, 1, "1500", "1.5"},
        {"temperature", 0, 2, "100", "212"},  // an offset on one side
        {"進数", 8, 14, "255", "FF"},         // the digits of the new source radix
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.series);
        selectSeries(QString::fromUtf8(c.series));
        sourceList()->setCurrentIndex(c.source);
        targetList()->setCurrentIndex(c.target);
        valueBox()->setText(QString::fromUtf8(c.typed));
        w.ConvertValue();
        ASSERT_EQ(resultBox()->text(), QString::fromUtf8(c.result));
        QTest::keyClick(w.windowHandle(), Qt::Key_R, Qt::ControlModifier);
        EXPECT_EQ(sourceList()->currentIndex(), c.target);
        EXPECT_EQ(targetList()->currentIndex(), c.source);
        EXPECT_EQ(valueBox()->text(), QString::fromUtf8(c.result));
        EXPECT_EQ(resultBox()->text(), QString::fromUtf8(c.typed));
        EXPECT_TRUE(services.boxes.empty());
    }

    // Once the value has changed the result is no longer its result: only
    // the units change.
    selectSeries(u"length"_s);
    valueBox()->setText(u"2"_s);
    sourceList()->setCurrentIndex(1);
    w.ConvertValue();
    valueBox()->setText(u"7"_s);
    action("Menu_Swap")->trigger();
    EXPECT_EQ(sourceList()->currentIndex(), 0);
    EXPECT_EQ(targetList()->currentIndex(), 1);
    EXPECT_EQ(valueBox()->text(), u"7"_s);
    EXPECT_EQ(resultBox()->text(), u"2000"_s);
}

// A swap gives back the value itself, not what its shown digits read as.
TEST_F(MainWindowTest, SwapGivesBackTheValueExactlyUntilTheValueIsEdited)
{
    writeStandardSeries();
    writeSeries(u"fuel.dat"_s, "1\r\n\"km/L\",1,0,1,1\r\n\"#逆数\",\"L/100km\",100,1,1\r\n");
    writeSeries(u"shaku.dat"_s,
                "3\r\n\"m\",1,0,1,1\r\n\"尺\",0.30303030303030304,0,1,1\r\n"
                "\"寸\",0.030303030303030304,0,1,1\r\n\"#併記\",\"尺・寸\",尺,寸\r\n");
    frmMain &w = startShown();
    struct Case {
        const char *series;
        int source;
        int target;
        const char *typed;
        const char *result;
        int swappedSource;  // the source after the swap
        const char *swappedValue;
        const char *back;  // the result after the swap
    };
    const Case cases[] = {
        {"fuel", 1, 0, "7", "14.2857142857143", 0, "14.2857142857143", "7"},  // 6.99999999999999 from the text
        {"temperature", 0, 2, "-40", "-40", 2, "-40", "-40"},
        {"fuel", 0, 1, "0", "∞", 1, "∞", "0"},                    // 0 km/L is ∞ L/100km, and back
        {"shaku", 0, 3, "1.6", "5 尺 2.8 寸", 2, "52.8", "1.6"},  // back from its last unit
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.series) + " " + c.typed);
        selectSeries(QString::fromUtf8(c.series));
        sourceList()->setCurrentIndex(c.source);
        targetList()->setCurrentIndex(c.target);
        valueBox()->setText(QString::fromUtf8(c.typed));
        w.ConvertValue();
        ASSERT_EQ(resultBox()->text(), QString::fromUtf8(c.result));
        QTest::keyClick(w.windowHandle(), Qt::Key_R, Qt::ControlModifier);
        EXPECT_EQ(sourceList()->currentIndex(), c.swappedSource);
        EXPECT_EQ(targetList()->currentIndex(), c.source);
        EXPECT_EQ(valueBox()->text(), QString::fromUtf8(c.swappedValue));
        EXPECT_EQ(resultBox()->text(), QString::fromUtf8(c.back));
        w.ConvertValue();  // again, while the text is unchanged
        EXPECT_EQ(resultBox()->text(), QString::fromUtf8(c.back));
        EXPECT_TRUE(services.boxes.empty());
    }

    // An edit, even one that leaves the same text, drops the kept value.
    selectSeries(u"fuel"_s);
    sourceList()->setCurrentIndex(1);
    targetList()->setCurrentIndex(0);
    valueBox()->setText(u"7"_s);
    w.ConvertValue();
    QTest::keyClick(w.windowHandle(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(resultBox()->text(), u"7"_s);
    valueBox()->setFocus();
    valueBox()->end(false);
    QTest::keyClick(valueBox(), Qt::Key_Backspace);
    QTest::keyClick(valueBox(), Qt::Key_3);
    EXPECT_EQ(valueBox()->text(), u"14.2857142857143"_s);
    w.ConvertValue();
    EXPECT_EQ(resultBox()->text(), u"6.99999999999999"_s);

    // The run into every unit takes the kept value too: "∞" reads as no number.
    sourceList()->setCurrentIndex(0);
    targetList()->setCurrentIndex(1);
    valueBox()->setText(u"0"_s);
    w.ConvertValue();
    QTest::keyClick(w.windowHandle(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(valueBox()->text(), u"∞"_s);
    answerNextModal([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    w.ConvertToAllUnits();
    EXPECT_EQ(w.lastResult(), u"∞ (L/100km) => 0 (km/L)\r\n∞ (L/100km) => ∞ (L/100km)\r\n"_s);
    EXPECT_TRUE(services.boxes.empty());
}

// Values in several units are targets only: after the units of the target
// list, not in the source list, not in the run into every unit.
TEST_F(MainWindowTest, ValuesInSeveralUnitsFollowTheUnitsOfTheTargetListOnly)
{
    writeIni("[CalcSet]\r\nSigDigits=2\r\n");
    writeSeries(u"shaku.dat"_s,
                "3\r\n\"m\",1,0,1,1\r\n\"尺\",0.30303030303030304,0,1,1\r\n"
                "\"寸\",0.030303030303030304,0,1,1\r\n\"#併記\",\"尺・寸\",尺,寸\r\n");
    frmMain &w = startShown();
    EXPECT_EQ(w.sigDigits(), 2);
    EXPECT_EQ(sourceList()->count(), 3);
    ASSERT_EQ(targetList()->count(), 4);
    EXPECT_EQ(targetList()->itemText(3), u"尺・寸"_s);
    valueBox()->setText(u"1.8181"_s);
    targetList()->setCurrentIndex(3);
    w.ConvertValue();
    EXPECT_EQ(resultBox()->text(), u"6 尺 0 寸"_s);  // 5 尺 9.9973 寸 at 2 digits
    EXPECT_EQ(w.lastResult(), u"1.8181 (m) => 6 (尺) 0 (寸)\r\n"_s);
    action("Menu_SendValue")->trigger();
    EXPECT_EQ(services.clipboard, u"6 尺 0 寸"_s);  // the value-only copy is the result text
    targetList()->setCurrentIndex(1);
    w.ConvertValue();
    EXPECT_EQ(resultBox()->text(), u"6"_s);  // 5.99973 尺 at 2 digits
    answerNextModal([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    w.ConvertToAllUnits();
    EXPECT_EQ(w.lastResult().count(u"\r\n"_s), 3);
}

TEST_F(MainWindowTest, ValueOnlyCopyTakesTheResultTextsWithoutUnits)
{
    writeStandardSeries();
    frmMain &w = startShown();
    EXPECT_FALSE(action("Menu_SendValue")->isEnabled());
    valueBox()->setText(u"3"_s);
    sourceList()->setCurrentIndex(1);
    w.ConvertValue();
    const int beeps = services.beepCount();
    resultBox()->setFocus();
    QTest::keyClick(w.windowHandle(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(services.clipboard, u"3000"_s);
    EXPECT_EQ(services.beepCount(), beeps + 1);  // no message box: the sound says it
    EXPECT_TRUE(services.boxes.empty());

    answerNextModal([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    w.ConvertToAllUnits();
    action("Menu_SendValue")->trigger();
    EXPECT_EQ(services.clipboard, u"3000\r\n3\r\n300000\r\n"_s);
}

TEST_F(MainWindowTest, EachSeriesComesBackWithItsLastUnits)
{
    writeStandardSeries();
    frmMain &w = start();
    sourceList()->setCurrentIndex(1);  // km
    targetList()->setCurrentIndex(2);  // cm
    selectSeries(u"temperature"_s);
    targetList()->setCurrentIndex(1);
    selectSeries(u"length"_s);
    EXPECT_EQ(sourceList()->currentText(), u"km"_s);
    EXPECT_EQ(targetList()->currentText(), u"cm"_s);
    w.Menu_End_Click();
    EXPECT_TRUE(iniBytes().contains("[UnitPairs]\r\nRemember=1\r\nPair1=length|km|cm\r\nPair2=temperature|C|K\r\n"));

    // Across a restart; a unit renamed since falls back to the first one.
    writeSeries(u"length.dat"_s, "3\r\n\"m\",1,0,1,1\r\n\"kilometre\",1000,0,1,1\r\n\"cm\",0.01,0,1,1\r\n");
    start();
    EXPECT_EQ(sourceList()->currentText(), u"m"_s);
    EXPECT_EQ(targetList()->currentText(), u"cm"_s);

    // Turned off: the first units, as before there was a memory.
    action("Menu_RememberPairs")->trigger();
    selectSeries(u"temperature"_s);
    EXPECT_EQ(targetList()->currentIndex(), 0);
    window->Menu_End_Click();
    EXPECT_EQ(keyOf(iniBytes(), "Remember"), u"0"_s);
    start();
    EXPECT_FALSE(action("Menu_RememberPairs")->isChecked());
    EXPECT_EQ(sourceList()->currentIndex(), 0);
}

TEST_F(MainWindowTest, FinderPutsTheChosenUnitOnItsSide)
{
    writeStandardSeries();
    writeSeries(u"zone.DAT"_s, "1\r\n\"tsubo\",1,0,1,1\r\n\"#別名\",\"tsubo\",\"坪\"\r\n");
    frmMain &w = startShown();
    sourceList()->setCurrentIndex(1);  // length remembers km
    selectSeries(u"進数"_s);
    struct Case {
        const char *typed;
        Qt::KeyboardModifiers modifiers;
        const char *series;
        const char *source;
        const char *target;
        const char *listed;  // the first entry of the finder's list
    };
    const Case cases[] = {
        // Exact match first: "K" of temperature before "km" of length.
        {"k", Qt::NoModifier, "temperature", "K", "C", "K — temperature"},
        // Into the target list; the series' remembered source stays.
        {"ｃｍ", Qt::ShiftModifier, "length", "km", "cm", "cm — length"},
        {"１６進", Qt::NoModifier, "進数", "16進数", "2進数", "16進数 — 進数"},
        // By an alias its file gives it, which the list shows.
        {"坪", Qt::NoModifier, "zone.DAT", "tsubo", "tsubo", "tsubo — zone.DAT (坪)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        QString title;
        QString listed;
        w.activateWindow();  // back from the last modal window
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        answerNextModal([&c, &title, &listed](QWidget *modal) {
            title = modal->windowTitle();
            auto *box = modal->findChild<QLineEdit *>(u"txtFind"_s);
            box->setText(QString::fromUtf8(c.typed));
            listed = modal->findChild<QListView *>(u"lstFound"_s)->model()->index(0, 0).data().toString();
            QTest::keyClick(box, Qt::Key_Return, c.modifiers);
        });
        QTest::keyClick(w.windowHandle(), Qt::Key_K, Qt::ControlModifier);
        EXPECT_EQ(title, u"単位を探す"_s);
        EXPECT_EQ(listed, QString::fromUtf8(c.listed));
        EXPECT_EQ(seriesList()->currentText(), QString::fromUtf8(c.series));
        EXPECT_EQ(sourceList()->currentText(), QString::fromUtf8(c.source));
        EXPECT_EQ(targetList()->currentText(), QString::fromUtf8(c.target));
        EXPECT_EQ(w.focusWidget(), valueBox());
        EXPECT_EQ(valueBox()->selectedText(), valueBox()->text());
    }
    // The title bar's close button (and Alt+F4) closes the finder without a choice.
    bool closed = false;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    answerNextModal([&closed](QWidget *modal) {
        modal->findChild<QLineEdit *>(u"txtFind"_s)->setText(u"k"_s);
        modal->close();
        closed = !modal->isVisible();
    });
    QTest::keyClick(w.windowHandle(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(closed);
    EXPECT_EQ(sourceList()->currentText(), u"tsubo"_s);
}
