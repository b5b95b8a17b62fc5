// Loading the largest series a file can hold: 32,767 units.
#include "catalogue/UnitFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kUnits = 32767;

// A series of kUnits records in the usual layout, the names Japanese so that
// the CP932 decoder does real work.
QByteArray largeSeries(bool utf8)
{
    const QByteArray base = utf8 ? QByteArray("\xE5\x8D\x98\xE4\xBD\x8D")  // 単位
                                 : QByteArray("\x92\x50\x88\xCA");
    QByteArray bytes = QByteArray::number(kUnits) + "\r\n";
    bytes.reserve(kUnits * 48);
    for (int i = 0; i < kUnits; ++i) {
        bytes += '"' + base + QByteArray::number(i) + "\",";
        bytes += QByteArray::number(1.0 + i * 0.001, 'g', 17) + ',';
        bytes += QByteArray::number(i % 7 == 0 ? -273.15 : 0.0, 'g', 17) + ',';
        bytes += (i % 2 ? "1,1\r\n" : "0,1\r\n");
    }
    return bytes;
}

void loadLargeSeries(benchmark::State &state, bool utf8)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("large.dat");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the series file");
        return;
    }
    const QByteArray bytes = largeSeries(utf8);
    file.write(bytes);
    file.close();

    UnitArray units;
    for (auto _ : state) {
        const qint16 last = LoadUnitFile(path, units);
        benchmark::DoNotOptimize(last);
        if (last != kUnits - 1) {
            state.SkipWithError("the series did not load whole");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_LoadUnitFile_Cp932(benchmark::State &state)
{
    loadLargeSeries(state, false);
}

void BM_LoadUnitFile_Utf8(benchmark::State &state)
{
    loadLargeSeries(state, true);
}

}  // namespace

BENCHMARK(BM_LoadUnitFile_Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadUnitFile_Utf8)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
