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

#include <cstdlib>

namespace {

// The main window while the event loop runs.
frmMain *g_window = nullptr;

// When the connection to the X server breaks (the server ended before the
// program at logout, a dropped "ssh -X"), Qt ends the program with exit(1)
// from inside the event loop. The settings are saved on that way out too.
extern "C" void SaveSettingsOnExit()
{
    if (g_window)
        g_window->SaveSettings();
}

}  // namespace

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
    g_window = &window;
    std::atexit(SaveSettingsOnExit);
    // Qt's Wayland client ends without exit handlers: the report of the
    // broken connection is the last moment to save.
    OnWaylandConnectionLost(SaveSettingsOnExit);
    const int status = app.exec();
    g_window = nullptr;
    return status;
}
