#pragma once
// A recording stand-in for the platform services, for tests that drive the
// real windows. Message boxes are answered at once and remembered; beeps are
// counted; the clipboard, opened documents and the end of the program are
// recorded instead of happening.

#include "ui/Services.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class FakeServices : public Services {
public:
    struct Box {
        QString text;
        Services::Style style;
        QString title;
    };

    explicit FakeServices(QString programDir = QString()) : programDir(std::move(programDir)) {}

    void messageBox(QWidget *, const QString &text, Style style, const QString &title) override
    {
        boxes.push_back({text, style, title});
        if (onMessageBox)
            onMessageBox(boxes.back());
    }
    void messageBeep(Style type) override { beeps.push_back(type); }
    bool setClipboardText(const QString &text) override
    {
        clipboardWrites.push_back(text);
        if (clipboardFails)
            return false;
        clipboard = text;
        return true;
    }
    bool openDocument(const QString &pathOrUrl) override
    {
        opened.push_back(pathOrUrl);
        return true;
    }
    QString programDirectory() const override { return programDir; }
    QString userConfigDirectory() const override { return configDir; }
    std::vector<QRect> screensTwips() const override
    {
        std::vector<QRect> screens{QRect(primaryOriginTwips, screenTwips)};
        screens.insert(screens.end(), otherScreensTwips.begin(), otherScreensTwips.end());
        return screens;
    }
    double twipsPerPixel() const override { return 15.0; }
    bool windowPositionsKnown() const override { return positionsKnown; }
    void endProgram() override { ++ends; }

    int beepCount() const { return int(beeps.size()); }

    QString programDir;
    QString configDir;
    QSize screenTwips{1920 * 15, 1080 * 15};  // the primary screen
    QPoint primaryOriginTwips{0, 0};
    std::vector<QRect> otherScreensTwips;
    std::vector<Box> boxes;
    std::vector<int> beeps;
    std::vector<QString> clipboardWrites;
    QString clipboard;
    bool clipboardFails = false;
    bool positionsKnown = true;
    QStringList opened;
    int ends = 0;
    std::function<void(const Box &)> onMessageBox;
};
