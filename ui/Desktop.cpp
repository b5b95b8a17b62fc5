#include "ui/Desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtGlobal>

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
