// Number text: each operation on a typical value, and radix conversions of
// long digit strings.
#include "convert/ConversionFailure.h"
#include "convert/NumberText.h"

#include <benchmark/benchmark.h>

#include <cfloat>

namespace {

void BM_ReadNumber(benchmark::State &state)
{
    const QString text = QStringLiteral("1,234,567.891e-2");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadNumber(text));
}
BENCHMARK(BM_ReadNumber);

void BM_PlainText(benchmark::State &state)
{
    double value = 1234567.891234567;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(PlainText(value));
    }
}
BENCHMARK(BM_PlainText);

void BM_PlainTextTie(benchmark::State &state)
{
    // An exact tie at the 16th digit takes the exact-expansion path.
    double value = 1000000000000005.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(PlainText(value));
    }
}
BENCHMARK(BM_PlainTextTie);

void BM_GroupedText(benchmark::State &state)
{
    double value = 1234567.891234567;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(GroupedText(value));
    }
}
BENCHMARK(BM_GroupedText);

void BM_GroupedTextOfText(benchmark::State &state)
{
    const QString text = QStringLiteral("1234567.89123457");
    for (auto _ : state)
        benchmark::DoNotOptimize(GroupedText(text));
}
BENCHMARK(BM_GroupedTextOfText);

void BM_ScientificText(benchmark::State &state)
{
    double value = 1234567.891234567;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(ScientificText(value));
    }
}
BENCHMARK(BM_ScientificText);

void BM_ScientificTextOfText(benchmark::State &state)
{
    const QString text = QStringLiteral("1234567.89123457");
    for (auto _ : state)
        benchmark::DoNotOptimize(ScientificText(text));
}
BENCHMARK(BM_ScientificTextOfText);

void BM_DropLastChar(benchmark::State &state)
{
    const QString text = QStringLiteral("1,234,567.");
    for (auto _ : state)
        benchmark::DoNotOptimize(DropLastChar(text));
}
BENCHMARK(BM_DropLastChar);

void BM_IntegerPart(benchmark::State &state)
{
    double value = 123456789012345.9;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(IntegerPart(value));
    }
}
BENCHMARK(BM_IntegerPart);

void BM_ToRadixText(benchmark::State &state)
{
    double value = 123456789012345.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(ToRadixText(value, 16));
    }
}
BENCHMARK(BM_ToRadixText);

void BM_FromRadixText(benchmark::State &state)
{
    const QString text = QStringLiteral("7048860DDF79");
    for (auto _ : state)
        benchmark::DoNotOptimize(FromRadixText(text, 16));
}
BENCHMARK(BM_FromRadixText);

// 300 radix-36 digits: the largest double written in radix 36 (198 digits)
// behind leading zeros, so the whole text is read and converted.
QString Radix36Of300Digits()
{
    const QString digits = ToRadixText(DBL_MAX, 36);
    return QString(300 - digits.size(), u'0') + digits;
}

void BM_Radix36To2_300Digits(benchmark::State &state)
{
    const QString text = Radix36Of300Digits();
    for (auto _ : state)
        benchmark::DoNotOptimize(ToRadixTextExact(FromRadixTextExact(text, 36), 2));
}
BENCHMARK(BM_Radix36To2_300Digits);

// 198 significant radix-36 digits (no leading zeros), the longest that fit.
void BM_Radix36To2_198SignificantDigits(benchmark::State &state)
{
    const QString text = ToRadixText(DBL_MAX, 36);
    for (auto _ : state)
        benchmark::DoNotOptimize(ToRadixTextExact(FromRadixTextExact(text, 36), 2));
}
BENCHMARK(BM_Radix36To2_198SignificantDigits);

// 300 significant radix-36 digits: beyond the largest double, an overflow.
void BM_Radix36Overflow_300Digits(benchmark::State &state)
{
    const QString text(300, u'Z');
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(FromRadixTextExact(text, 36));
        } catch (const ConversionFailure &failure) {
            benchmark::DoNotOptimize(failure.kind());
        }
    }
}
BENCHMARK(BM_Radix36Overflow_300Digits);

}  // namespace

BENCHMARK_MAIN();
