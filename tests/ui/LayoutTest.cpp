// The four windows at the fonts a desktop may set: every caption fits its
// control, no two controls side by side overlap, and each window fits a
// small screen. CTest runs this at device pixel ratios 1, 1.25, 1.5 and 2.
// Also: every control a user types into or picks from has a name that a
// screen reader can say, and the fixed colours give way to a dark palette.

#include "FakeServices.h"
#include "catalogue/forms/frmFind.h"
#include "convert/forms/frmAll.h"
#include "forms/FormLook.h"
#include "settings/forms/frmSet.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEngine>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

using namespace Qt::Literals::StringLiterals;

namespace {

// The windows, built as the program builds them, in a program folder
// with one series.
struct Windows {
    Windows() : services(dir.path())
    {
        QDir(dir.path()).mkpath(u"units"_s);
        QFile file(dir.filePath(u"units/長さ.dat"_s));
        if (file.open(QIODevice::WriteOnly))
            file.write("2\r\n\"メートル\",1,0,1,1\r\n\"キロメートル\",1000,0,1,1\r\n");
        services.configDir = dir.filePath(u"config"_s);
    }
    std::unique_ptr<QWidget> make(const std::string &name)
    {
        if (name == "frmMain") {
            auto w = std::make_unique<frmMain>(services, 1);
            w->Form_Load();
            return w;
        }
        if (name == "frmSet")
            return std::make_unique<frmSet>(dir.filePath(u"Tovelset.ini"_s), nullptr);
        if (name == "frmAbout")
            return std::make_unique<frmAbout>(services, nullptr);
        if (name == "frmFind")
            return std::make_unique<frmFind>(finder, nullptr);
        return std::make_unique<frmAll>(u"1 (m) => 0.001 (km)\r\n"_s, nullptr);
    }
    QTemporaryDir dir;
    FakeServices services;
    NameIndex finder;
};

// The widgets the windows place themselves (Qt's inner parts have no name
// or a "qt_" one).
bool OwnControl(const QWidget *w)
{
    return !w->isWindow() && !w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"_s)
        && w->isVisibleTo(w->window());
}

// The caption's room inside the control, where the style draws it.
QRect CaptionRoom(QWidget *w)
{
    if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool radio = qobject_cast<QRadioButton *>(w) != nullptr;
        return w->style()->subElementRect(radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents,
                                          &option, w);
    }
    return w->contentsRect();
}

QString CaptionOf(const QWidget *w)
{
    QString text;
    if (auto *label = qobject_cast<const QLabel *>(w))
        text = label->text();
    else if (auto *button = qobject_cast<const QAbstractButton *>(w))
        text = button->text();
    text.remove(u'&');
    return text;
}

// A caption control's box may reach into a neighbour only in the room above
// and below its glyphs (its line's leading), as lines of text stacked as
// tightly as the design stacks them do; the digit box and its arrows are
// designed to share one border.
bool Allowed(const QWidget *a, const QWidget *b, const QRect &overlap)
{
    if (qobject_cast<const QScrollBar *>(a) || qobject_cast<const QScrollBar *>(b))
        return overlap.width() <= 2;
    const auto slack = [](const QWidget *w) {
        return CaptionOf(w).isEmpty() ? 0 : qMax(0, (w->height() - QFontInfo(w->font()).pixelSize()) / 2);
    };
    return overlap.height() <= slack(a) + slack(b);
}

// A paint device that keeps the texts painted on it, as the style hands
// them over (an elided caption arrives elided), and draws nothing else.
class TextRecorder : public QPaintDevice {
public:
    explicit TextRecorder(QSize size) : m_size(size) {}
    QPaintEngine *paintEngine() const override { return &m_engine; }
    QString texts() const { return m_engine.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 96;  // the dots per inch, as offscreen has them
        }
    }

private:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath &) override {}
        void drawTextItem(const QPointF &, const QTextItem &item) override { texts += item.text(); }
        Type type() const override { return User; }
        QString texts;
    };
    mutable Engine m_engine;
    QSize m_size;
};

// Every item of every menu of the window is painted whole: its caption
// without the mnemonic's "&", and its shortcut.
void ExpectMenuItemsWhole(QWidget *window)
{
    auto *main = qobject_cast<QMainWindow *>(window);
    if (!main)
        return;
    for (QMenu *menu : main->menuBar()->findChildren<QMenu *>()) {
        menu->popup(QPoint());
        TextRecorder painted(menu->size());
        menu->render(&painted);
        menu->hide();
        for (const QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            QString caption = action->text();
            caption.remove(u'&');
            EXPECT_TRUE(painted.texts().contains(caption))
                << caption.toStdString() << " in " << painted.texts().toStdString();
            EXPECT_TRUE(painted.texts().contains(action->shortcut().toString(QKeySequence::NativeText)));
        }
    }
}

const char *const kWindows[] = {"frmMain", "frmSet", "frmAbout", "frmAll", "frmFind"};

// The desktop's font reaches the program as the application font (a
// platform theme) or through a style sheet, which sets it only when each
// widget is polished.
class WindowLayout : public ::testing::TestWithParam<std::tuple<int, const char *, bool>> {
protected:
    void SetUp() override
    {
        before = QApplication::font();
        if (std::get<2>(GetParam()))
            qApp->setStyleSheet(u"* { font-family: \"Sans Serif\"; font-size: %1pt; }"_s.arg(std::get<0>(GetParam())));
        else
            QApplication::setFont(QFont(u"Sans Serif"_s, std::get<0>(GetParam())));
    }
    void TearDown() override
    {
        qApp->setStyleSheet(QString());
        QApplication::setFont(before);
    }
    QFont before;
};

TEST_P(WindowLayout, CaptionsFitAndControlsKeepApart)
{
    const int points = std::get<0>(GetParam());
    Windows windows;
    std::unique_ptr<QWidget> window = windows.make(std::get<1>(GetParam()));
    window->show();
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (!OwnControl(w))
            continue;
        SCOPED_TRACE(w->objectName().toStdString());
        if (auto *frame = qobject_cast<QGroupBox *>(w)) {
            // The caption sits on the frame's top line, as high as Qt's own
            // group boxes reckon a title, and clear of the controls under it.
            const QRect title(frame->style()->pixelMetric(QStyle::PM_LayoutLeftMargin) / 2, -1,
                              CaptionSize(frame, frame->title()).width() + 10, frame->fontMetrics().height());
            EXPECT_LE(title.right(), frame->width() / 2);
            for (QWidget *inside : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (OwnControl(inside) && inside->x() <= title.right()) {
                    EXPECT_LE(title.bottom(), inside->y()) << inside->objectName().toStdString();
                }
            }
        } else if (!CaptionOf(w).isEmpty()) {
            const QSize caption = CaptionSize(w, CaptionOf(w));
            const QRect room = CaptionRoom(w);
            EXPECT_LE(caption.width(), room.width()) << CaptionOf(w).toStdString();
            EXPECT_LE(caption.height(), room.height()) << CaptionOf(w).toStdString();
        }
        EXPECT_TRUE(QRect(QPoint(), w->parentWidget()->size()).contains(w->geometry()));
        for (QWidget *other : all) {
            if (other == w || other->parentWidget() != w->parentWidget() || !OwnControl(other))
                continue;
            const QRect both = w->geometry().intersected(other->geometry());
            EXPECT_TRUE(both.isEmpty() || Allowed(w, other, both)) << "overlaps " << other->objectName().toStdString();
        }
    }
    ExpectMenuItemsWhole(window.get());
    // The About window's links follow the window's font.
    if (auto *about = qobject_cast<frmAbout *>(window.get())) {
        for (const char *link : {"Label1", "Label2"})
            EXPECT_EQ(about->findChild<QLabel *>(QLatin1String(link))->font().pointSize(), about->font().pointSize());
    }
    // Room for a title bar of 40 pixels on a 1366 x 768 screen.
    if (points == 11 && window->devicePixelRatioF() == 1.0) {
        EXPECT_LE(window->frameGeometry().width(), 1366);
        EXPECT_LE(window->frameGeometry().height() + 40, 768);
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, WindowLayout,
                         ::testing::Combine(::testing::Range(8, 15), ::testing::ValuesIn(kWindows), ::testing::Bool()),
                         [](const auto &info) {
                             return std::get<1>(info.param) + std::string("_") + std::to_string(std::get<0>(info.param))
                                 + (std::get<2>(info.param) ? "pt_StyleSheet" : "pt");
                         });

// A dark desktop palette: light text on a dark window, its own link colours.
QPalette DarkPalette()
{
    QPalette dark(QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Link, QColor(0x5C, 0xAD, 0xFF));
    dark.setColor(QPalette::LinkVisited, QColor(0xC0, 0x8C, 0xFF));
    return dark;
}

TEST(WindowColours, DesignedOnALightPaletteThePalettesOwnOnADarkOne)
{
    const QPalette before = QApplication::palette();
    const QPalette dark = DarkPalette();
    struct Row {
        const char *window, *object;
        QPalette::ColorRole role;  // the colour the object paints with
        QColor light, onDark;
    };
    const Row rows[] = {
        {"frmAbout", "Line1_0", QPalette::Window, QColor(255, 255, 255), dark.color(QPalette::Light)},
        {"frmAbout", "Line1_1", QPalette::Window, QColor(128, 128, 128), dark.color(QPalette::Mid)},
        {"frmSet", "Line1_0", QPalette::Window, QColor(255, 255, 255), dark.color(QPalette::Light)},
        {"frmAbout", "lblURL", QPalette::WindowText, QColor(0, 0, 0), dark.color(QPalette::WindowText)},
        {"frmAbout", "Label1", QPalette::WindowText, QColor(0, 0, 255), dark.color(QPalette::Link)},
    };
    for (bool onDark : {false, true}) {
        QApplication::setPalette(onDark ? dark : QPalette(QColor(0xEF, 0xEF, 0xEF)));
        Windows windows;
        for (const Row &row : rows) {
            std::unique_ptr<QWidget> window = windows.make(row.window);
            EXPECT_EQ(window->findChild<QWidget *>(QLatin1String(row.object))->palette().color(row.role),
                      onDark ? row.onDark : row.light)
                << row.window << " " << row.object << (onDark ? " dark" : " light");
        }
        frmAbout about(windows.services, nullptr);
        EXPECT_EQ(about.hoverColour(), onDark ? dark.color(QPalette::LinkVisited) : QColor(128, 0, 128));
    }
    QApplication::setPalette(before);
}

TEST(WindowLayoutAtDesignFont, ScalesByOneAndSpreadsWithTheFont)
{
    QWidget window;
    window.setFont(DesignFont());
    const FontScale design = FontScaleOf(&window);
    EXPECT_DOUBLE_EQ(design.x, 1.0);
    EXPECT_DOUBLE_EQ(design.y, 1.0);
    window.setFont(QFont(u"Sans Serif"_s, 18));
    const FontScale large = FontScaleOf(&window);
    EXPECT_GT(large.x, 1.8);
    EXPECT_GT(large.y, 1.8);
    // Edges, not lengths, are rounded: touching controls never overlap.
    const TwipsLayout layout(&window, {1.3, 1.3});
    EXPECT_EQ(layout.rect(100, 100, 130, 130).right() + 1, layout.rect(230, 100, 130, 130).left());
}

TEST(Accessibility, EveryInputControlHasAName)
{
    Windows windows;
    for (const char *name : kWindows) {
        std::unique_ptr<QWidget> window = windows.make(name);
        for (QWidget *w : window->findChildren<QWidget *>()) {
            const bool input = qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
                || qobject_cast<QAbstractSlider *>(w) || qobject_cast<QPlainTextEdit *>(w)
                || qobject_cast<QAbstractButton *>(w);
            if (!input || !OwnControl(w))
                continue;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(face, nullptr);
            EXPECT_FALSE(face->text(QAccessible::Name).trimmed().isEmpty())
                << name << " " << w->objectName().toStdString();
        }
    }
    std::unique_ptr<QWidget> main = windows.make("frmMain");
    const std::pair<const char *, QString> names[] = {
        {"txtBeforeConv", u"変換前 値"_s}, {"comBeforeConvUnit", u"変換前 単位"_s},
        {"txtAfterConv", u"変換後 値"_s},  {"comAfterConvUnit", u"変換後 単位"_s},
        {"comUnitList", u"単位系"_s},
    };
    for (const auto &[object, expected] : names) {
        QWidget *control = main->findChild<QWidget *>(QLatin1String(object));
        EXPECT_EQ(control->accessibleName(), expected) << object;
        // Screen readers on Linux name a list by its current entry and find
        // what it is through the labels tied to it (its frame is one).
        QStringList labels;
        for (const auto &[label, relation] :
             QAccessible::queryAccessibleInterface(control)->relations(QAccessible::Label))
            labels << label->text(QAccessible::Name);
        EXPECT_TRUE(labels.contains(expected)) << object << " " << labels.join(u'|').toStdString();
    }
}

}  // namespace
