#pragma once
// The secondary windows (the finder, the all-units result, settings, About):
// always on top while loaded, Esc routed to the window's own Cancel or OK
// button instead of closing the dialog behind their back, and, but for the
// finder, no close button and the window manager's close request refused.

#include "forms/modSetForm.h"

#include <QDialog>

class SecondaryWindow : public QDialog {
    Q_OBJECT
public:
    // Whether the title bar's close button and Alt+F4 close the window (as
    // Esc does) or are refused.
    enum class CloseCommand { Disabled, Enabled };

    // Sets the window up as above: on top, and without its Close command
    // unless closing is enabled. A derived window only builds its controls.
    explicit SecondaryWindow(QWidget *owner, CloseCommand close = CloseCommand::Disabled);

    // Shows the window modally over its owner; returns when it is unloaded.
    int showModal();

protected:
    // The window's own way out, run by Esc: its Cancel or OK button.
    virtual void escapePressed() = 0;
    // Closes the window; only the window's own buttons call it.
    void unload(int result = QDialog::Accepted);

    void reject() override;  // Esc: escapePressed()
};
