// Speed of the main window: start-up with the series files that ship,
// selecting a series of 32,767 units, converting into 1,000 units up to the
// moment the result window shows, and the unit finder: one keystroke among
// 100,000 units, and its first opening over the series that ship.

#include "catalogue/NameIndex.h"
#include "catalogue/forms/frmFind.h"
#include "ui/Services.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// Services that never block: message boxes and the end are only counted.
class QuietServices : public Services {
public:
    explicit QuietServices(QString dir) : m_dir(std::move(dir)) {}
    void messageBox(QWidget *, const QString &, Style, const QString &) override { ++boxes; }
    void messageBeep(Style) override {}
    bool setClipboardText(const QString &) override { return true; }
    bool openDocument(const QString &) override { return true; }
    QString programDirectory() const override { return m_dir; }
    QString userConfigDirectory() const override { return m_dir; }
    std::vector<QRect> screensTwips() const override { return {QRect(0, 0, 1920 * 15, 1080 * 15)}; }
    double twipsPerPixel() const override { return 15.0; }
    bool windowPositionsKnown() const override { return true; }
    void endProgram() override {}
    int boxes = 0;

private:
    QString m_dir;
};

void writeSeries(const QString &path, int units)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray data = QByteArray::number(units) + "\r\n";
    for (int i = 0; i < units; ++i)
        data += "\"unit " + QByteArray::number(i) + "\"," + QByteArray::number(i + 1) + ",0,1,1\r\n";
    file.write(data);
}

void BM_StartUpWithShippedSeries(benchmark::State &state)
{
    QuietServices services(QStringLiteral(TOVEL_SOURCE_DIR));
    for (auto _ : state) {
        frmMain window(services, 1);
        window.Form_Load();
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.units().size());
    }
}
BENCHMARK(BM_StartUpWithShippedSeries)->Unit(benchmark::kMillisecond);

void BM_SelectSeriesOf32767Units(benchmark::State &state)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("units"));
    writeSeries(dir.filePath(QStringLiteral("units/a_small.dat")), 2);
    writeSeries(dir.filePath(QStringLiteral("units/b_large.dat")), 32767);
    QuietServices services(dir.path());
    frmMain window(services, 1);
    window.Form_Load();
    auto *series = window.findChild<QComboBox *>(QStringLiteral("comUnitList"));
    auto *target = window.findChild<QComboBox *>(QStringLiteral("comAfterConvUnit"));
    for (auto _ : state) {
        series->setCurrentIndex(1);
        state.PauseTiming();
        if (target->count() != 32767)
            state.SkipWithError("the large series did not load");
        series->setCurrentIndex(0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SelectSeriesOf32767Units)->Unit(benchmark::kMillisecond);

void BM_ConvertIntoEveryOf1000Units(benchmark::State &state)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("units"));
    writeSeries(dir.filePath(QStringLiteral("units/many.dat")), 1000);
    QuietServices services(dir.path());
    frmMain window(services, 1);
    window.Form_Load();
    window.findChild<QLineEdit *>(QStringLiteral("txtBeforeConv"))->setText(QStringLiteral("1234.5"));
    for (auto _ : state) {
        // The result window closes as soon as it is shown and its event loop runs.
        QTimer::singleShot(0, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->hide();
        });
        window.ConvertToAllUnits();
    }
    if (services.boxes)
        state.SkipWithError("a conversion failed");
}
BENCHMARK(BM_ConvertIntoEveryOf1000Units)->Unit(benchmark::kMillisecond);

// 100,000 units in 100 series of 1,000, named like the units that ship.
NameIndex FinderOf100000Units()
{
    const QStringList stems = {u"メートル"_s, u"キロメートル"_s, u"平方フィート"_s, u"京間畳"_s,   u"ガロン (英)"_s,
                               u"Pascal"_s,   u"ｷﾛｸﾞﾗﾑ"_s,       u"坪"_s,           u"カロリー"_s, u"bar"_s};
    NameIndex finder;
    for (int series = 0; series < 100; ++series) {
        finder.addSeries({u"系列%1"_s.arg(series), u"系列%1.dat"_s.arg(series)});
        for (int unit = 0; unit < 1000; ++unit)
            finder.addUnit(stems[unit % stems.size()] + QString::number(unit / 10));
    }
    return finder;
}

// One keystroke: the text typed so far, matched against every unit.
void BM_FindAmong100000Units(benchmark::State &state)
{
    const NameIndex finder = FinderOf100000Units();
    const QStringList typed = {u"め"_s, u"めー"_s, u"めーと"_s, u"めーとる5"_s, u"P"_s, u"きろぐ"_s};
    size_t found = 0;
    int i = 0;
    for (auto _ : state) {
        found += finder.find(typed[i++ % typed.size()]).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["units"] = finder.unitCount();
}
BENCHMARK(BM_FindAmong100000Units)->Unit(benchmark::kMillisecond);

// The same keystroke through the window: matching, the list refilled and drawn.
void BM_FinderKeystrokeAmong100000Units(benchmark::State &state)
{
    const NameIndex finder = FinderOf100000Units();
    frmFind window(finder, nullptr);
    window.show();
    auto *box = window.findChild<QLineEdit *>(QStringLiteral("txtFind"));
    const QStringList typed = {u"め"_s, u"めー"_s, u"めーと"_s, u"めーとる5"_s, u"P"_s, u"きろぐ"_s};
    int i = 0;
    for (auto _ : state) {
        box->setText(typed[i++ % typed.size()]);
        window.repaint();
    }
}
BENCHMARK(BM_FinderKeystrokeAmong100000Units)->Unit(benchmark::kMillisecond);

// Ctrl+K the first time, with the series that ship: every name read, the
// window shown; it closes as soon as its event loop runs.
void BM_FirstOpeningOfTheFinder(benchmark::State &state)
{
    QuietServices services(QStringLiteral(TOVEL_SOURCE_DIR));
    for (auto _ : state) {
        state.PauseTiming();
        auto window = std::make_unique<frmMain>(services, 1);
        window->Form_Load();
        QTimer::singleShot(0, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->hide();
        });
        state.ResumeTiming();
        window->Menu_FindUnit_Click();
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstOpeningOfTheFinder)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
