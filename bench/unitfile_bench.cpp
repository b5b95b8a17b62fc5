// Loading the largest series a file can hold: 32,767 units; and a file near
// the size limit, its names long Japanese text, which the encoding choice
// weighs byte by byte.
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

// 32,767 records whose names are long Japanese text: 120 MiB in all.
QByteArray hugeSeries(bool utf8)
{
    constexpr qsizetype kBytes = qsizetype(120) << 20;
    // 単位長さ面積, repeated to fill each name.
    const QByteArray word = utf8
        ? QByteArray("\xE5\x8D\x98\xE4\xBD\x8D\xE9\x95\xB7\xE3\x81\x95\xE9\x9D\xA2\xE7\xA9\x8D")
        : QByteArray("\x92\x50\x88\xCA\x92\xB7\x82\xB3\x96\xCA\x90\xCF");
    const qsizetype perRecord = kBytes / kUnits - 24;
    QByteArray name;
    while (name.size() + word.size() <= perRecord)
        name += word;
    QByteArray bytes = QByteArray::number(kUnits) + "\r\n";
    bytes.reserve(kBytes + 64);
    for (int i = 0; i < kUnits; ++i)
        bytes += '"' + name + QByteArray::number(i) + "\",1.5," + (i % 2 ? "0,1,1\r\n" : "0,0,1\r\n");
    return bytes;
}

void loadSeries(benchmark::State &state, const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("large.dat");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the series file");
        return;
    }
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
    loadSeries(state, largeSeries(false));
}

void BM_LoadUnitFile_Utf8(benchmark::State &state)
{
    loadSeries(state, largeSeries(true));
}

void BM_LoadUnitFile_120MiB_Cp932(benchmark::State &state)
{
    loadSeries(state, hugeSeries(false));
}

void BM_LoadUnitFile_120MiB_Utf8(benchmark::State &state)
{
    loadSeries(state, hugeSeries(true));
}

}  // namespace

BENCHMARK(BM_LoadUnitFile_Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadUnitFile_Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadUnitFile_120MiB_Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadUnitFile_120MiB_Utf8)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
