#pragma once
// The window "単位を探す": a search box over every unit of every series and
// the list of units whose names match what is typed (NameIndex::find), each
// shown with its series and, when another of its names matched, that name.
//
// Enter or a double click chooses the unit for the source side, Shift+Enter
// for the target side; Up and Down move through the list from the search
// box. Modal, owned by the main window, always on top; Esc closes it
// without a choice. A line under the list says so.
//
// Use: frmFind dlg(finder, owner); dlg.showModal(); then dlg.choice().

#include "catalogue/NameIndex.h"
#include "forms/SecondaryWindow.h"

#include <optional>

class QLineEdit;
class QListView;
class FoundUnitsModel;

class frmFind : public SecondaryWindow {
    Q_OBJECT
public:
    frmFind(const NameIndex &finder, QWidget *owner);

    struct Choice {
        int unit = 0;  // index in the name index
        bool toTarget = false;
    };

    // Puts text into the search box as if typed, the list following it.
    void setTyped(const QString &text);
    void txtFind_Change();
    void choose(bool toTarget);

    // What the user chose, once the window has closed with a choice.
    std::optional<Choice> choice() const { return m_choice; }

protected:
    void escapePressed() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const NameIndex &m_finder;
    std::optional<Choice> m_choice;
    FoundUnitsModel *m_model = nullptr;
    QLineEdit *txtFind = nullptr;
    QListView *lstFound = nullptr;
};
