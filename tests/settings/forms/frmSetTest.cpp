// The settings dialog driven like a user would: what it shows on opening,
// the mirrored digit limit, the Apply button, and what OK, Apply, Cancel
// and Esc leave in the settings file.
#include "settings/forms/frmSet.h"
#include "settings/modFileFuncs.h"

#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

namespace {

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Tovelset.ini");
    }

    void store(const QByteArray &contents)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(contents), contents.size());
    }

    QByteArray stored() const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<no file>");
        return file.readAll();
    }

    // Opens the dialog as the main window does, but without blocking.
    frmSet &open()
    {
        dialog = std::make_unique<frmSet>(path, &owner);
        dialog->Form_Load();
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return *dialog;
    }

    template<typename T>
    T *control(const char *name) const
    {
        T *widget = dialog->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QLineEdit *text() const { return control<QLineEdit>("txtPlaceNum"); }
    QScrollBar *bar() const { return control<QScrollBar>("vscPlaceNum"); }
    QPushButton *apply() const { return control<QPushButton>("cmdAppli"); }
    bool checked(const char *name) const { return control<QRadioButton>(name)->isChecked(); }

    // Replaces the whole text of the limit box by typing.
    void type(const QString &keys)
    {
        text()->setFocus();
        text()->selectAll();
        QTest::keyClick(text(), Qt::Key_Delete);
        QTest::keyClicks(text(), keys);
    }

    // Clicks the scroll bar's upper (SubLine) or lower (AddLine) arrow.
    void clickArrow(QStyle::SubControl arrow)
    {
        QStyleOptionSlider option;
        option.initFrom(bar());
        option.orientation = Qt::Vertical;
        option.minimum = bar()->minimum();
        option.maximum = bar()->maximum();
        option.sliderPosition = bar()->sliderPosition();
        option.sliderValue = bar()->value();
        option.singleStep = bar()->singleStep();
        option.pageStep = bar()->pageStep();
        option.subControls = QStyle::SC_All;
        const QRect rect = bar()->style()->subControlRect(QStyle::CC_ScrollBar, &option, arrow, bar());
        ASSERT_TRUE(rect.isValid());
        QTest::mouseClick(bar(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }

    QTemporaryDir dir;
    QString path;
    QWidget owner;
    std::unique_ptr<frmSet> dialog;
};

TEST_F(SettingsDialog, CaptionsAndTitleAreExact)
{
    open();
    EXPECT_EQ(dialog->objectName(), "frmSet");
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("設定"));
    const struct {
        const char *name;
        const char *caption;
    } radios[] = {
        {"optShowAns_0", "数字で （そのまま）"},
        {"optShowAns_1", "数字で （\"，\"で区切る）"},
        {"optShowAns_2", "指数で"},
        {"optWinPos_0", "前回終了時の場所"},
        {"optWinPos_1", "常に中央"},
        {"optUnitSeries_0", "前回終了時の単位系"},
        {"optUnitSeries_1", "ランダム"},
    };
    for (const auto &r : radios)
        EXPECT_EQ(control<QRadioButton>(r.name)->text(), QString::fromUtf8(r.caption)) << r.name;
    const struct {
        const char *name;
        const char *caption;
    } labels[] = {
        {"Label2", "上限桁数 (4 - 50(桁))"},
        {"Label1_0", "※指数形式がふさわしくない場合は、無視します。"},
        {"Label1_1", "※桁数が「上限桁数」を超えた場合は、無視します。"},
        {"Label1_2", "※区切りがふさわしくない場合は、無視します。"},
        {"lblSigDigits", "有効数字(&G)"},
        {"lblSigDigitsUnit", "桁"},
    };
    for (const auto &l : labels)
        EXPECT_EQ(control<QLabel>(l.name)->text(), QString::fromUtf8(l.caption)) << l.name;
    EXPECT_EQ(control<QPushButton>("cmdOK")->text(), "OK");
    EXPECT_EQ(control<QPushButton>("cmdCancel")->text(), QString::fromUtf8("キャンセル"));
    EXPECT_EQ(apply()->text(), QString::fromUtf8("適用(&A)"));
    EXPECT_EQ(text()->maxLength(), 2);
    EXPECT_EQ(dialog->size(), QSize(343, 295));  // 5145 x 4425 twips at 96 dpi
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(IsCloseMenuDisabled(dialog.get()));
}

TEST_F(SettingsDialog, NoCaptionIsCutAtTheFontInUse)
{
    open();
    for (QWidget *caption : dialog->findChildren<QWidget *>()) {
        if (!qobject_cast<QLabel *>(caption) && !qobject_cast<QRadioButton *>(caption))
            continue;
        SCOPED_TRACE(caption->objectName().toStdString());
        EXPECT_GE(caption->width(), caption->sizeHint().width());
        const QString captionText = qobject_cast<QLabel *>(caption) ? qobject_cast<QLabel *>(caption)->text()
                                                                    : qobject_cast<QRadioButton *>(caption)->text();
        QTextLayout layout(captionText, caption->font());
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(10000);
        layout.endLayout();
        EXPECT_GE(caption->height(), line.height());
        // Still inside its frame, and clear of its neighbours on the right.
        EXPECT_TRUE(caption->parentWidget()->rect().contains(caption->geometry()));
    }
    EXPECT_LE(control<QLabel>("Label2")->geometry().right(), text()->geometry().left());
    EXPECT_LE(control<QRadioButton>("optWinPos_0")->geometry().right(),
              control<QRadioButton>("optWinPos_1")->geometry().left());
    EXPECT_LE(control<QRadioButton>("optUnitSeries_0")->geometry().right(),
              control<QRadioButton>("optUnitSeries_1")->geometry().left());
}

TEST_F(SettingsDialog, OpeningShowsWhatTheFileHolds)
{
    struct Case {
        const char *name;
        QByteArray file;  // empty: no settings file
        const char *showAns;
        const char *limitText;
        int barValue;  // the bar's own value: 4 at its top end (50), 50 at its bottom end (4)
        const char *winPos;
        const char *unitSeries;
    };
    const Case cases[] = {
        {"noFile", "", "optShowAns_0", "15", 39, "optWinPos_0", "optUnitSeries_0"},
        {"limitAtBottomEnd", "[CalcSet]\r\nMaxPlace=4\r\n", "optShowAns_0", "4", 50, "optWinPos_0", "optUnitSeries_0"},
        {"everyKeySet", "[CalcSet]\nShowAns=2\nMaxPlace=50\nUnitSeries=1\n[FormSet]\nWinPos=1\n", "optShowAns_2", "50",
         4, "optWinPos_1", "optUnitSeries_1"},
        {"garbage", "[CalcSet]\r\nShowAns=7\r\nMaxPlace=abc\r\nUnitSeries=-1\r\n[FormSet]\r\nWinPos=2\r\n",
         "optShowAns_0", "15", 39, "optWinPos_0", "optUnitSeries_0"},
        {"outOfRangeLimit", "[CalcSet]\r\nShowAns=1\r\nMaxPlace=51\r\n", "optShowAns_1", "15", 39, "optWinPos_0",
         "optUnitSeries_0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        if (!c.file.isEmpty())
            store(c.file);
        open();
        EXPECT_TRUE(checked(c.showAns));
        EXPECT_EQ(text()->text(), QString::fromLatin1(c.limitText));
        EXPECT_EQ(bar()->value(), c.barValue);
        EXPECT_TRUE(checked(c.winPos));
        EXPECT_TRUE(checked(c.unitSeries));
        EXPECT_FALSE(apply()->isEnabled());
        EXPECT_TRUE(dialog->isVisible());
    }
    EXPECT_EQ(bar()->minimum(), 4);
    EXPECT_EQ(bar()->maximum(), 50);
}

TEST_F(SettingsDialog, TypedLimitsMoveTheBarOnlyWithinFourToFifty)
{
    // Typed key by key, each character is a change of its own: typing "51"
    // first accepts 5. Pasted (at once), "51" leaves the limit alone.
    // An input method commits its text at once, full-width as a Japanese
    // one has it.
    enum How { Keys, Pasted, InputMethod };
    struct Case {
        const char *typed;
        How how;
        const char *shown;
        int limit;  // on the bar and saved by OK
    };
    const Case cases[] = {
        {"3", Keys, "3", 15},
        {"51", Pasted, "51", 15},
        {"51", Keys, "51", 5},
        {"7", Keys, "7", 7},
        {"4", Keys, "4", 4},
        {"50", Keys, "50", 50},
        {"ab", Keys, "ab", 15},
        {"", Keys, "", 15},
        {"07", Keys, "7", 7},
        {"123", Keys, "12", 12},
        {"-5", Keys, "-5", 15},
        {" 9", Pasted, "9", 9},
        {"２０", InputMethod, "20", 20},
        {"３", InputMethod, "3", 15},
        {"ab", InputMethod, "ab", 15},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        QFile::remove(path);
        open();
        if (c.how == Pasted) {
            text()->selectAll();
            text()->insert(QString::fromLatin1(c.typed));
        } else if (c.how == InputMethod) {
            text()->selectAll();
            QInputMethodEvent commit;
            commit.setCommitString(QString::fromUtf8(c.typed));
            QCoreApplication::sendEvent(text(), &commit);
        } else {
            type(QString::fromLatin1(c.typed));
        }
        EXPECT_EQ(text()->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(bar()->value(), 54 - c.limit);
        EXPECT_FALSE(apply()->isEnabled());
        control<QPushButton>("cmdOK")->click();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(stored(),
                  QByteArray("[CalcSet]\r\nShowAns=0\r\nMaxPlace=") + QByteArray::number(c.limit)
                      + "\r\nSigDigits=15\r\nUnitSeries=0\r\n[FormSet]\r\nWinPos=0\r\n");
    }
}

TEST_F(SettingsDialog, ArrowsStepOneAndStopAtBothEnds)
{
    struct Case {
        QByteArray stored;
        QStyle::SubControl arrow;
        const char *shown;
    };
    const Case cases[] = {
        {"50", QStyle::SC_ScrollBarSubLine, "50"}, {"50", QStyle::SC_ScrollBarAddLine, "49"},
        {"4", QStyle::SC_ScrollBarAddLine, "4"},   {"4", QStyle::SC_ScrollBarSubLine, "5"},
        {"15", QStyle::SC_ScrollBarSubLine, "16"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored.constData());
        store("[CalcSet]\r\nMaxPlace=" + c.stored + "\r\n");
        open();
        clickArrow(c.arrow);
        EXPECT_EQ(text()->text(), QString::fromLatin1(c.shown));
        EXPECT_FALSE(apply()->isEnabled());
        control<QPushButton>("cmdOK")->click();
        EXPECT_EQ(ReadValue(path, "CalcSet", "MaxPlace", "?"), QString::fromLatin1(c.shown));
    }
    // A click in the track moves by one as well.
    store("[CalcSet]\r\nMaxPlace=20\r\n");
    open();
    bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(text()->text(), "21");
    bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(text()->text(), "19");
}

TEST_F(SettingsDialog, OptionChoicesEnableApplyWhichWritesAndCancelKeepsIt)
{
    store("; mine\r\n[CalcSet]\r\nShowAns=0\r\n");
    open();
    control<QRadioButton>("optShowAns_2")->click();
    EXPECT_TRUE(apply()->isEnabled());
    apply()->click();
    EXPECT_FALSE(apply()->isEnabled());
    EXPECT_TRUE(dialog->isVisible());
    const QByteArray applied
        = "; "
          "mine\r\n[CalcSet]\r\nShowAns=2\r\nMaxPlace=15\r\nSigDigits=15\r\nUnitSeries=0\r\n[FormSet]\r\nWinPos=0\r\n";
    EXPECT_EQ(stored(), applied);

    // Changes after Apply are lost on Cancel; the applied ones stay.
    control<QRadioButton>("optWinPos_1")->click();
    control<QRadioButton>("optUnitSeries_1")->click();
    type("9");
    EXPECT_TRUE(apply()->isEnabled());
    control<QPushButton>("cmdCancel")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(stored(), applied);

    open();
    EXPECT_TRUE(checked("optShowAns_2"));
    EXPECT_TRUE(checked("optWinPos_0"));
    EXPECT_EQ(text()->text(), "15");
}

TEST_F(SettingsDialog, EachGroupsChoiceIsSavedByOk)
{
    open();
    control<QRadioButton>("optShowAns_1")->click();
    control<QRadioButton>("optWinPos_1")->click();
    control<QRadioButton>("optUnitSeries_1")->click();
    control<QPushButton>("cmdOK")->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(
        stored(),
        QByteArray(
            "[CalcSet]\r\nShowAns=1\r\nMaxPlace=15\r\nSigDigits=15\r\nUnitSeries=1\r\n[FormSet]\r\nWinPos=1\r\n"));
}

TEST_F(SettingsDialog, OkWithoutChangeRewritesTheFourKeysAsRead)
{
    store("[FormSet]\r\nFront=-1\r\nWinPos = 1 \r\n[CalcSet]\r\nShowAns=\"2\"\r\nMaxPlace=20.4\r\n"
          "UnitSeries=9\r\nLastUnitSeries=3\r\n");
    open();
    control<QPushButton>("cmdOK")->click();
    EXPECT_EQ(stored(),
              QByteArray("[FormSet]\r\nFront=-1\r\nWinPos=1\r\n[CalcSet]\r\nShowAns=2\r\nMaxPlace=20\r\n"
                         "UnitSeries=0\r\nLastUnitSeries=3\r\nSigDigits=15\r\n"));
}

TEST_F(SettingsDialog, EscActsAsCancelAndEnterAsOk)
{
    open();
    control<QRadioButton>("optShowAns_1")->click();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(path));

    open();
    type("8");
    QTest::keyClick(text(), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(ReadValue(path, "CalcSet", "MaxPlace", "?"), "8");
}

TEST_F(SettingsDialog, SignificantDigitsShowWhatTheFileHoldsAndAChangeIsApplied)
{
    const std::pair<QByteArray, int> cases[] = {
        {"", 15},
        {"[CalcSet]\r\nSigDigits=3\r\n", 3},
        {"[CalcSet]\r\nSigDigits=1\r\n", 1},
        {"[CalcSet]\r\nSigDigits=0\r\n", 15},
        {"[CalcSet]\r\nSigDigits=16\r\n", 15},
    };
    for (const auto &[file, digits] : cases) {
        SCOPED_TRACE(file.toStdString());
        QFile::remove(path);
        if (!file.isEmpty())
            store(file);
        open();
        auto *spin = control<QSpinBox>("spnSigDigits");
        EXPECT_EQ(spin->value(), digits);
        EXPECT_FALSE(apply()->isEnabled());
        EXPECT_EQ(control<QLabel>("lblSigDigits")->buddy(), spin);
        const int chosen = digits == 1 ? 2 : digits - 1;
        spin->setValue(chosen);
        EXPECT_TRUE(apply()->isEnabled());
        control<QPushButton>("cmdOK")->click();
        EXPECT_EQ(ReadValue(path, "CalcSet", "SigDigits", "?"), QString::number(chosen));
    }
}

TEST_F(SettingsDialog, CloseRequestsAreRefused)
{
    open();
    EXPECT_FALSE(dialog->close());
    EXPECT_TRUE(dialog->isVisible());
    // The window manager's request arrives through the native window.
    dialog->windowHandle()->close();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(QFile::exists(path));
    control<QPushButton>("cmdCancel")->click();
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
