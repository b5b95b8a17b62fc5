// tovel-search: Tovel's search provider for GNOME Shell and KRunner, started
// by the session bus when a desktop search first asks, ending after a time
// without a call (20 s; TOVEL_SEARCH_IDLE_SECONDS sets another). See
// SearchService.
//
//   tovel-search --copy TEXT   keeps TEXT on the clipboard (what the
//                              service starts for "値をコピー") for ten
//                              minutes (TOVEL_SEARCH_COPY_SECONDS sets
//                              another time), then hands it to the
//                              clipboard manager
#include "convert/search/SearchService.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>
#include <cstring>

using namespace std::chrono_literals;

namespace {

// Owns the clipboard with text until another program takes it, at most for
// keepTime; ending hands the text to the desktop's clipboard manager, as the
// window does when it ends. Through X11 (XWayland on a Wayland session): a
// Wayland client without a focused window may not set the clipboard.
int KeepOnClipboard(int argc, char **argv, const QString &text, std::chrono::milliseconds keepTime)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    QGuiApplication app(argc, argv);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    QTimer::singleShot(keepTime, &app, &QCoreApplication::quit);
    return app.exec();
}

// The seconds in the environment variable name, or else fallback.
std::chrono::milliseconds SecondsFrom(const char *name, std::chrono::milliseconds fallback)
{
    bool ok = false;
    const double seconds = qEnvironmentVariable(name).toDouble(&ok);
    if (ok && seconds > 0 && seconds <= 3600)
        return std::chrono::milliseconds(qint64(seconds * 1000));
    return fallback;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--copy") == 0)
        return KeepOnClipboard(argc, argv, QString::fromUtf8(argv[2]), SecondsFrom("TOVEL_SEARCH_COPY_SECONDS", 10min));

    QCoreApplication app(argc, argv);
    // The folders of the window program: the one the program really lives
    // in, and the user's own under "tovel".
    QCoreApplication::setApplicationName(QStringLiteral("tovel"));
    SearchFolders folders;
    folders.programDirectory = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    folders.userConfigDirectory = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);

    SearchService service(folders, SecondsFrom("TOVEL_SEARCH_IDLE_SECONDS", 20s));
    if (!service.start())
        return 1;
    return app.exec();
}
