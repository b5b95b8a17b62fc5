#include "ui/Desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>

#include <mutex>

QByteArray PlatformToPrefer(const QByteArray &chosenPlatform, const QByteArray &sessionType,
                            const QByteArray &waylandDisplay, const QByteArray &x11Display)
{
    if (!chosenPlatform.isEmpty() || x11Display.isEmpty())
        return QByteArray();
    const bool wayland = sessionType.toLower() == "wayland" || !waylandDisplay.isEmpty();
    return wayland ? QByteArrayLiteral("xcb;wayland") : QByteArray();
}

void PreferX11UnderWayland()
{
    const QByteArray platform = PlatformToPrefer(qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"),
                                                 qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

void NameTheApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("tovel"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tovel"));
}

QTranslator *LoadToolkitTranslation(QCoreApplication *app)
{
    auto *translator = new QTranslator(app);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

namespace {

QtMessageHandler g_previousHandler = nullptr;
void (*g_onWaylandLost)() = nullptr;

void WatchForWaylandLoss(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
    // Qt's event thread and the main thread may both find the connection
    // gone, and each ends the program right after reporting it: whichever
    // reports second waits here until the first has run onLost.
    static std::once_flag once;
    if (g_onWaylandLost && IsWaylandConnectionLoss(message))
        std::call_once(once, g_onWaylandLost);
}

// Sends a maximized window back to its own size.
class MaximizeRefusal : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowStateChange) {
            auto *window = static_cast<QWidget *>(watched);
            if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
                QTimer::singleShot(0, window, [window] { window->setWindowState(Qt::WindowNoState); });
        }
        return false;
    }
};

}  // namespace

bool IsWaylandConnectionLoss(const QString &message)
{
    return message.startsWith(u"The Wayland connection broke")
        || message.startsWith(u"The Wayland connection experienced a fatal error");
}

void OnWaylandConnectionLost(void (*onLost)())
{
    g_onWaylandLost = onLost;
    QtMessageHandler previous = qInstallMessageHandler(WatchForWaylandLoss);
    if (previous != WatchForWaylandLoss)
        g_previousHandler = previous;
}

void KeepFromMaximizing(QWidget *window)
{
    if (QGuiApplication::platformName() != u"wayland")
        return;
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->installEventFilter(new MaximizeRefusal(window));
}
