#include "ui/frmMain.h"

#include "catalogue/UnitFile.h"
#include "catalogue/UnitRecord.h"
#include "catalogue/forms/frmFind.h"
#include "convert/Conversion.h"
#include "convert/EntryFilter.h"
#include "convert/NumberText.h"
#include "convert/QueryResolve.h"
#include "convert/WordsQuery.h"
#include "convert/forms/frmAll.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsValues.h"
#include "settings/forms/frmSet.h"
#include "settings/modFileFuncs.h"
#include "forms/modSetForm.h"
#include "forms/FormLook.h"
#include "forms/TypedText.h"
#include "ui/Desktop.h"
#include "ui/Help.h"
#include "ui/KeyFilters.h"
#include "ui/Placement.h"
#include "ui/Services.h"
#include "ui/frmAbout.h"

#include <map>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QSignalBlocker>
#include <QStringList>
#include <QWindow>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// intSeriesIndex before the first series is loaded: no list index.
constexpr int kNoSeriesLoaded = -2;

// The least height of a title bar, before the window manager has said.
constexpr int kTitleBarPixels = 20;

const QString kTitle = u"Tovel"_s;
const QString kTitlePrefix = u"Tovel - "_s;

// The stored result style is one of the conversion's styles, and a request
// made before the settings are read groups as the settings' default does.
static_assert(ChoiceCount(SettingKey::ShowAns) == int(ResultStyle::Scientific) + 1);
static_assert(DefaultPlaceNum == InfoOf(SettingKey::MaxPlace).defaultValue);

// The window as designed, in twips: the client area below the menu bar, the
// two frames, and inside each frame its value box and unit list with their
// labels; the series list and its label below the frames.
constexpr int kClientWidth = 3510;
constexpr int kClientHeight = 2355;
constexpr TwipsBox kFrmBeforeConvert{60, 60, 3375, 855};
constexpr TwipsBox kFrmAfterConvert{60, 1020, 3375, 855};
constexpr TwipsBox kValueLabel{180, 240, 195, 195};
constexpr TwipsBox kValueBox{780, 180, 2205, 270};
constexpr TwipsBox kUnitLabel{180, 540, 375, 195};
constexpr TwipsBox kUnitList{780, 480, 2460, 300};
constexpr TwipsBox kLblLabel0{240, 2040, 555, 195};
constexpr TwipsBox kComUnitList{840, 1980, 2460, 300};

// Qt's style measures a menu item in whole pixels with the shortcut
// column's spacing left out for an item without a shortcut, and paints it
// in fractions of a pixel with that spacing taken off: at some fonts (11 and
// 14 pt) the widest caption came out elided ("バージョ…(V)"). Each time the
// menu opens it is made a character wider than Qt reckons, at its font then.
void WidenToShowItemsWhole(QMenu *menu)
{
    menu->setMinimumWidth(0);
    const int wanted = menu->sizeHint().width() + QFontMetrics(menu->font()).height();
    menu->setMinimumWidth(wanted);
}

}  // namespace

frmMain::frmMain(Services &services, quint64 randomSeed, QWidget *parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_services(services), m_random(randomSeed), m_programDir(services.programDirectory())
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(kTitle);
    setWindowIcon(QIcon(u":/icons/tovel-256.png"_s));
    buildControls();
    buildMenus();

    // The window is fixed in size: the designed client area below the menu bar.
    const QSize client = TwipsLayout(this).size(kClientWidth, kClientHeight);
    centralWidget()->setFixedSize(client);
    setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height());
    KeepFromMaximizing(this);

    // Enter is seen by the window before the focused control.
    m_keyPreview = new EnterPreview(this, [this](bool withShift) {
        if (withShift)
            ConvertToAllUnits();
        else
            ConvertValue();
    });
    qApp->installEventFilter(m_keyPreview);
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(m_keyPreview);
}

int frmMain::twips(int px) const
{
    return qRound(px * m_services.twipsPerPixel());
}

int frmMain::pixels(int tw) const
{
    return qRound(tw / m_services.twipsPerPixel());
}

void frmMain::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(u"client"_s);
    setCentralWidget(client);
    const TwipsLayout layout(this);

    auto makeLabel = [&](int index, QWidget *container, const QString &text, QRect geometry) {
        auto *label = new QLabel(text, container);
        label->setObjectName(u"lblLabel_%1"_s.arg(index));
        label->setGeometry(geometry);
        lblLabel[index] = label;
    };
    auto makeCombo = [&](const QString &name, QWidget *container, QRect geometry) {
        auto *combo = new QComboBox(container);
        combo->setObjectName(name);
        combo->setEditable(false);
        combo->setGeometry(geometry);
        // A list of tens of thousands of units must not be measured item by item.
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMaxVisibleItems(20);
        return combo;
    };

    // A frame holds a value box above a unit list, each with its label.
    struct Side {
        QGroupBox *&frame;
        QLineEdit *&box;
        QComboBox *&units;
    };
    auto makeSide = [&](Side side, const QString &name, const QString &caption, const TwipsBox &frameBox,
                        int valueLabel, const QString &boxName, int unitLabel, const QString &unitsName) {
        side.frame = new QGroupBox(caption, client);
        side.frame->setObjectName(name);
        layout.place(side.frame, frameBox);
        PutCaptionOnFrameLine(side.frame, layout);
        makeLabel(valueLabel, side.frame, u"値"_s, layout.rect(kValueLabel));
        side.box = new QLineEdit(u"0"_s, side.frame);
        side.box->setObjectName(boxName);
        layout.place(side.box, kValueBox);
        makeLabel(unitLabel, side.frame, u"単位"_s, layout.rect(kUnitLabel));
        side.units = makeCombo(unitsName, side.frame, layout.rect(kUnitList));
        // A screen reader names each control by its frame and its label.
        NameControl(lblLabel[valueLabel], side.box, caption + u" 値"_s);
        NameControl(lblLabel[unitLabel], side.units, caption + u" 単位"_s);
    };
    makeSide({frmBeforeConvert, txtBeforeConv, comBeforeConvUnit}, u"frmBeforeConvert"_s, u"変換前"_s,
             kFrmBeforeConvert, 1, u"txtBeforeConv"_s, 2, u"comBeforeConvUnit"_s);
    makeSide({frmAfterConvert, txtAfterConv, comAfterConvUnit}, u"frmAfterConvert"_s, u"変換後"_s, kFrmAfterConvert, 4,
             u"txtAfterConv"_s, 3, u"comAfterConvUnit"_s);
    txtAfterConv->setReadOnly(true);
    txtAfterConv->setMaxLength(ResultBoxMaxLength);  // what ResultBoxText cuts to
    txtAfterConv->installEventFilter(this);
    txtBeforeConv->installEventFilter(new ValueBoxFilter(txtBeforeConv, [this](unsigned code) {
        return AcceptsTypedChar(code, m_session.isNumberBase(), comBeforeConvUnit->currentIndex(),
                                m_session.formulas());
    }));
    // What the user does to the value box makes it their own value again.
    connect(txtBeforeConv, &QLineEdit::textEdited, this, [this] { m_kept.reset(); });
    // Keys reach the value box as plain characters; the filter keeps an
    // input method off as well.
    txtBeforeConv->setAttribute(Qt::WA_InputMethodEnabled, false);

    makeLabel(0, client, u"単位系"_s, layout.rect(kLblLabel0));
    comUnitList = makeCombo(u"comUnitList"_s, client, layout.rect(kComUnitList));
    NameControl(lblLabel[0], comUnitList, u"単位系"_s);

    // A label whose caption needs more room than the scaled design gives it
    // grows about its middle line, up to the control it names.
    const QWidget *named[5] = {comUnitList, txtBeforeConv, comBeforeConvUnit, comAfterConvUnit, txtAfterConv};
    for (int i = 0; i < 5; ++i)
        GrowToFitCaption(lblLabel[i], lblLabel[i]->text(), Grow::AboutTheMiddle, named[i]->x());

    // Focus order: series list, value box, source unit, result box, target unit.
    setTabOrder(comUnitList, txtBeforeConv);
    setTabOrder(txtBeforeConv, comBeforeConvUnit);
    setTabOrder(comBeforeConvUnit, txtAfterConv);
    setTabOrder(txtAfterConv, comAfterConvUnit);
    comUnitList->setFocus();

    // currentIndexChanged runs the handler whenever the index changes, from
    // the user or from code, before setCurrentIndex returns. Filling a list
    // happens with its signals blocked, so only deliberate selections count.
    connect(comUnitList, &QComboBox::currentIndexChanged, this, &frmMain::comUnitList_Click);
    connect(comBeforeConvUnit, &QComboBox::currentIndexChanged, this, &frmMain::comBeforeConvUnit_Click);
}

void frmMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto makeAction = [&](QMenu *menu, const QString &name, const QString &caption,
                          const QKeySequence &shortcut = QKeySequence()) {
        auto *action = menu->addAction(caption);
        action->setObjectName(name);
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        // The window owns its shortcuts even while the menu bar is hidden.
        addAction(action);
        return action;
    };
    auto makeSeparator = [&](QMenu *menu, const QString &name) {
        QAction *separator = menu->addSeparator();
        separator->setObjectName(name);
    };

    Menu_Convert = bar->addMenu(u"変換(&V)"_s);
    Menu_Convert->setObjectName(u"Menu_Convert"_s);
    // Enter belongs to the window's key preview, not to these commands: the
    // menu shows it in its shortcut column (and a screen reader says it as
    // the shortcut, apart from the name), but it is a shortcut only while
    // the menu itself has the focus, and there the menu takes Enter first.
    auto makeEnterAction = [&](const QString &name, const QString &caption, QKeyCombination enter) {
        auto *action = Menu_Convert->addAction(caption);
        action->setObjectName(name);
        action->setShortcut(enter);
        action->setShortcutContext(Qt::WidgetShortcut);
        return action;
    };
    Menu_NormalConv = makeEnterAction(u"Menu_NormalConv"_s, u"通常変換(&N)"_s, QKeyCombination(Qt::Key_Enter));
    Menu_AllConv = makeEnterAction(u"Menu_AllConv"_s, u"一括変換(&A)"_s, Qt::ShiftModifier | Qt::Key_Enter);

    Menu_Control = bar->addMenu(u"操作(&T)"_s);
    Menu_Control->setObjectName(u"Menu_Control"_s);
    Menu_Clear = makeAction(Menu_Control, u"Menu_Clear"_s, u"クリア(&C)"_s, QKeySequence(u"Ctrl+D"_s));
    Menu_SendClipBoard = makeAction(Menu_Control, u"Menu_SendClipBoard"_s, u"最終の結果をクリップボードへ(&S)"_s,
                                    QKeySequence(u"Ctrl+C"_s));
    Menu_SendValue = makeAction(Menu_Control, u"Menu_SendValue"_s, u"結果の値だけをクリップボードへ(&V)"_s,
                                QKeySequence(u"Ctrl+Shift+C"_s));
    setResultCommandsEnabled(false);
    makeSeparator(Menu_Control, u"Kugiri4"_s);
    Menu_FindUnit = makeAction(Menu_Control, u"Menu_FindUnit"_s, u"単位を探す(&F)…"_s, QKeySequence(u"Ctrl+K"_s));
    Menu_Swap = makeAction(Menu_Control, u"Menu_Swap"_s, u"変換前と変換後を入れ替え(&R)"_s, QKeySequence(u"Ctrl+R"_s));

    Menu_Others = bar->addMenu(u"その他(&O)"_s);
    Menu_Others->setObjectName(u"Menu_Others"_s);
    Menu_Set = Menu_Others->addMenu(u"設定(&S)"_s);
    Menu_Set->setObjectName(u"Menu_Set"_s);
    Menu_Front = makeAction(Menu_Set, u"Menu_Front"_s, u"最前面に表示(&F)"_s, QKeySequence(u"Ctrl+F"_s));
    Menu_Front->setCheckable(true);
    Menu_RememberPairs = makeAction(Menu_Set, u"Menu_RememberPairs"_s, u"単位の組を覚える(&U)"_s);
    Menu_RememberPairs->setCheckable(true);
    Menu_RememberPairs->setChecked(true);
    Menu_UseFormula = makeAction(Menu_Set, u"Menu_UseFormula"_s, u"値に計算式を使う(&X)"_s);
    Menu_UseFormula->setCheckable(true);
    makeSeparator(Menu_Set, u"Kugiri1"_s);
    Menu_Setting = makeAction(Menu_Set, u"Menu_Setting"_s, u"他の設定(&S)"_s, QKeySequence(u"Ctrl+S"_s));
    makeSeparator(Menu_Others, u"Kugiri2"_s);
    Menu_ShowHelp = makeAction(Menu_Others, u"Menu_ShowHelp"_s, u"ヘルプを見る(&H)"_s, QKeySequence(Qt::Key_F1));
    makeSeparator(Menu_Others, u"Kugiri3"_s);
    Menu_Version = makeAction(Menu_Others, u"Menu_Version"_s, u"バージョン情報(&V)"_s);
    Menu_End = makeAction(Menu_Others, u"Menu_End"_s, u"終了(&X)"_s);

    for (QMenu *menu : {Menu_Convert, Menu_Control, Menu_Others, Menu_Set})
        connect(menu, &QMenu::aboutToShow, menu, [menu] { WidenToShowItemsWhole(menu); });

    connect(Menu_NormalConv, &QAction::triggered, this, &frmMain::ConvertValue);
    connect(Menu_AllConv, &QAction::triggered, this, &frmMain::ConvertToAllUnits);
    connect(Menu_Clear, &QAction::triggered, this, &frmMain::Menu_Clear_Click);
    connect(Menu_SendClipBoard, &QAction::triggered, this, &frmMain::Menu_SendClipBoard_Click);
    connect(Menu_SendValue, &QAction::triggered, this, &frmMain::Menu_SendValue_Click);
    connect(Menu_FindUnit, &QAction::triggered, this, &frmMain::Menu_FindUnit_Click);
    connect(Menu_Swap, &QAction::triggered, this, &frmMain::Menu_Swap_Click);
    connect(Menu_RememberPairs, &QAction::triggered, this, &frmMain::Menu_RememberPairs_Click);
    connect(Menu_UseFormula, &QAction::triggered, this, &frmMain::Menu_UseFormula_Click);
    connect(Menu_Front, &QAction::triggered, this, [this] {
        // Qt has flipped the check mark already; the command flips it itself.
        Menu_Front->setChecked(!Menu_Front->isChecked());
        Menu_Front_Click();
    });
    connect(Menu_Setting, &QAction::triggered, this, &frmMain::Menu_Setting_Click);
    connect(Menu_ShowHelp, &QAction::triggered, this, &frmMain::Menu_ShowHelp_Click);
    connect(Menu_Version, &QAction::triggered, this, &frmMain::Menu_Version_Click);
    connect(Menu_End, &QAction::triggered, this, &frmMain::Menu_End_Click);
}

// ---------------------------------------------------------------- start-up

bool frmMain::buildSeriesList()
{
    QString dir = m_programDir;
    m_unitsDir = JoinPath(dir, u"units/"_s);
    m_series = BuildSeriesList(m_unitsDir);
    if (m_series.empty()) {
        m_services.messageBox(this, u"データファイルが読み込めません。"_s, Services::Error, u"error!!"_s);
        m_ended = true;
        m_services.endProgram();
        return false;
    }
    QStringList names;
    names.reserve(int(m_series.size()));
    for (const SeriesEntry &entry : m_series)
        names << ShownName(entry.name);
    const QSignalBlocker blocker(comUnitList);
    comUnitList->clear();
    comUnitList->addItems(names);
    comUnitList->setCurrentIndex(-1);
    return true;
}

bool frmMain::Form_Load()
{
    if (!buildSeriesList())
        return false;
    intSeriesIndex = kNoSeriesLoaded;
    striniAdd = PrepareSettingsFile(m_programDir, m_services.userConfigDirectory());

    const int count = comUnitList->count();
    m_settings = ReadSettings(striniAdd, count);

    Menu_Front->setChecked(m_settings[SettingKey::Front] == 0);
    Menu_Front_Click();

    placeWindow();

    m_session.SetResultStyle(m_settings[SettingKey::ShowAns], m_settings[SettingKey::MaxPlace],
                             m_settings[SettingKey::SigDigits]);
    Menu_UseFormula->setChecked(m_settings[SettingKey::UseFormula] == 1);
    m_session.SetFormulas(Menu_UseFormula->isChecked());
    m_rememberPairs = m_settings[SettingKey::RememberPairs] == 1;
    Menu_RememberPairs->setChecked(m_rememberPairs);
    if (m_rememberPairs) {
        m_pairs.read(striniAdd);
        m_pairsRead = true;
    }

    int start = m_settings[SettingKey::LastUnitSeries];
    if (m_settings[SettingKey::UnitSeries] == 1) {
        std::uniform_int_distribution<int> pick(0, count - 1);
        start = pick(m_random);
    }
    comUnitList->setCurrentIndex(start);  // loads the series

    return true;
}

QPoint frmMain::centredTwips(const std::vector<QRect> &screens) const
{
    const QSize outer = frameGeometry().size();
    return CentredOn(screens.front(), QSize(twips(outer.width()), twips(outer.height())));
}

void frmMain::placeWindow()
{
    const std::vector<QRect> screens = m_services.screensTwips();
    const QSize outer = frameGeometry().size();
    const QSize outerTwips(twips(outer.width()), twips(outer.height()));
    const QPoint centred = centredTwips(screens);
    QPoint place = centred;
    if (m_settings[SettingKey::WinPos] != 1) {
        // A coordinate the file does not hold is the centred one.
        const auto stored = [this](SettingKey key, int centredValue) {
            return m_settings.isStored(key) ? m_settings[key] : centredValue;
        };
        const int top = stored(SettingKey::MainFormTop, centred.y());
        const int left = stored(SettingKey::MainFormLeft, centred.x());
        // A position whose title bar no screen shows (a monitor unplugged
        // since, a damaged file) would put the window out of the user's reach.
        const int titleBar = qMax(geometry().top() - frameGeometry().top(), kTitleBarPixels);
        if (TitleBarReachable(QPoint(left, top), outerTwips, twips(titleBar), screens))
            place = QPoint(left, top);
    }
    move(pixels(place.x()), pixels(place.y()));
    // The window manager adds its frame only once the window shows: a
    // centred window moves once more then, to be centred with its frame.
    m_centreOnceFramed = place == centred;
}

void frmMain::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (!m_centreOnceFramed || !isVisible() || !windowHandle() || windowHandle()->frameMargins().isNull())
        return;
    m_centreOnceFramed = false;
    const QPoint centred = centredTwips(m_services.screensTwips());
    move(pixels(centred.x()), pixels(centred.y()));
}

int frmMain::topTwips() const
{
    return twips(pos().y());
}

int frmMain::leftTwips() const
{
    return twips(pos().x());
}

// ---------------------------------------------------------- series choice

void frmMain::comUnitList_Click()
{
    const int index = comUnitList->currentIndex();
    if (index == intSeriesIndex || index < 0 || index >= int(m_series.size()))
        return;

    rememberCurrentPair();
    setWindowTitle(kTitlePrefix + u"読込中"_s);
    {
        const QSignalBlocker blockBefore(comBeforeConvUnit);
        const QSignalBlocker blockAfter(comAfterConvUnit);
        comBeforeConvUnit->clear();
        comAfterConvUnit->clear();

        const int last = m_session.LoadSeries(m_unitsDir, m_series[size_t(index)]);

        comBeforeConvUnit->setVisible(false);
        comAfterConvUnit->setVisible(false);
        QStringList names;
        names.reserve(last + 1);
        for (int i = 0; i <= last; ++i)
            names << ShownName(m_session.units()[size_t(i)].UnitName);
        comBeforeConvUnit->addItems(names);
        // The values in several units are targets only, after the units.
        for (const CompoundUnit &compound : m_session.compounds())
            names << compound.name;
        comAfterConvUnit->addItems(names);
        comBeforeConvUnit->setCurrentIndex(-1);
        comAfterConvUnit->setCurrentIndex(-1);
        comBeforeConvUnit->setVisible(true);
        comAfterConvUnit->setVisible(true);
    }
    // A series without units leaves both lists with nothing selected.
    if (comBeforeConvUnit->count() > 0) {
        // The units this series had when it was last left, where they still
        // are (by name, or by an alias the unit has been given since).
        int source = 0;
        int target = 0;
        if (const auto pair = m_rememberPairs ? m_pairs.recall(m_series[size_t(index)].name) : std::nullopt) {
            source = qMax(0, m_session.FindUnit(pair->source));
            target = qMax(0, m_session.FindTarget(pair->target));
        }
        comBeforeConvUnit->setCurrentIndex(source);  // runs the source-unit handler
        comAfterConvUnit->setCurrentIndex(target);
    }
    txtBeforeConv->setText(u"0"_s);
    txtAfterConv->setText(u"0"_s);
    setWindowTitle(kTitlePrefix + comUnitList->currentText());
    intSeriesIndex = index;
    m_services.messageBeep(Services::Information);
}

void frmMain::rememberCurrentPair()
{
    if (!m_rememberPairs || intSeriesIndex < 0 || intSeriesIndex >= int(m_series.size())
        || comBeforeConvUnit->currentIndex() < 0 || comAfterConvUnit->currentIndex() < 0)
        return;
    // By the names themselves: the lists show long names cut.
    const UnitArray &units = m_session.units();
    // The target may be a value in several units, after the units.
    m_pairs.remember({m_series[size_t(intSeriesIndex)].name, units[size_t(comBeforeConvUnit->currentIndex())].UnitName,
                      m_session.targetName(comAfterConvUnit->currentIndex())});
}

void frmMain::comBeforeConvUnit_Click()
{
    // A digit string of one radix means nothing in another.
    if (m_session.isNumberBase()) {
        txtBeforeConv->setText(u"0"_s);
        txtAfterConv->setText(u"0"_s);
    }
}

// ------------------------------------------------------------- conversion

void frmMain::showOutcome(const SessionOutcome &outcome, bool run)
{
    // A run leaves the target list at the last unit it reached; the result
    // box shows the last result made.
    if (run && outcome.lastTarget >= 0)
        comAfterConvUnit->setCurrentIndex(outcome.lastTarget);
    if (outcome.lastShown)
        txtAfterConv->setText(*outcome.lastShown);
}

void frmMain::reportFailure(const SessionOutcome &outcome)
{
    m_services.messageBox(this, FailureMessage(outcome.failure), Services::Exclamation, u"Error!!"_s);
    txtBeforeConv->setText(u"0"_s);
    setResultCommandsEnabled(false);
}

std::optional<double> frmMain::keptValue() const
{
    if (m_kept && m_kept->text == txtBeforeConv->text())
        return m_kept->value;
    return std::nullopt;
}

QString frmMain::valueText() const
{
    return AsciiForms(txtBeforeConv->text());
}

void frmMain::ConvertValue()
{
    m_shownResult.reset();
    const SessionOutcome outcome = m_session.ConvertValue(valueText(), comBeforeConvUnit->currentIndex(),
                                                          comAfterConvUnit->currentIndex(), keptValue());
    showOutcome(outcome, false);
    if (outcome.failed) {
        reportFailure(outcome);
        return;
    }
    m_shownResult = ShownResult{intSeriesIndex,
                                comBeforeConvUnit->currentIndex(),
                                comAfterConvUnit->currentIndex(),
                                txtBeforeConv->text(),
                                txtAfterConv->text(),
                                outcome.lastValue};
    setResultCommandsEnabled(true);
    m_services.messageBeep(Services::Information);
}

void frmMain::ConvertToAllUnits()
{
    m_shownResult.reset();
    const SessionOutcome outcome = m_session.ConvertToAllUnits(valueText(), comBeforeConvUnit->currentIndex(),
                                                               keptValue());
    showOutcome(outcome, true);
    if (outcome.failed) {
        reportFailure(outcome);  // the target list stays at the failing unit
        return;
    }
    m_services.messageBeep(Services::Information);

    frmAll results(m_session.lastResult(), this);
    results.Form_Load();
    results.showModal();

    setResultCommandsEnabled(true);
    comAfterConvUnit->setCurrentIndex(0);
    txtAfterConv->setText(u"0"_s);
}

// --------------------------------------------------------------- commands

void frmMain::Menu_Clear_Click()
{
    comBeforeConvUnit->setCurrentIndex(comBeforeConvUnit->count() > 0 ? 0 : -1);
    comAfterConvUnit->setCurrentIndex(comAfterConvUnit->count() > 0 ? 0 : -1);
    txtBeforeConv->setText(u"0"_s);
    txtAfterConv->setText(u"0"_s);
    setResultCommandsEnabled(false);
}

void frmMain::Menu_SendClipBoard_Click()
{
    if (!Menu_SendClipBoard->isEnabled())
        return;
    if (!m_services.setClipboardText(m_session.lastResult())) {
        m_services.messageBox(this, u"クリップボードへ情報を送れませんでした。"_s, Services::Exclamation, u"Tovel"_s);
        return;
    }
    m_services.messageBox(this, u"クリップボードへ情報を送りました。"_s, Services::Information, u"Tovel"_s);
}

void frmMain::setResultCommandsEnabled(bool enabled)
{
    Menu_SendClipBoard->setEnabled(enabled);
    Menu_SendValue->setEnabled(enabled);
}

void frmMain::Menu_SendValue_Click()
{
    if (!Menu_SendValue->isEnabled())
        return;
    if (!m_services.setClipboardText(m_session.valuesText())) {
        m_services.messageBox(this, u"クリップボードへ情報を送れませんでした。"_s, Services::Exclamation, u"Tovel"_s);
        return;
    }
    m_services.messageBeep(Services::Information);
}

bool frmMain::resultIsCurrent() const
{
    return m_shownResult && m_shownResult->series == intSeriesIndex
        && m_shownResult->source == comBeforeConvUnit->currentIndex()
        && m_shownResult->target == comAfterConvUnit->currentIndex() && m_shownResult->typed == txtBeforeConv->text()
        && m_shownResult->result == txtAfterConv->text();
}

void frmMain::Menu_Swap_Click()
{
    const int source = comBeforeConvUnit->currentIndex();
    const int target = comAfterConvUnit->currentIndex();
    if (source < 0 || target < 0)
        return;
    const bool roundTrip = resultIsCurrent();
    QString result = ValueTextOfResult(txtAfterConv->text(), m_session.isNumberBase());
    const double value = roundTrip ? m_shownResult->value : 0.0;
    // A value in several units goes back as the value in its last unit.
    int newSource = target;
    const int unitCount = int(m_session.units().size());
    if (target >= unitCount) {
        newSource = m_session.compounds()[size_t(target - unitCount)].parts.back();
        if (roundTrip)
            result = std::isinf(value) ? QString::fromUtf16(kInfinityText) : PlainText(value, m_session.sigDigits());
    }
    comBeforeConvUnit->setCurrentIndex(newSource);  // in "進数" this empties both boxes
    comAfterConvUnit->setCurrentIndex(source);
    if (!roundTrip)
        return;
    // The result goes back the other way: the user sees the value come back,
    // converted from the value behind the text (the text has lost digits).
    txtBeforeConv->setText(result);
    m_kept.reset();
    if (!std::isnan(value))
        m_kept = KeptValue{result, value};
    ConvertValue();
}

void frmMain::Menu_FindUnit_Click()
{
    openFinder(QString());
}

void frmMain::openFinder(const QString &typed)
{
    if (!m_finder)
        m_finder = BuildNameIndex(m_unitsDir, m_series);
    frmFind finder(*m_finder, this);
    KeepFromMaximizing(&finder);
    if (!typed.isEmpty())
        finder.setTyped(typed);
    finder.showModal();
    if (const auto choice = finder.choice()) {
        const IndexedUnit &unit = m_finder->unit(choice->unit);
        pickUnit(unit.series, unit.unit, choice->toTarget);
    }
}

void frmMain::pickUnit(int seriesIndex, int unitIndex, bool toTarget)
{
    if (seriesIndex != comUnitList->currentIndex())
        comUnitList->setCurrentIndex(seriesIndex);  // loads it, as picking it in the list does
    QComboBox *list = toTarget ? comAfterConvUnit : comBeforeConvUnit;
    if (unitIndex < list->count())
        list->setCurrentIndex(unitIndex);
    // The value is selected, as after Tab: what the user types next replaces it.
    txtBeforeConv->setFocus();
    txtBeforeConv->selectAll();
}

void frmMain::openWith(const QStringList &arguments)
{
    const auto refuse = [this](const QString &why) {
        m_services.messageBox(this, u"コマンド行の引数を使えません。\r\n"_s + why, Services::Exclamation, kTitle);
    };
    const StartRequest request = ParseStartArguments(arguments);
    if (!request.error.isEmpty()) {
        refuse(request.error);
        return;
    }
    if (request.kind == StartRequest::Kind::Find) {
        openFinder(request.find);
        return;
    }
    if (request.kind != StartRequest::Kind::Convert)
        return;
    if (!m_finder)
        m_finder = BuildNameIndex(m_unitsDir, m_series);
    std::map<int, UnitArray> read;
    const auto unitsOf = [this, &read](int series) -> const UnitArray & {
        auto it = read.find(series);
        if (it == read.end()) {
            UnitArray units;
            LoadUnitFile(m_unitsDir + m_finder->series(series).fileName, units);
            it = read.emplace(series, std::move(units)).first;
        }
        return it->second;
    };
    const IndexNameLookup names(*m_finder);
    // A last word that names no unit may be a target in several units of
    // the series ("尺・寸", or "尺;寸" from its units), as tovelconv takes it.
    QStringList words = request.words;
    QString compoundTarget;
    if (words.size() == 3 && names.unitsOf(words[2]).empty())
        compoundTarget = words.takeLast();
    try {
        const WordsQuery query = ResolveWords(words, names, request.series, unitsOf);
        if (query.series >= comUnitList->count())
            return;
        comUnitList->setCurrentIndex(query.series);  // loads it, as picking it in the list does
        if (query.source < 0 || query.source >= comBeforeConvUnit->count())
            return;
        int target = query.target;
        if (!compoundTarget.isEmpty()) {
            target = m_session.FindTarget(compoundTarget);
            if (target < 0) {
                refuse(u"単位「%1」は単位系「%2」にありません。"_s.arg(compoundTarget, m_session.series().name));
                return;
            }
            if (target >= comAfterConvUnit->count())  // units joined by ";": the session made it
                comAfterConvUnit->addItem(m_session.targetName(target));
        }
        comBeforeConvUnit->setCurrentIndex(query.source);
        if (target >= 0 && target < comAfterConvUnit->count())
            comAfterConvUnit->setCurrentIndex(target);
        // The value goes into the box as it was given where the box reads it
        // so; otherwise as the number it comes to.
        const bool asGiven = query.numberBase || IsNumberText(query.shown) || m_session.formulas();
        txtBeforeConv->setText(asGiven ? query.shown : query.value);
        ConvertValue();
    } catch (const ValueFailure &failure) {
        refuse(failure.message());
    }
}

void frmMain::Menu_RememberPairs_Click()
{
    m_rememberPairs = Menu_RememberPairs->isChecked();
    if (m_rememberPairs && !m_pairsRead) {
        m_pairs.read(striniAdd);
        m_pairsRead = true;
    }
}

void frmMain::Menu_UseFormula_Click()
{
    m_settings[SettingKey::UseFormula] = Menu_UseFormula->isChecked() ? 1 : 0;
    m_session.SetFormulas(Menu_UseFormula->isChecked());
}

void frmMain::Menu_Front_Click()
{
    if (Menu_Front->isChecked()) {
        SetTopMost(this, 0);
        m_topMost = false;
    } else {
        SetTopMost(this, 1);
        m_topMost = true;
    }
    Menu_Front->setChecked(!Menu_Front->isChecked());
    m_settings[SettingKey::Front] = Menu_Front->isChecked() ? -1 : 0;
}

void frmMain::readDialogSettings()
{
    m_settings.takeOver(ReadSettings(striniAdd), DialogSettingKeys());
    m_session.SetResultStyle(m_settings[SettingKey::ShowAns], m_settings[SettingKey::MaxPlace],
                             m_settings[SettingKey::SigDigits]);
}

void frmMain::Menu_Setting_Click()
{
    {
        frmSet dialog(striniAdd, this);
        dialog.Form_Load();
        dialog.showModal();
    }
    // The dialog wrote the file on Apply or OK; take over what it holds.
    readDialogSettings();
}

void frmMain::Menu_ShowHelp_Click()
{
    ShowHelp(m_services);
}

void frmMain::Menu_Version_Click()
{
    frmAbout about(m_services, this);
    about.Form_Load();
    about.showModal();
}

void frmMain::Menu_End_Click()
{
    SaveSettingsAndEnd();
}

void frmMain::SaveSettingsAndEnd()
{
    if (m_ended)
        return;
    SaveSettings();
    m_services.endProgram();
}

void frmMain::SaveSettings()
{
    if (m_ended)
        return;
    m_ended = true;
    rememberCurrentPair();
    // One change of the file: another copy of the program ending at the
    // same moment leaves either all of these keys or none.
    m_settings[SettingKey::LastUnitSeries] = comUnitList->currentIndex();
    m_settings[SettingKey::MainFormTop] = topTwips();
    m_settings[SettingKey::MainFormLeft] = leftTwips();
    m_settings[SettingKey::RememberPairs] = m_rememberPairs ? 1 : 0;
    std::vector<SettingKey> keys = AllSettingKeys();
    // Where the window's position is unknown, the stored one (of the last
    // X11 session, say) stays as it was.
    if (!m_services.windowPositionsKnown())
        std::erase_if(keys, [](SettingKey key) { return InfoOf(key).coordinate; });
    WriteSettings(striniAdd, m_settings, keys,
                  m_rememberPairs ? m_pairs.changes() : std::vector<ProfileStore::Change>{});
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // A modal window of ours is open: it closes first, through its buttons.
    if (QApplication::activeModalWidget() && QApplication::activeModalWidget() != this) {
        event->ignore();
        return;
    }
    SaveSettingsAndEnd();
    event->accept();
}

// ------------------------------------------------------------------- keys

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtAfterConv && event->type() == QEvent::ShortcutOverride) {
        // Ctrl+C copies the last result while that command is available; the
        // read-only box copies its selection only otherwise.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy) && Menu_SendClipBoard->isEnabled()) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
