#include "forms/modSetForm.h"

#include <QCloseEvent>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

const char kCloseDisabled[] = "tovelCloseDisabled";

// Refuses the close request of a window whose Close command is taken away.
// Its own buttons close it with QDialog::done, which sends no close event.
class CloseRefuser : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        Q_UNUSED(watched);
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return false;
    }
};

}  // namespace

int SetTopMost(QWidget *form, int flag)
{
    if (!form || (flag != 0 && flag != 1))
        return 0;
    const bool on = flag == 1;
    QWindow *handle = form->windowHandle();
    if (handle && form->isVisible()) {
        // On a shown window, QWidget::setWindowFlag would hide the window and
        // create a new native one, losing the focus. The native flag alone
        // keeps the window where it is.
        handle->setFlag(Qt::WindowStaysOnTopHint, on);
    } else {
        form->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    }
    return 1;
}

int DisableCloseMenu(QWidget *window)
{
    if (!window)
        return 0;
    if (!window->property(kCloseDisabled).toBool()) {
        const bool visible = window->isVisible();
        Qt::WindowFlags flags = window->windowFlags();
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        flags &= ~(Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint);
        window->setWindowFlags(flags);
        if (visible)
            window->show();
        window->installEventFilter(new CloseRefuser(window));
        window->setProperty(kCloseDisabled, true);
    }
    return 1;
}

bool IsCloseMenuDisabled(const QWidget *window)
{
    return window && window->property(kCloseDisabled).toBool();
}
