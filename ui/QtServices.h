#pragma once
// The platform services of the running program, over Qt: message boxes, the
// information sound, the clipboard, the desktop's document opener, the
// program folder, the screens and the end of the program.

#include "ui/Services.h"

class QtServices : public Services {
public:
    void messageBox(QWidget *owner, const QString &text, Style style, const QString &title) override;
    void messageBeep(Style type) override;
    bool setClipboardText(const QString &text) override;
    bool openDocument(const QString &pathOrUrl) override;
    QString programDirectory() const override;
    QString userConfigDirectory() const override;
    std::vector<QRect> screensTwips() const override;
    double twipsPerPixel() const override;
    bool windowPositionsKnown() const override;
    void endProgram() override;
};
