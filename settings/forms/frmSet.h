#pragma once
// The settings dialog "設定": result style, digit limit for grouped results,
// significant digits of a result, placement of the main window and the series shown at start-up.
//
// It works on the settings file itself, not on the main window's fields:
// Form_Load reads its keys (those of DialogSettingKeys), Apply and OK write
// them back, and the main window reads them again once the dialog has closed. Modal, always on top,
// and closed only by OK or Cancel (Esc acts as Cancel).
//
// Use: frmSet dlg(settingsPath, owner); dlg.Form_Load(); dlg.showModal();

#include "settings/SettingsValues.h"
#include "forms/SecondaryWindow.h"

#include <QString>

#include <array>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;

class frmSet : public SecondaryWindow {
    Q_OBJECT
public:
    frmSet(const QString &settingsPath, QWidget *owner);

    void Form_Load();

    void optShowAns_Click(int Index);
    void vscPlaceNum_Change();
    void txtPlaceNum_Change();
    void spnSigDigits_Change();
    void optWinPos_Click(int Index);
    void optUnitSeries_Click(int Index);
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdAppli_Click();

protected:
    void escapePressed() override;

private:
    void buildControls();
    // The scroll bar runs from the highest digit limit at its top end to the
    // lowest at its bottom end.
    int scrollBarLimit() const;
    void setScrollBarLimit(int limit);

    QString striniAdd;
    Settings m_settings;  // the dialog's keys as its controls set them
    bool m_loading = false;

    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    // One option for every value of its key.
    std::array<QRadioButton *, ChoiceCount(SettingKey::ShowAns)> optShowAns{};
    std::array<QRadioButton *, ChoiceCount(SettingKey::WinPos)> optWinPos{};
    std::array<QRadioButton *, ChoiceCount(SettingKey::UnitSeries)> optUnitSeries{};
    QLabel *Label2 = nullptr;
    QLineEdit *txtPlaceNum = nullptr;
    QScrollBar *vscPlaceNum = nullptr;
    QLabel *lblSigDigits = nullptr;  // "有効数字(&G)", the spin box, "桁"
    QSpinBox *spnSigDigits = nullptr;
    QLabel *lblSigDigitsUnit = nullptr;
    std::array<QLabel *, 3> Label1{};
    std::array<QFrame *, 2> Line1{};
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdAppli = nullptr;
};
