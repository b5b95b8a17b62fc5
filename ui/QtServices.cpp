#include "ui/QtServices.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

void QtServices::messageBox(QWidget *owner, const QString &text, Style style, const QString &title)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style) {
    case Error: icon = QMessageBox::Critical; break;
    case Exclamation: icon = QMessageBox::Warning; break;
    case Information: icon = QMessageBox::Information; break;
    default: break;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

void QtServices::messageBeep(Style)
{
    QApplication::beep();
}

bool QtServices::setClipboardText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();
    clipboard->setText(text, QClipboard::Clipboard);
    return clipboard->text(QClipboard::Clipboard) == text;
}

bool QtServices::openDocument(const QString &pathOrUrl)
{
    const QUrl url = QFileInfo(pathOrUrl).isAbsolute() ? QUrl::fromLocalFile(pathOrUrl)
                                                       : QUrl(pathOrUrl, QUrl::StrictMode);
    return QDesktopServices::openUrl(url);
}

QString QtServices::programDirectory() const
{
    // applicationDirPath follows /proc/self/exe, so a program started through
    // a symbolic link finds the folder it really lives in.
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

QString QtServices::userConfigDirectory() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

double QtServices::twipsPerPixel() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

bool QtServices::windowPositionsKnown() const
{
    // Every Wayland plugin ("wayland", "wayland-egl", ...) is named so.
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

std::vector<QRect> QtServices::screensTwips() const
{
    const double t = twipsPerPixel();
    const auto inTwips = [t](const QRect &pixels) {
        return QRect(qRound(pixels.x() * t), qRound(pixels.y() * t), qRound(pixels.width() * t),
                     qRound(pixels.height() * t));
    };
    std::vector<QRect> screens;
    const QScreen *primary = QGuiApplication::primaryScreen();
    screens.push_back(primary ? inTwips(primary->geometry()) : QRect());
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen != primary)
            screens.push_back(inTwips(screen->geometry()));
    }
    return screens;
}

void QtServices::endProgram()
{
    // The settings are on disk by now. No window takes input any more, and
    // the event loops (a modal one included) end once the running handler
    // has returned; main() then destroys the windows and the application,
    // which on X11 hands the clipboard over to the desktop's clipboard
    // manager, so a result sent there outlives the program.
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}
