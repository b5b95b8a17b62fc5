// The program's set-up for the desktop: which display platform it asks for,
// and Qt's own texts in Japanese.

#include "MainWindowFixture.h"
#include "ui/Desktop.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTranslator>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct PlatformCase {
    const char *chosen, *session, *waylandDisplay, *display, *expected;
};

TEST(Desktop, X11IsPreferredOnlyUnderWaylandWithAnXServerAndNoChoiceMade)
{
    const PlatformCase cases[] = {
        {"", "wayland", "wayland-0", ":0", "xcb;wayland"},
        {"", "", "wayland-0", ":0", "xcb;wayland"},  // no session type, a compositor all the same
        {"", "Wayland", "", ":1", "xcb;wayland"},
        {"", "wayland", "wayland-0", "", ""},           // no XWayland: as Qt chooses
        {"wayland", "wayland", "wayland-0", ":0", ""},  // the user's own choice stands
        {"offscreen", "x11", "", ":0", ""},
        {"", "x11", "", ":0", ""},
        {"", "tty", "", "", ""},
    };
    for (const PlatformCase &c : cases)
        EXPECT_EQ(PlatformToPrefer(c.chosen, c.session, c.waylandDisplay, c.display), QByteArray(c.expected))
            << c.chosen << "|" << c.session << "|" << c.waylandDisplay << "|" << c.display;
}

TEST(Desktop, ValueBoxContextMenuIsJapanese)
{
    QTranslator *translator = LoadToolkitTranslation(qApp);
    ASSERT_NE(translator, nullptr) << "qtbase_ja.qm (qt6-translations-l10n) is not installed";
    QLineEdit box(QStringLiteral("12"));
    std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    int texts = 0;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        ++texts;
        const QString text = action->text();
        EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; }))
            << text.toStdString();
    }
    EXPECT_GE(texts, 6);  // undo, redo, cut, copy, paste, delete, select all
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

using WaylandWindows = MainWindowFixture;

// Under a Wayland compositor (the desktop tests run this under a headless
// weston; elsewhere it is skipped): the compositor holds a maximized window
// to the screen's size and cuts off one that keeps its own, so maximizing
// the main window or the finder, as their title bar's button does, must
// leave the program running and the window back at its own size.
TEST_F(WaylandWindows, MaximizedWindowsComeBackToTheirOwnSize)
{
    if (!QGuiApplication::platformName().startsWith(u"wayland"))
        GTEST_SKIP() << "needs a Wayland compositor (ctest -L desktop)";
    writeStandardSeries();
    start();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QSize size = window->size();
    window->showMaximized();
    QTest::qWait(1500);  // the compositor's answer, and the way back
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(window->size(), size);

    QSize finderSize;
    QSize finderAfter;
    bool finderMaximized = true;
    answerNextModal([&](QWidget *finder) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(finder));
        finderSize = finder->size();
        finder->showMaximized();
        QTest::qWait(1500);
        finderMaximized = finder->windowState() & Qt::WindowMaximized;
        finderAfter = finder->size();
        finder->close();
    });
    // From its menu item: a window the compositor never made active takes no shortcut.
    window->findChild<QAction *>(u"Menu_FindUnit"_s)->trigger();
    EXPECT_TRUE(finderSize.isValid());
    EXPECT_FALSE(finderMaximized);
    EXPECT_EQ(finderAfter, finderSize);
}

}  // namespace
