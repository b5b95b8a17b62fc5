// The help command (F1) and the About window, driven through the recording
// fake services.
#include "FakeServices.h"
#include "forms/modSetForm.h"
#include "ui/Help.h"
#include "ui/frmAbout.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
}

// ---------------------------------------------------------------- help

struct HelpCase {
    const char *name;
    std::function<void(const QString &dir)> setUp;
    const char *opened;  // relative to the program folder
};

class HelpCommand : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpCommand, OpensThePageOrTheReadMeByFullPath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    GetParam().setUp(dir.path());
    FakeServices services(dir.path());

    ShowHelp(services);

    ASSERT_EQ(services.opened.size(), 1);
    EXPECT_EQ(services.opened.front(), dir.path() + QLatin1Char('/') + QLatin1String(GetParam().opened));
    EXPECT_TRUE(QDir::isAbsolutePath(services.opened.front()));
    EXPECT_TRUE(services.boxes.empty());  // no message of its own
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpCommand,
    ::testing::Values(HelpCase{"PagePresent",
                               [](const QString &d) {
                                   touch(d + "/tovelhelp/index.html");
                                   touch(d + "/readme.txt");
                               },
                               "tovelhelp/index.html"},
                      HelpCase{"PageMissing", [](const QString &d) { touch(d + "/readme.txt"); }, "readme.txt"},
                      HelpCase{"PageInOtherLetterCase",
                               [](const QString &d) {
                                   touch(d + "/tovelhelp/Index.html");
                                   touch(d + "/readme.txt");
                               },
                               "readme.txt"},
                      HelpCase{"PageInCapitals", [](const QString &d) { touch(d + "/tovelhelp/INDEX.HTML"); },
                               "readme.txt"},
                      HelpCase{"PageBesideAnotherCasing",
                               [](const QString &d) {
                                   touch(d + "/tovelhelp/Index.html");
                                   touch(d + "/tovelhelp/index.html");
                               },
                               "tovelhelp/index.html"},
                      HelpCase{"DirectoryNamedLikeThePage",
                               [](const QString &d) {
                                   QDir().mkpath(d + "/tovelhelp/index.html");
                                   touch(d + "/readme.txt");
                               },
                               "readme.txt"},
                      HelpCase{"HelpFolderIsAFile", [](const QString &d) { touch(d + "/tovelhelp"); }, "readme.txt"},
                      HelpCase{"NeitherPresent", [](const QString &) {}, "readme.txt"}),
    [](const ::testing::TestParamInfo<HelpCase> &info) { return std::string(info.param.name); });

TEST(HelpCommandTest, IgnoresThePageOfTheCurrentDirectory)
{
    // Started from the desktop's menu, the program runs in the home folder:
    // a help page there must not be mistaken for the program's own.
    QTemporaryDir program, elsewhere;
    ASSERT_TRUE(program.isValid() && elsewhere.isValid());
    touch(elsewhere.path() + "/tovelhelp/index.html");
    touch(program.path() + "/readme.txt");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    FakeServices services(program.path());
    ShowHelp(services);
    QDir::setCurrent(before);

    ASSERT_EQ(services.opened.size(), 1);
    EXPECT_EQ(services.opened.front(), program.path() + "/readme.txt");
}

// ---------------------------------------------------------------- About

QLabel *label(frmAbout &about, const char *name)
{
    auto *found = about.findChild<QLabel *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QColor colourOf(QLabel *l)
{
    return l->palette().color(QPalette::WindowText);
}

TEST(AboutWindow, LayoutAtFifteenTwipsAPixel)
{
    FakeServices services;
    frmAbout about(services, nullptr);
    about.Form_Load();

    EXPECT_EQ(about.objectName(), "frmAbout");
    EXPECT_EQ(about.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(about.size(), QSize(302, 127));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());

    struct Fixed {
        const char *name;
        QRect rect;
    };
    for (const Fixed &f : {Fixed{"Image1", {16, 28, 32, 32}}, Fixed{"cmdOK", {112, 100, 83, 23}},
                           Fixed{"Line1_0", {4, 92, 297, 1}}, Fixed{"Line1_1", {4, 93, 297, 1}}}) {
        auto *w = about.findChild<QWidget *>(QLatin1String(f.name));
        ASSERT_NE(w, nullptr) << f.name;
        EXPECT_EQ(w->geometry(), f.rect) << f.name;
    }
    EXPECT_EQ(about.findChild<QFrame *>("Line1_0")->palette().color(QPalette::Window), QColor(255, 255, 255));
    EXPECT_EQ(about.findChild<QFrame *>("Line1_1")->palette().color(QPalette::Window), QColor(128, 128, 128));

    // Labels keep their designed corner and are never smaller than their text.
    struct Text {
        const char *name;
        QRect designed;
    };
    for (const Text &t :
         {Text{"Label3", {64, 8, 213, 25}}, Text{"lblMail", {64, 44, 25, 13}}, Text{"Label1", {104, 44, 133, 15}},
          Text{"lblURL", {64, 68, 25, 13}}, Text{"Label2", {104, 68, 165, 15}}}) {
        QLabel *l = label(about, t.name);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->pos(), t.designed.topLeft()) << t.name;
        EXPECT_GE(l->width(), qMax(t.designed.width(), l->sizeHint().width())) << t.name;
        EXPECT_GE(l->height(), qMax(t.designed.height(), l->sizeHint().height())) << t.name;
        EXPECT_LE(l->geometry().right(), about.width() - 1) << t.name;
    }

    EXPECT_TRUE(label(about, "Label3")->text().startsWith(QStringLiteral("Tovel v2.00\n    ")));
    EXPECT_EQ(label(about, "lblMail")->text(), "Mail");
    EXPECT_EQ(label(about, "lblURL")->text(), "HP");
    EXPECT_EQ(colourOf(label(about, "lblURL")), QColor(Qt::black));
    EXPECT_EQ(label(about, "Label1")->text(), frmAbout::mailAddress());
    EXPECT_EQ(label(about, "Label2")->text(), frmAbout::webAddress());
    for (const char *name : {"Label1", "Label2"}) {
        QLabel *l = label(about, name);
        EXPECT_TRUE(l->font().underline()) << name;
        EXPECT_EQ(l->font().pointSize(), 9) << name;
        EXPECT_EQ(l->cursor().shape(), Qt::PointingHandCursor) << name;
        EXPECT_EQ(colourOf(l), QColor(0, 0, 255)) << name;
    }

    auto *ok = about.findChild<QPushButton *>("cmdOK");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(about.focusWidget(), ok);
    EXPECT_TRUE(about.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(IsCloseMenuDisabled(&about));
}

TEST(AboutWindow, LinkColoursFollowThePointer)
{
    FakeServices services;
    frmAbout about(services, nullptr);
    about.Form_Load();
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QLabel *mail = label(about, "Label1");
    QLabel *web = label(about, "Label2");
    const QColor blue(0, 0, 255), purple(128, 0, 128);

    // Each step moves the real pointer (through the window) to a point, then
    // checks both links. Points are in the window's own coordinates.
    auto centreOf = [&](const char *name) {
        auto *w = about.findChild<QWidget *>(QLatin1String(name));
        return w->mapTo(&about, w->rect().center());
    };
    struct Step {
        const char *where;
        QPoint at;
        QColor mail, web;
    };
    const Step steps[] = {
        {"Label1", centreOf("Label1"), purple, blue},
        {"Label3", centreOf("Label3"), purple, blue},  // other controls change nothing
        {"Label2", centreOf("Label2"), purple, purple},
        {"cmdOK", centreOf("cmdOK"), purple, purple},
        {"Image1", centreOf("Image1"), purple, purple},
        {"lblMail", centreOf("lblMail"), purple, purple},
        {"lblURL", centreOf("lblURL"), purple, purple},
        {"Line1_1", QPoint(250, 93), blue, blue},  // the lines are bare surface
        {"Label2 again", centreOf("Label2"), blue, purple},
        {"bare surface", QPoint(3, 3), blue, blue},
        {"Label1 again", centreOf("Label1"), purple, blue},
        {"beside the button", QPoint(260, 110), blue, blue},
    };
    for (const Step &s : steps) {
        QTest::mouseMove(about.windowHandle(), s.at);
        QCoreApplication::processEvents();
        EXPECT_EQ(colourOf(mail), s.mail) << "after " << s.where;
        EXPECT_EQ(colourOf(web), s.web) << "after " << s.where;
    }
}

TEST(AboutWindow, LinksOpenTheirAddressesAndTheWindowStaysOpen)
{
    FakeServices services;
    frmAbout about(services, nullptr);
    about.Form_Load();
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));

    QTest::mouseClick(label(about, "Label1"), Qt::LeftButton);
    QTest::mouseClick(label(about, "Label2"), Qt::LeftButton);
    // A press that ends outside the link is no click.
    QLabel *mail = label(about, "Label1");
    QTest::mousePress(mail, Qt::LeftButton);
    QTest::mouseRelease(mail, Qt::LeftButton, {}, QPoint(mail->width() + 20, 2));
    QTest::mouseClick(label(about, "Label1"), Qt::RightButton);

    EXPECT_EQ(services.opened,
              QStringList({QStringLiteral("mailto:") + frmAbout::mailAddress(), frmAbout::webAddress()}));
    EXPECT_TRUE(about.isVisible());
    EXPECT_TRUE(frmAbout::mailAddress().contains('@'));
    EXPECT_TRUE(frmAbout::webAddress().startsWith("http"));
}

class AboutCloses : public ::testing::TestWithParam<Qt::Key> {};

TEST_P(AboutCloses, ThroughItsButtonByKey)
{
    FakeServices services;
    frmAbout about(services, nullptr);
    about.Form_Load();
    QWidget *focusAtOpen = nullptr;
    QTimer::singleShot(0, &about, [&] {
        focusAtOpen = about.focusWidget();
        QTest::keyClick(QApplication::activeModalWidget(), GetParam());
    });
    QTimer::singleShot(5000, &about, [&] { about.done(99); });  // a failing test must not hang

    EXPECT_EQ(about.showModal(), int(QDialog::Accepted));
    EXPECT_EQ(focusAtOpen, about.findChild<QPushButton *>("cmdOK"));
    EXPECT_FALSE(about.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Keys, AboutCloses, ::testing::Values(Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape));

TEST(AboutWindow, RefusesTheCloseRequestAndClosesByClick)
{
    FakeServices services;
    frmAbout about(services, nullptr);
    about.Form_Load();
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));

    EXPECT_FALSE(about.close());
    EXPECT_TRUE(about.isVisible());

    QTest::mouseClick(about.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
}

TEST(AboutWindow, EachShowingStartsWithBothLinksBlue)
{
    FakeServices services;
    const QColor blue(0, 0, 255);
    {
        frmAbout about(services, nullptr);
        about.Form_Load();
        about.Label1_MouseMove();
        about.Label2_MouseMove();
        EXPECT_NE(colourOf(label(about, "Label1")), blue);
        // Loading the same window again starts afresh as well.
        about.Form_Load();
        EXPECT_EQ(colourOf(label(about, "Label1")), blue);
        EXPECT_EQ(colourOf(label(about, "Label2")), blue);
        about.Label1_MouseMove();
    }
    frmAbout again(services, nullptr);
    again.Form_Load();
    EXPECT_EQ(colourOf(label(again, "Label1")), blue);
    EXPECT_EQ(colourOf(label(again, "Label2")), blue);
}

}  // namespace
