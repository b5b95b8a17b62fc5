#pragma once
// The window that shows the lines of a conversion into every unit.
//
// Modal, owned by the main window, always on top, and closed only through
// its "OK" button (or Esc, which acts as that button).

#include "forms/SecondaryWindow.h"

#include <QString>

class QPlainTextEdit;
class QPushButton;

class frmAll : public SecondaryWindow {
    Q_OBJECT
public:
    frmAll(const QString &lastResult, QWidget *owner);

    void Form_Load();
    void cmdClose_Click();

protected:
    void escapePressed() override;

private:
    QString m_lastResult;
    QPlainTextEdit *txtAllAns = nullptr;
    QPushButton *cmdClose = nullptr;
};
