#pragma once
// How the program meets the desktop before and right after the application
// object exists: the display platform, the names the desktop knows it by,
// and Qt's own texts in Japanese.

#include <QByteArray>

class QCoreApplication;
class QTranslator;

// The platform list to set in QT_QPA_PLATFORM, or an empty text to leave the
// choice to Qt. On a Wayland session no client may place or raise its own
// window, so the stored position and "always on top" would do nothing: when
// the user chose no platform and the session offers an X server (XWayland),
// X11 comes first, with Wayland as the fall-back should it not answer.
QByteArray PlatformToPrefer(const QByteArray &chosenPlatform, const QByteArray &sessionType,
                            const QByteArray &waylandDisplay, const QByteArray &x11Display);

// Reads the environment and sets QT_QPA_PLATFORM as PlatformToPrefer says.
// Runs before the application object is built.
void PreferX11UnderWayland();

// The program's name for settings and the desktop entry ("tovel", which
// names the menu entry and icon on taskbars and Wayland compositors). No
// display name: Qt would append it to every window title.
void NameTheApplication();

// Loads Qt's Japanese translation (context menus, standard buttons) into
// app, which owns it. Null when the translation is not installed; Qt's own
// texts then stay English.
QTranslator *LoadToolkitTranslation(QCoreApplication *app);
