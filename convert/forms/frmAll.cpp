#include "convert/forms/frmAll.h"

#include "forms/FormLook.h"

#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// The window as designed, in twips.
constexpr int kClientWidth = 6465;
constexpr int kClientHeight = 4380;
constexpr TwipsBox kCmdClose{2700, 3900, 1215, 375};
constexpr TwipsBox kTxtAllAns{60, 60, 6375, 3735};

}  // namespace

frmAll::frmAll(const QString &lastResult, QWidget *owner) : SecondaryWindow(owner), m_lastResult(lastResult)
{
    setObjectName(u"frmAll"_s);
    setWindowTitle(u"一括変換結果"_s);

    const TwipsLayout layout(this);
    cmdClose = new QPushButton(u"OK"_s, this);
    cmdClose->setObjectName(u"cmdClose"_s);
    layout.place(cmdClose, kCmdClose);
    cmdClose->setDefault(true);

    txtAllAns = new QPlainTextEdit(this);
    txtAllAns->setObjectName(u"txtAllAns"_s);
    txtAllAns->setAccessibleName(u"一括変換結果"_s);
    layout.place(txtAllAns, kTxtAllAns);
    txtAllAns->setReadOnly(true);
    txtAllAns->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtAllAns->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtAllAns->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtAllAns->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    // The button comes first in the focus order, so it has the focus.
    setTabOrder(cmdClose, txtAllAns);
    cmdClose->setFocus();

    setFixedSize(layout.size(kClientWidth, kClientHeight));
    connect(cmdClose, &QPushButton::clicked, this, &frmAll::cmdClose_Click);
}

void frmAll::Form_Load()
{
    // The lines end in CR LF; the box shows them as lines.
    QString text = m_lastResult;
    text.replace(u"\r\n"_s, u"\n"_s);
    if (text.endsWith(u'\n'))
        text.chop(1);
    txtAllAns->setPlainText(text);
}

void frmAll::cmdClose_Click()
{
    unload();
}

void frmAll::escapePressed()
{
    cmdClose_Click();
}
