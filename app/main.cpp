// Tovel: a unit converter. Builds the main window over the platform services
// and runs the event loop.
#include "ui/QtServices.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDateTime>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tovel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tovel"));

    QtServices services;
    frmMain window(services, quint64(QDateTime::currentMSecsSinceEpoch()));
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
