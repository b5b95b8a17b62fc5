#pragma once
// How the program meets the desktop before and right after the application
// object exists: the display platform, the names the desktop knows it by,
// and Qt's own texts in Japanese.

#include <QByteArray>

class QCoreApplication;
class QString;
class QTranslator;
class QWidget;

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

// Qt's Wayland client ends the program with _exit() when the connection to
// the compositor breaks (the compositor ended or refused a request), so no
// exit handler runs. Installs a message handler that runs onLost, once, when
// Qt reports that end; every message still goes to the handler before it.
void OnWaylandConnectionLost(void (*onLost)());

// True when the text is Qt's report that the Wayland connection is gone.
bool IsWaylandConnectionLoss(const QString &message);

// A window of fixed size under Wayland: Qt's own title bar offers maximize
// whatever the window's flags say, the compositor then demands the size of
// the screen, and a window that keeps its size is cut off by it. Here the
// window may take the maximized size for a moment (no upper bound on its
// size) and goes back to its own size at once. Elsewhere nothing changes.
void KeepFromMaximizing(QWidget *window);
