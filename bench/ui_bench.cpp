// Speed of the main window: start-up with the series files that ship,
// selecting a series of 32,767 units, and converting into 1,000 units up to
// the moment the result window shows.

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
