#include "settings/forms/frmSet.h"

#include "forms/FormLook.h"
#include "forms/TypedText.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRect>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>

#include <iterator>

using namespace Qt::StringLiterals;

namespace {

// Ends of the digit limit, as the scroll bar shows them: top and bottom.
constexpr int kTopLimit = int(InfoOf(SettingKey::MaxPlace).max);
constexpr int kBottomLimit = int(InfoOf(SettingKey::MaxPlace).min);
constexpr int kDefaultLimit = InfoOf(SettingKey::MaxPlace).defaultValue;
static_assert(kBottomLimit >= 0 && kTopLimit < 100, "the digit limit box holds two digits");
// The three result styles' options, the placement's two and the start
// series' two are the values of their keys from 0 on.
static_assert(InfoOf(SettingKey::ShowAns).min == 0 && InfoOf(SettingKey::WinPos).min == 0
              && InfoOf(SettingKey::UnitSeries).min == 0);

// The window as designed, in twips; the options, captions and the digit
// limit's box and bar inside their frames.
constexpr int kClientWidth = 5145;
constexpr int kClientHeight = 4425;
constexpr TwipsBox kFrame1{60, 60, 4995, 2295};
constexpr TwipsBox kOptShowAns[3] = {{120, 300, 1755, 180}, {120, 600, 2055, 180}, {120, 1740, 855, 180}};
constexpr TwipsBox kLabel2{420, 900, 1695, 195};
constexpr TwipsBox kTxtPlaceNum{2280, 840, 495, 285};
constexpr TwipsBox kVscPlaceNum{2760, 840, 255, 285};
// The significant digits, beside the first style: caption, spin box, "桁".
constexpr TwipsBox kLblSigDigits{2400, 300, 1215, 195};
constexpr TwipsBox kSpnSigDigits{3660, 240, 675, 285};
constexpr TwipsBox kLblSigDigitsUnit{4395, 300, 375, 195};
constexpr TwipsBox kLabel1[3] = {{420, 1980, 3795, 195}, {420, 1200, 4275, 195}, {420, 1440, 3615, 195}};
constexpr TwipsBox kFrame2{60, 2460, 4995, 615};
constexpr TwipsBox kOptWinPos[2] = {{120, 300, 1755, 195}, {2640, 300, 1035, 195}};
constexpr TwipsBox kFrame3{60, 3180, 4995, 615};
constexpr TwipsBox kOptUnitSeries[2] = {{120, 300, 1935, 195}, {2640, 300, 975, 195}};
// The etched rule above the buttons: a white line with a grey one under it.
constexpr TwipsBox kLine1[2] = {{60, 3900, 4980, 15}, {60, 3915, 4980, 15}};
constexpr TwipsBox kCmdOK{1500, 4020, 1095, 315};
constexpr TwipsBox kCmdCancel{2700, 4020, 1095, 315};
constexpr TwipsBox kCmdAppli{3900, 4020, 1095, 315};
static_assert(std::size(kOptShowAns) == size_t(ChoiceCount(SettingKey::ShowAns)), "a place for every result style");

}  // namespace

frmSet::frmSet(const QString &settingsPath, QWidget *owner) : SecondaryWindow(owner), striniAdd(settingsPath)
{
    buildControls();
}

void frmSet::buildControls()
{
    setObjectName(u"frmSet"_s);
    setWindowTitle(u"設定"_s);

    const TwipsLayout layout(this);
    const auto label = [&](QWidget *parent, const QString &name, const QString &caption) {
        auto *widget = new QLabel(caption, parent);
        widget->setObjectName(name);
        widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return widget;
    };
    const auto option = [&](QWidget *parent, const QString &name, const QString &caption) {
        auto *widget = new QRadioButton(caption, parent);
        widget->setObjectName(name);
        return widget;
    };
    const auto frame = [&](const QString &name, const QString &caption, const TwipsBox &box) {
        auto *widget = new QGroupBox(caption, this);
        widget->setObjectName(name);
        PutCaptionOnFrameLine(widget, layout);
        layout.place(widget, box);
        return widget;
    };
    // A frame of two options side by side, as the placement and start-series choices are.
    const auto optionPair = [&](QGroupBox *parent, std::array<QRadioButton *, 2> &pair, const QString &name,
                                const QString &first, const QString &second, const TwipsBox(&boxes)[2]) {
        pair[0] = option(parent, name + u"_0"_s, first);
        layout.place(pair[0], boxes[0]);
        pair[1] = option(parent, name + u"_1"_s, second);
        layout.place(pair[1], boxes[1]);
    };

    Frame1 = frame(u"Frame1"_s, u"結果の表示方法"_s, kFrame1);
    optShowAns[0] = option(Frame1, u"optShowAns_0"_s, u"数字で （そのまま）"_s);
    layout.place(optShowAns[0], kOptShowAns[0]);
    optShowAns[1] = option(Frame1, u"optShowAns_1"_s, u"数字で （\"，\"で区切る）"_s);
    layout.place(optShowAns[1], kOptShowAns[1]);
    Label2 = label(Frame1, u"Label2"_s, u"上限桁数 (%1 - %2(桁))"_s.arg(kBottomLimit).arg(kTopLimit));
    layout.place(Label2, kLabel2);
    txtPlaceNum = new QLineEdit(QString::number(kDefaultLimit), Frame1);
    txtPlaceNum->setObjectName(u"txtPlaceNum"_s);
    txtPlaceNum->setMaxLength(2);
    txtPlaceNum->setAccessibleName(u"上限桁数"_s);
    layout.place(txtPlaceNum, kTxtPlaceNum);
    // The bar's own value runs upwards from its top end; the limit is read
    // through scrollBarLimit(), so the upper arrow, a click above the handle,
    // Up and the wheel turned up all raise the limit by one.
    vscPlaceNum = new QScrollBar(Qt::Vertical, Frame1);
    vscPlaceNum->setObjectName(u"vscPlaceNum"_s);
    vscPlaceNum->setRange(kBottomLimit, kTopLimit);
    vscPlaceNum->setSingleStep(1);
    vscPlaceNum->setPageStep(1);
    vscPlaceNum->setAccessibleName(u"上限桁数"_s);
    setScrollBarLimit(kDefaultLimit);
    layout.place(vscPlaceNum, kVscPlaceNum);
    lblSigDigits = label(Frame1, u"lblSigDigits"_s, u"有効数字(&G)"_s);
    layout.place(lblSigDigits, kLblSigDigits);
    spnSigDigits = new QSpinBox(Frame1);
    spnSigDigits->setObjectName(u"spnSigDigits"_s);
    spnSigDigits->setRange(int(InfoOf(SettingKey::SigDigits).min), int(InfoOf(SettingKey::SigDigits).max));
    spnSigDigits->setValue(InfoOf(SettingKey::SigDigits).defaultValue);
    spnSigDigits->setAccessibleName(u"有効数字"_s);
    layout.place(spnSigDigits, kSpnSigDigits);
    lblSigDigits->setBuddy(spnSigDigits);
    lblSigDigitsUnit = label(Frame1, u"lblSigDigitsUnit"_s, u"桁"_s);
    layout.place(lblSigDigitsUnit, kLblSigDigitsUnit);
    Label1[1] = label(Frame1, u"Label1_1"_s, u"※桁数が「上限桁数」を超えた場合は、無視します。"_s);
    layout.place(Label1[1], kLabel1[1]);
    Label1[2] = label(Frame1, u"Label1_2"_s, u"※区切りがふさわしくない場合は、無視します。"_s);
    layout.place(Label1[2], kLabel1[2]);
    optShowAns[2] = option(Frame1, u"optShowAns_2"_s, u"指数で"_s);
    layout.place(optShowAns[2], kOptShowAns[2]);
    Label1[0] = label(Frame1, u"Label1_0"_s, u"※指数形式がふさわしくない場合は、無視します。"_s);
    layout.place(Label1[0], kLabel1[0]);

    Frame2 = frame(u"Frame2"_s, u"メインウィンドウの位置"_s, kFrame2);
    optionPair(Frame2, optWinPos, u"optWinPos"_s, u"前回終了時の場所"_s, u"常に中央"_s, kOptWinPos);

    Frame3 = frame(u"Frame3"_s, u"起動時の単位系"_s, kFrame3);
    optionPair(Frame3, optUnitSeries, u"optUnitSeries"_s, u"前回終了時の単位系"_s, u"ランダム"_s, kOptUnitSeries);

    // The etched rule above the buttons: a white line with a grey one under it
    // (on a dark palette, its light and mid colours).
    const QColor lineColours[2] = {RuleLightColour(palette()), RuleShadowColour(palette())};
    for (int i = 0; i < 2; ++i)
        Line1[size_t(i)] = MakeRuleLine(this, u"Line1_%1"_s.arg(i), lineColours[i], layout.rect(kLine1[i]));

    const auto button = [&](const QString &name, const QString &caption) {
        auto *widget = new QPushButton(caption, this);
        widget->setObjectName(name);
        return widget;
    };
    cmdOK = button(u"cmdOK"_s, u"OK"_s);
    layout.place(cmdOK, kCmdOK);
    cmdCancel = button(u"cmdCancel"_s, u"キャンセル"_s);
    layout.place(cmdCancel, kCmdCancel);
    cmdAppli = button(u"cmdAppli"_s, u"適用(&A)"_s);
    layout.place(cmdAppli, kCmdAppli);
    cmdAppli->setEnabled(false);
    // Enter anywhere in the dialog stands for OK, as Esc stands for Cancel.
    cmdOK->setDefault(true);

    // The designed sizes fit a system font of 12 pixels a line. Where the
    // font in use needs more room for a caption (9-point Noto Sans CJK takes
    // 18 pixels a line), the label or option grows just enough: labels
    // downwards and to the right, options about their middle, so every
    // caption keeps its place.
    GrowToFitCaption(Label2, Label2->text(), Grow::DownAndRight, txtPlaceNum->x());
    GrowToFitCaption(lblSigDigits, lblSigDigits->text(), Grow::DownAndRight, spnSigDigits->x());
    GrowToFitCaption(lblSigDigitsUnit, lblSigDigitsUnit->text(), Grow::DownAndRight);
    for (QLabel *caption : {Label1[0], Label1[1], Label1[2]})
        GrowToFitCaption(caption, caption->text(), Grow::DownAndRight);
    for (QRadioButton *caption :
         {optShowAns[0], optShowAns[1], optShowAns[2], optWinPos[0], optWinPos[1], optUnitSeries[0], optUnitSeries[1]})
        GrowToFitCaption(caption, caption->text(), Grow::AboutTheMiddle);

    setFixedSize(layout.size(kClientWidth, kClientHeight));

    for (int i = 0; i < int(optShowAns.size()); ++i) {
        connect(optShowAns[size_t(i)], &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked && !m_loading)
                optShowAns_Click(i);
        });
    }
    for (int i = 0; i < int(optWinPos.size()); ++i) {
        connect(optWinPos[size_t(i)], &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked && !m_loading)
                optWinPos_Click(i);
        });
    }
    for (int i = 0; i < int(optUnitSeries.size()); ++i) {
        connect(optUnitSeries[size_t(i)], &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked && !m_loading)
                optUnitSeries_Click(i);
        });
    }
    // valueChanged and textChanged are emitted when the value or the text
    // is set from code as well, and only when it differs: the two change
    // handlers below rely on both, which is how each control follows the
    // other and why the pair never loops.
    connect(vscPlaceNum, &QScrollBar::valueChanged, this, &frmSet::vscPlaceNum_Change);
    connect(txtPlaceNum, &QLineEdit::textChanged, this, &frmSet::txtPlaceNum_Change);
    connect(spnSigDigits, &QSpinBox::valueChanged, this, [this] {
        if (!m_loading)
            spnSigDigits_Change();
    });
    connect(cmdOK, &QPushButton::clicked, this, &frmSet::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSet::cmdCancel_Click);
    connect(cmdAppli, &QPushButton::clicked, this, &frmSet::cmdAppli_Click);
}

int frmSet::scrollBarLimit() const
{
    return kTopLimit + kBottomLimit - vscPlaceNum->value();
}

void frmSet::setScrollBarLimit(int limit)
{
    vscPlaceNum->setValue(kTopLimit + kBottomLimit - limit);
}

void frmSet::Form_Load()
{
    // Selecting the stored options is no choice of the user's: it leaves
    // Apply disabled. Stored values the controls cannot show read as the
    // defaults.
    m_loading = true;
    m_settings = ReadSettings(striniAdd);
    optShowAns[size_t(m_settings[SettingKey::ShowAns])]->setChecked(true);
    setScrollBarLimit(m_settings[SettingKey::MaxPlace]);
    txtPlaceNum->setText(QString::number(m_settings[SettingKey::MaxPlace]));
    spnSigDigits->setValue(m_settings[SettingKey::SigDigits]);
    optWinPos[size_t(m_settings[SettingKey::WinPos])]->setChecked(true);
    optUnitSeries[size_t(m_settings[SettingKey::UnitSeries])]->setChecked(true);
    m_loading = false;
}

void frmSet::optShowAns_Click(int Index)
{
    m_settings[SettingKey::ShowAns] = Index;
    cmdAppli->setEnabled(true);
}

void frmSet::vscPlaceNum_Change()
{
    // Runs textChanged, and so txtPlaceNum_Change, when the text differs.
    txtPlaceNum->setText(QString::number(scrollBarLimit()));
    long long value = 0;
    if (ParseWholeNumber(txtPlaceNum->text(), kBottomLimit, kTopLimit, &value))
        m_settings[SettingKey::MaxPlace] = int(value);
}

void frmSet::txtPlaceNum_Change()
{
    // A whole number outside 4 to 50, and text that is no number at all
    // (an empty box, say), leave the scroll bar and the limit as they are.
    // An input method left on commits full-width digits ("２０"): the box
    // shows and takes them as the digits they are.
    const QString ascii = AsciiForms(txtPlaceNum->text());
    if (ascii != txtPlaceNum->text()) {
        txtPlaceNum->setText(ascii);  // runs this handler again
        return;
    }
    long long value = 0;
    if (!ParseWholeNumber(txtPlaceNum->text(), kBottomLimit, kTopLimit, &value))
        return;
    // Runs valueChanged, and so vscPlaceNum_Change, when the value differs.
    setScrollBarLimit(int(value));
    m_settings[SettingKey::MaxPlace] = scrollBarLimit();
}

void frmSet::spnSigDigits_Change()
{
    m_settings[SettingKey::SigDigits] = spnSigDigits->value();
    cmdAppli->setEnabled(true);
}

void frmSet::optWinPos_Click(int Index)
{
    m_settings[SettingKey::WinPos] = Index;
    cmdAppli->setEnabled(true);
}

void frmSet::optUnitSeries_Click(int Index)
{
    m_settings[SettingKey::UnitSeries] = Index;
    cmdAppli->setEnabled(true);
}

void frmSet::cmdOK_Click()
{
    cmdAppli_Click();
    unload(QDialog::Accepted);
}

void frmSet::cmdCancel_Click()
{
    unload(QDialog::Rejected);
}

void frmSet::cmdAppli_Click()
{
    // Write failures are ignored: the dialog shows no message.
    WriteSettings(striniAdd, m_settings, DialogSettingKeys());
    cmdAppli->setEnabled(false);
}

void frmSet::escapePressed()
{
    cmdCancel_Click();
}
