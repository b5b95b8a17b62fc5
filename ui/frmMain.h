#pragma once
// The main window: series list, value box, unit lists, result box and the
// menu bar through which every command is reached.
//
// Start-up (Form_Load) builds the series list, reads the settings, restores
// the always-on-top state and the window position, and selects the start
// series. The handlers only read controls, call the core (series loader,
// conversion, settings file) and write the outcome back. The platform is
// reached through Services, so tests drive this window over a fake.

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/NameIndex.h"
#include "catalogue/UnitRecord.h"
#include "convert/ConversionSession.h"
#include "settings/SettingsValues.h"
#include "settings/UnitPairs.h"

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <random>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class Services;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // randomSeed seeds the choice of a random start series.
    frmMain(Services &services, quint64 randomSeed, QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up. False when the program had to end (no series file).
    bool Form_Load();
    // After start-up, what the command line asks for (the program's name
    // left out): "VALUE FROM [TO]" with "--series NAME" and "--" as
    // tovelconv takes them, converted as Enter converts; "--find QUERY" opens
    // the finder with QUERY typed. Nothing for no arguments; arguments that
    // do not read leave the window as it started, with a message box.
    void openWith(const QStringList &arguments);

    // Commands, as the menu items and keys run them.
    void ConvertValue();
    void ConvertToAllUnits();
    void Menu_Clear_Click();
    void Menu_SendClipBoard_Click();
    void Menu_SendValue_Click();
    void Menu_FindUnit_Click();
    void Menu_Swap_Click();
    void Menu_RememberPairs_Click();
    void Menu_UseFormula_Click();
    void Menu_Front_Click();
    void Menu_Setting_Click();
    void Menu_ShowHelp_Click();
    void Menu_Version_Click();
    void Menu_End_Click();
    void SaveSettingsAndEnd();
    // The save of the end alone, once: for an end that the program does not
    // run itself (the display gone). Touches no window system.
    void SaveSettings();

    // Handlers of the lists.
    void comUnitList_Click();
    void comBeforeConvUnit_Click();

    // For tests only: the window's state, read by nothing in the program.
    const UnitArray &units() const { return m_session.units(); }
    const QString &lastResult() const { return m_session.lastResult(); }
    bool allConvRunning() const { return m_session.allConvRunning(); }
    int showAns() const { return m_settings[SettingKey::ShowAns]; }
    int placeNum() const { return m_settings[SettingKey::MaxPlace]; }
    int sigDigits() const { return m_settings[SettingKey::SigDigits]; }
    int winPos() const { return m_settings[SettingKey::WinPos]; }
    int front() const { return m_settings[SettingKey::Front]; }
    int unitSeries() const { return m_settings[SettingKey::UnitSeries]; }
    int seriesIndex() const { return intSeriesIndex; }
    bool isTopMost() const { return m_topMost; }

    // Puts unit unitIndex of the series at seriesIndex into the source list,
    // or the target list, selecting that series first when another one is
    // loaded; the focus goes to the value box.
    void pickUnit(int seriesIndex, int unitIndex, bool toTarget);

    // Window position in twips: the outer frame's top left corner.
    int topTwips() const;
    int leftTwips() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    bool buildSeriesList();
    void readDialogSettings();
    void openFinder(const QString &typed);
    void placeWindow();
    QPoint centredTwips(const std::vector<QRect> &screens) const;  // with the frame as it is now
    // Moves the target list (after a run) and fills the result box as the
    // command left them.
    void showOutcome(const SessionOutcome &outcome, bool run);
    void reportFailure(const SessionOutcome &outcome);
    void setResultCommandsEnabled(bool enabled);
    void rememberCurrentPair();
    bool resultIsCurrent() const;
    // The kept value while the value box holds its text.
    std::optional<double> keptValue() const;
    // The value box's text as the conversion reads it: pasted full-width
    // forms as the characters they stand for.
    QString valueText() const;
    int twips(int pixels) const;
    int pixels(int twips) const;

    Services &m_services;
    QObject *m_keyPreview = nullptr;
    std::mt19937_64 m_random;
    QString m_programDir;
    QString m_unitsDir;  // the units folder, ending in "/"
    std::vector<SeriesEntry> m_series;
    bool m_topMost = false;
    bool m_ended = false;
    bool m_centreOnceFramed = false;  // centred again once its frame is known
    bool m_rememberPairs = true;
    bool m_pairsRead = false;
    UnitPairMemory m_pairs;
    std::optional<NameIndex> m_finder;  // every unit's name, read when the finder first opens

    // The conversion whose result the result box shows, while nothing has
    // changed since.
    struct ShownResult {
        int series = -1;
        int source = -1;
        int target = -1;
        QString typed;
        QString result;
        double value = 0.0;  // the result before it was rounded (NaN for a digit string)
    };
    std::optional<ShownResult> m_shownResult;
    // A result that a swap put into the value box, kept unrounded: while the
    // box holds its text unchanged, the conversion uses the value itself,
    // so the value comes back exactly. Any edit of the box drops it.
    struct KeptValue {
        QString text;
        double value = 0.0;
    };
    std::optional<KeptValue> m_kept;

    // Controls.
    QGroupBox *frmBeforeConvert = nullptr;
    QGroupBox *frmAfterConvert = nullptr;
    QLineEdit *txtBeforeConv = nullptr;
    QLineEdit *txtAfterConv = nullptr;
    QComboBox *comBeforeConvUnit = nullptr;
    QComboBox *comAfterConvUnit = nullptr;
    QComboBox *comUnitList = nullptr;
    QLabel *lblLabel[5] = {};

    // Menu items.
    QMenu *Menu_Convert = nullptr;
    QMenu *Menu_Control = nullptr;
    QMenu *Menu_Others = nullptr;
    QMenu *Menu_Set = nullptr;
    QAction *Menu_NormalConv = nullptr;
    QAction *Menu_AllConv = nullptr;
    QAction *Menu_Clear = nullptr;
    QAction *Menu_SendClipBoard = nullptr;
    QAction *Menu_SendValue = nullptr;
    QAction *Menu_FindUnit = nullptr;
    QAction *Menu_Swap = nullptr;
    QAction *Menu_RememberPairs = nullptr;
    QAction *Menu_UseFormula = nullptr;
    QAction *Menu_Front = nullptr;
    QAction *Menu_Setting = nullptr;
    QAction *Menu_ShowHelp = nullptr;
    QAction *Menu_Version = nullptr;
    QAction *Menu_End = nullptr;

    // The window's fields. The session holds the loaded series (Units), the
    // lines of the last command (LastResult) and the all-units run
    // (AllConvRunning); the window shows what its commands give back.
    ConversionSession m_session;
    // The settings file's keys as the window holds them (the result style,
    // the placement, always on top, the start series), read at start-up and
    // written back at the end.
    Settings m_settings;
    int intSeriesIndex = 0;
    QString striniAdd;
};
