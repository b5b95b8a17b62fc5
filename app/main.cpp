// Tovel: a unit converter. Builds the main window over the platform services
// and runs the event loop.
#include "settings/EndSignals.h"
#include "ui/QtServices.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDateTime>
#include <QSessionManager>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tovel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tovel"));

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
