#pragma once
// What the windows ask of the platform beyond Qt's widgets.
//
// The program runs over QtServices; tests run the real windows over a
// recording fake, so no test blocks on a modal message box, plays a sound,
// touches the clipboard, opens a document or ends the test process.

#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

class QWidget;

class Services {
public:
    // Message box styles: one OK button and an icon.
    enum Style { Error = 16, Exclamation = 48, Information = 64 };

    virtual ~Services() = default;

    // Modal message box; returns when the user has closed it.
    virtual void messageBox(QWidget *owner, const QString &text, Style style, const QString &title) = 0;
    // The system's sound for a message of that style (64: information).
    virtual void messageBeep(Style type) = 0;
    // Empties the clipboard and puts text on it as plain text. False on failure.
    virtual bool setClipboardText(const QString &text) = 0;
    // Opens a local file (absolute path) or a URL with the desktop's handler.
    virtual bool openDocument(const QString &pathOrUrl) = 0;
    // The folder of the running program, without a trailing "/" (except "/").
    virtual QString programDirectory() const = 0;
    // The user's own configuration folder for Tovel (used for the settings
    // file when the program folder cannot be written).
    virtual QString userConfigDirectory() const = 0;
    // Every screen's full area in twips, in desktop coordinates, the primary
    // screen first (it need not start at 0, 0). Never empty.
    virtual std::vector<QRect> screensTwips() const = 0;
    // Twips per pixel at the screen's logical resolution (15 at 96 dpi).
    virtual double twipsPerPixel() const = 0;
    // False where the platform neither reports nor sets a window's position
    // (native Wayland): a position read from the window means nothing there.
    virtual bool windowPositionsKnown() const = 0;
    // Ends the program: every window hides at once and the event loop ends
    // when the running handler returns, so no window shows again. It
    // returns to its caller, which returns in turn without doing anything
    // more; before the event loop runs, the caller's caller ends start-up.
    virtual void endProgram() = 0;
};
