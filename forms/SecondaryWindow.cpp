#include "forms/SecondaryWindow.h"

SecondaryWindow::SecondaryWindow(QWidget *owner, CloseCommand close)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setSizeGripEnabled(false);
    SetTopMost(this, 1);
    if (close == CloseCommand::Disabled)
        DisableCloseMenu(this);
}

int SecondaryWindow::showModal()
{
    return exec();
}

void SecondaryWindow::unload(int result)
{
    done(result);
}

void SecondaryWindow::reject()
{
    escapePressed();
}
