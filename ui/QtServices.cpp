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

#include <cstdio>
#include <cstdlib>

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

QSize QtServices::screenSizeTwips() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QSize(0, 0);
    const QSize pixels = screen->geometry().size();
    const double t = twipsPerPixel();
    return QSize(qRound(pixels.width() * t), qRound(pixels.height() * t));
}

void QtServices::endProgram()
{
    // Everything the program keeps is on disk by now (the settings file is
    // written through a rename); end without running any further handler.
    std::fflush(nullptr);
    std::_Exit(0);
}
