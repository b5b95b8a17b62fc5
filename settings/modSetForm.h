#pragma once
// Window operations shared by all windows: keeping a window above all others,
// and taking the Close command away from a secondary window.
//
// The secondary windows (all-units result, settings, About) derive from
// SecondaryWindow: always on top while loaded, no close button, the window
// manager's close request refused, and Esc routed to the window's own
// Cancel or OK button instead of closing the dialog behind their back.

#include <QDialog>

class QWidget;

// flag 1: keep the window above all others; 0: an ordinary window again.
// Returns non-zero on success, 0 when flag is neither 0 nor 1.
int SetTopMost(QWidget *form, int flag);

// Takes the close button and the window manager's close request away from
// window; it then closes only through UnloadWindow. Returns non-zero.
int DisableCloseMenu(QWidget *window);

// Whether DisableCloseMenu was applied to window.
bool IsCloseMenuDisabled(const QWidget *window);

class SecondaryWindow : public QDialog {
    Q_OBJECT
public:
    explicit SecondaryWindow(QWidget *owner);

    // Shows the window modally over its owner; returns when it is unloaded.
    int showModal();

protected:
    // The window's own way out, run by Esc: its Cancel or OK button.
    virtual void escapePressed() = 0;
    // Closes the window; only the window's own buttons call it.
    void unload(int result = QDialog::Accepted);

    void reject() override;  // Esc: escapePressed()
};
