// Tovel: a unit converter. Builds the main window over the platform services
// and runs the event loop. The program ends by leaving that loop: the windows
// and then the application object are destroyed here, and on X11 that hands
// the clipboard over to the desktop's clipboard manager.
#include "ui/EndSignals.h"
#include "ui/Desktop.h"
#include "ui/QtServices.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDateTime>
#include <QSessionManager>

int main(int argc, char **argv)
{
    PreferX11UnderWayland();
    QApplication app(argc, argv);
    NameTheApplication();
    LoadToolkitTranslation(&app);

    QtServices services;
    frmMain window(services, quint64(QDateTime::currentMSecsSinceEpoch()));
    // Logout, shutdown, kill and Ctrl+C end the program as its end command
    // does, settings saved; so does the session manager's request to save.
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::endRequested, &window, &frmMain::Menu_End_Click);
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &frmMain::Menu_End_Click);
#endif
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
