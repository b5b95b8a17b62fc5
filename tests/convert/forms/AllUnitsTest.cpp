// Conversion into every unit: the lines shown, the state after the window
// closes, a failure part-way, an empty series, and one beep for the run.

#include "MainWindowFixture.h"

#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

class AllUnitsTest : public MainWindowFixture {
protected:
    // Runs the command and closes the result window through its button,
    // returning what the window showed.
    QString runAndClose(frmMain &w)
    {
        QString shown;
        bool buttonFocused = false;
        bool closeRefused = false;
        answerNextModal([&](QWidget *modal) {
            auto *text = modal->findChild<QPlainTextEdit *>(u"txtAllAns"_s);
            auto *button = modal->findChild<QPushButton *>(u"cmdClose"_s);
            shown = text->toPlainText();
            buttonFocused = modal->focusWidget() == button;
            EXPECT_TRUE(text->isReadOnly());
            EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
            EXPECT_EQ(modal->windowTitle(), u"一括変換結果"_s);
            modal->close();  // the window manager's close request is refused
            closeRefused = modal->isVisible();
            button->click();
        });
        w.ConvertToAllUnits();
        EXPECT_TRUE(buttonFocused);
        EXPECT_TRUE(closeRefused);
        return shown;
    }
};

TEST_F(AllUnitsTest, EveryUnitGetsALineInListOrder)
{
    writeStandardSeries();
    frmMain &w = start();
    selectSeries(u"進数"_s);
    sourceList()->setCurrentIndex(14);
    valueBox()->setText(u"ff"_s);
    const int beeps = services.beepCount();
    const QString shown = runAndClose(w);
    const QStringList lines = shown.split(u'\n');
    ASSERT_EQ(lines.size(), 35);
    EXPECT_EQ(lines[0], u"ff (16進数) => 11111111 (2進数)"_s);
    EXPECT_EQ(lines[14], u"ff (16進数) => ff (16進数)"_s);
    EXPECT_EQ(lines[34], u"ff (16進数) => 73 (36進数)"_s);
    EXPECT_EQ(services.beepCount(), beeps + 1);
    EXPECT_EQ(w.lastResult().count(u"\r\n"_s), 35);
    EXPECT_FALSE(w.allConvRunning());
    EXPECT_EQ(targetList()->currentIndex(), 0);
    EXPECT_EQ(resultBox()->text(), u"0"_s);
    EXPECT_TRUE(action("Menu_SendClipBoard")->isEnabled());
    w.Menu_SendClipBoard_Click();
    EXPECT_EQ(services.clipboard, w.lastResult());
}

TEST_F(AllUnitsTest, FailureAtTheThirdUnitStopsTheRun)
{
    writeSeries(u"broken.dat"_s, "4\r\n\"a\",1,0,1,1\r\n\"b\",2,0,1,1\r\n\"zero\",0,0,1,1\r\n\"d\",4,0,1,1\r\n");
    frmMain &w = start();
    valueBox()->setText(u"8"_s);
    const int beeps = services.beepCount();
    w.ConvertToAllUnits();  // no window may open: nothing answers one
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(services.boxes[0].text.startsWith(u"エラー ： 原因不明"_s));
    EXPECT_EQ(services.beepCount(), beeps);
    EXPECT_TRUE(w.lastResult().isEmpty());
    EXPECT_FALSE(w.allConvRunning());
    EXPECT_FALSE(action("Menu_SendClipBoard")->isEnabled());
    EXPECT_EQ(targetList()->currentIndex(), 2);
    EXPECT_EQ(resultBox()->text(), u"4"_s);
    EXPECT_EQ(valueBox()->text(), u"0"_s);
}

TEST_F(AllUnitsTest, EmptySeriesOpensAnEmptyWindow)
{
    writeSeries(u"empty.dat"_s, "0\r\n");
    frmMain &w = start();
    const int beeps = services.beepCount();
    EXPECT_EQ(runAndClose(w), QString());
    EXPECT_EQ(services.beepCount(), beeps + 1);
    EXPECT_TRUE(services.boxes.empty());
}
