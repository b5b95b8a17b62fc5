// Keeping a window on top and taking the Close command away.

#include "forms/SecondaryWindow.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

// A secondary window with a Cancel button that Esc stands for.
class TestWindow : public SecondaryWindow {
public:
    explicit TestWindow(QWidget *owner) : SecondaryWindow(owner)
    {
        cancel = new QPushButton(QStringLiteral("Cancel"), this);
        QObject::connect(cancel, &QPushButton::clicked, this, [this] {
            ++cancels;
            unload(QDialog::Rejected);
        });
    }
    QPushButton *cancel;
    int cancels = 0;

protected:
    void escapePressed() override { cancel->click(); }
};

}  // namespace

TEST(WindowOps, TopMostTakesOnlyZeroOrOne)
{
    QWidget w;
    const struct {
        int flag;
        int result;
        bool onTop;
    } cases[] = {{1, 1, true}, {0, 1, false}, {2, 0, false}, {-1, 0, false}};
    for (const auto &c : cases) {
        EXPECT_EQ(SetTopMost(&w, c.flag), c.result) << c.flag;
        EXPECT_EQ(bool(w.windowFlags() & Qt::WindowStaysOnTopHint), c.onTop) << c.flag;
    }
    EXPECT_EQ(SetTopMost(nullptr, 1), 0);
}

TEST(WindowOps, TopMostOnAShownWindowKeepsItShownAndActive)
{
    QWidget w;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QWindow *native = w.windowHandle();
    SetTopMost(&w, 1);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowHandle(), native);  // not re-created
    EXPECT_TRUE(native->flags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w.isActiveWindow());
    SetTopMost(&w, 0);
    EXPECT_FALSE(native->flags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w.isVisible());
}

TEST(WindowOps, SecondaryWindowClosesOnlyThroughItsButtons)
{
    QWidget owner;
    owner.show();
    TestWindow window(&owner);
    DisableCloseMenu(&window);
    EXPECT_TRUE(IsCloseMenuDisabled(&window));
    EXPECT_FALSE(window.windowFlags() & Qt::WindowCloseButtonHint);

    int closeRefused = -1;
    int escapeClosed = -1;
    QTimer::singleShot(0, &window, [&] {
        window.close();
        closeRefused = window.isVisible();
        QTest::keyClick(&window, Qt::Key_Escape);
        escapeClosed = !window.isVisible();
    });
    EXPECT_EQ(window.showModal(), int(QDialog::Rejected));
    EXPECT_EQ(closeRefused, 1);
    EXPECT_EQ(escapeClosed, 1);
    EXPECT_EQ(window.cancels, 1);
}
