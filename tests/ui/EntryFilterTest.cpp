// Which typed characters the value box takes, judged by series kind and by
// the source radix, and the reset when the number-base source unit changes.

#include "MainWindowFixture.h"
#include "convert/EntryFilter.h"
#include "ui/KeyFilters.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct FilterCase {
    const char *name;
    bool numberBase;
    int sourcePos;
    const char *accepted;
    const char *discarded;
    bool formulas;  // the value is read as arithmetic
};

const FilterCase kFilterCases[] = {
    {"Linear", false, 0, "0123456789Ee+-,.", "xX aA/;:*()^$&\r\x1b\x16\x18\x03", false},
    {"LinearFormulas", false, 0, "0123456789Ee+-,./*()^ ", "xXaA;:$&%=[]\r\t\x1b\x16", true},
    {"Radix2", true, 0, "01", "23456789aA.-+ ", false},
    {"Radix10", true, 8, "0123456789", "AaEe.-", false},
    {"Radix11", true, 9, "0123456789Aa", "BbZz.-", false},
    {"Radix16", true, 14, "0123456789ABCDEFabcdef", "GgZz.-", false},
    {"Radix16Formulas", true, 14, "0123456789ABCDEFabcdef", "Gg/*()^ .-", true},  // digit strings stay
    {"Radix36", true, 34, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", "[`{@/:.-", false},
    {"NothingSelected", true, -1, "0123456789", "Aa.-", false},
};

}  // namespace

TEST(EntryFilter, AcceptsExactlyTheCharactersOfTheSourceUnit)
{
    for (const FilterCase &c : kFilterCases) {
        for (const char *p = c.accepted; *p; ++p)
            EXPECT_TRUE(AcceptsTypedChar(unsigned(uchar(*p)), c.numberBase, c.sourcePos, c.formulas))
                << c.name << " '" << *p << "'";
        for (const char *p = c.discarded; *p; ++p)
            EXPECT_FALSE(AcceptsTypedChar(unsigned(uchar(*p)), c.numberBase, c.sourcePos, c.formulas))
                << c.name << " code " << int(uchar(*p));
        EXPECT_TRUE(AcceptsTypedChar(8, c.numberBase, c.sourcePos, c.formulas)) << c.name << " Backspace";
        // Full-width digits and other characters beyond the 8-bit set never pass.
        EXPECT_FALSE(AcceptsTypedChar(0xFF11, c.numberBase, c.sourcePos, c.formulas)) << c.name;
    }
}

class ValueBoxTest : public MainWindowFixture {};

TEST(EntryFilter, KeysBecomeTheCharactersTheFilterJudges)
{
    const struct {
        const char *what;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        int code;
    } cases[] = {
        {"digit", Qt::Key_5, Qt::NoModifier, u"5"_s, '5'},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, u"\b"_s, 8},
        {"Ctrl+Backspace types nothing", Qt::Key_Backspace, Qt::ControlModifier, QString(), -1},
        {"Enter", Qt::Key_Return, Qt::NoModifier, u"\r"_s, 13},
        {"keypad Enter", Qt::Key_Enter, Qt::NoModifier, u"\r"_s, 13},
        {"Ctrl+V from the keyboard (text \\x16)", Qt::Key_V, Qt::ControlModifier, u"\x16"_s, 22},
        {"Ctrl+V from a test (text v)", Qt::Key_V, Qt::ControlModifier, u"v"_s, 22},
        {"Meta+A on a Mac-like layout", Qt::Key_A, Qt::MetaModifier, u"a"_s, 1},
        {"Left keeps its editing function", Qt::Key_Left, Qt::NoModifier, QString(), -1},
        {"Tab moves the focus", Qt::Key_Tab, Qt::NoModifier, u"\t"_s, -1},
        {"Ctrl+Tab is judged", Qt::Key_Tab, Qt::ControlModifier, u"\t"_s, '\t'},
        {"Shift alone", Qt::Key_Shift, Qt::ShiftModifier, QString(), -1},
        {"full-width digit", Qt::Key_unknown, Qt::NoModifier, u"５"_s, 0xFF15},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TypedCharCode(c.key, c.modifiers, c.text), c.code) << c.what;
}

TEST_F(ValueBoxTest, TypingPassesThroughTheFilter)
{
    writeStandardSeries();
    frmMain &w = startShown();
    valueBox()->setFocus();
    valueBox()->clear();
    QTest::keyClicks(valueBox(), u"1x.5 e-3a"_s);
    EXPECT_EQ(valueBox()->text(), u"1.5e-3"_s);
    QTest::keyClick(valueBox(), Qt::Key_Backspace);
    EXPECT_EQ(valueBox()->text(), u"1.5e-"_s);
    QTest::keyClick(valueBox(), Qt::Key_Home);
    QTest::keyClick(valueBox(), Qt::Key_Delete);
    QTest::keyClick(valueBox(), Qt::Key_End);
    QTest::keyClick(valueBox(), Qt::Key_Left);
    QTest::keyClicks(valueBox(), u"9"_s);
    EXPECT_EQ(valueBox()->text(), u".5e9-"_s);

    // With formulas on, the signs of arithmetic pass too, in a linear series only.
    action("Menu_UseFormula")->trigger();
    valueBox()->clear();
    QTest::keyClicks(valueBox(), u"(1 + 2)*3^2/4x"_s);
    EXPECT_EQ(valueBox()->text(), u"(1 + 2)*3^2/4"_s);

    selectSeries(u"進数"_s);
    sourceList()->setCurrentIndex(14);  // radix 16
    valueBox()->clear();
    QTest::keyClicks(valueBox(), u"fFgG1/9 z"_s);
    EXPECT_EQ(valueBox()->text(), u"fF19"_s);
    Q_UNUSED(w);
}

TEST_F(ValueBoxTest, NewSourceUnitResetsBoxesOnlyInTheNumberBaseSeries)
{
    writeStandardSeries();
    frmMain &w = start();
    valueBox()->setText(u"12"_s);
    resultBox()->setText(u"34"_s);
    sourceList()->setCurrentIndex(1);
    EXPECT_EQ(valueBox()->text(), u"12"_s);
    EXPECT_EQ(resultBox()->text(), u"34"_s);

    selectSeries(u"進数"_s);
    valueBox()->setText(u"101"_s);
    resultBox()->setText(u"5"_s);
    sourceList()->setCurrentIndex(8);
    EXPECT_EQ(valueBox()->text(), u"0"_s);
    EXPECT_EQ(resultBox()->text(), u"0"_s);

    // Clear in the number-base series ends with both boxes at 0 too.
    valueBox()->setText(u"77"_s);
    w.Menu_Clear_Click();
    EXPECT_EQ(valueBox()->text(), u"0"_s);
    EXPECT_EQ(sourceList()->currentIndex(), 0);
}

TEST_F(ValueBoxTest, InputMethodIsOffAndItsTextPassesTheFilter)
{
    writeStandardSeries();
    frmMain &w = startShown();
    valueBox()->setFocus();
    QInputMethodQueryEvent query(Qt::ImEnabled | Qt::ImCursorPosition);
    QCoreApplication::sendEvent(valueBox(), &query);
    EXPECT_FALSE(query.value(Qt::ImEnabled).toBool());
    EXPECT_TRUE(query.value(Qt::ImCursorPosition).isValid());

    const struct {
        const char *series;
        int sourcePos;
        QString committed;
        QString kept;
    } cases[] = {
        {"length", 0, u"０１２"_s, u"012"_s}, {"length", 0, u"－１．５ｅ＋３"_s, u"-1.5e+3"_s},
        {"length", 0, u"か"_s, QString()},    {"length", 0, u"1か2 x"_s, u"12"_s},
        {"length", 0, u"\b\r9"_s, u"9"_s},    {"進数", 14, u"ｆＦｇ１"_s, u"fF1"_s},
    };
    for (const auto &c : cases) {
        selectSeries(QString::fromUtf8(c.series));
        sourceList()->setCurrentIndex(c.sourcePos);
        valueBox()->clear();
        QInputMethodEvent preedit(u"か"_s, {});
        QCoreApplication::sendEvent(valueBox(), &preedit);
        EXPECT_EQ(valueBox()->displayText(), QString()) << "preedit";
        QInputMethodEvent commit;
        commit.setCommitString(c.committed);
        QCoreApplication::sendEvent(valueBox(), &commit);
        EXPECT_EQ(valueBox()->text(), c.kept) << c.committed.toStdString();
    }

    // Ctrl+A selects the value, and the next key replaces it.
    valueBox()->setText(u"123"_s);
    valueBox()->setCursorPosition(1);
    QTest::keyClick(w.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(valueBox()->selectedText(), u"123"_s);
    QTest::keyClicks(valueBox(), u"7"_s);
    EXPECT_EQ(valueBox()->text(), u"7"_s);
}
