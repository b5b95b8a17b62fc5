// Reading values and whole queries: everyday queries against the names of the
// shipped series, and a plain number beside ReadNumber, which it must match.
#include "catalogue/NameIndex.h"
#include "catalogue/UnitFile.h"
#include "convert/IndexNameLookup.h"
#include "convert/NumberText.h"
#include "convert/ValueParser.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace {

// Every name of every shipped series, as an index of the window or tovelconv
// would hold them.
class ShippedNames : public UnitNameLookup {
public:
    ShippedNames()
    {
        const QDir folder(QStringLiteral(TOVEL_SOURCE_DIR "/units"));
        for (const QFileInfo &file : folder.entryInfoList({QStringLiteral("*.dat")}, QDir::Files)) {
            UnitArray units;
            LoadUnitFile(file.filePath(), units);
            const QString series = file.completeBaseName();
            for (const UnitRecord &unit : units) {
                add(unit.UnitName, {series, unit.UnitName});
                for (const QString &alias : unit.Aliases)
                    add(alias, {series, unit.UnitName});
            }
        }
    }
    std::vector<UnitMatch> unitsCalled(QStringView name) const override { return m_names.value(name.toString()); }
    qsizetype longestName() const override { return m_longest; }

private:
    void add(const QString &name, const UnitMatch &match)
    {
        m_names[name].push_back(match);
        m_longest = std::max(m_longest, name.size());
    }
    QHash<QString, std::vector<UnitMatch>> m_names;
    qsizetype m_longest = 0;
};

const ShippedNames &Names()
{
    static const ShippedNames names;
    return names;
}

void BM_Query(benchmark::State &state, const char16_t *text)
{
    const QString query = QString::fromUtf16(text);
    const ShippedNames &names = Names();
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseQuery(query, names));
}
BENCHMARK_CAPTURE(BM_Query, shaku_sun_cm, u"5尺3寸 cm");
BENCHMARK_CAPTURE(BM_Query, mixed_in_mm, u"1 1/2 in mm");
BENCHMARK_CAPTURE(BM_Query, fullwidth_jou, u"６畳");
BENCHMARK_CAPTURE(BM_Query, jou_into_m2, u"6畳を平方メートルで");
BENCHMARK_CAPTURE(BM_Query, mpg_in_l100km, u"30 mpg in L/100km");

// The same queries through the lookup tovelconv uses, over the name index.
void BM_QueryIndex(benchmark::State &state, const char16_t *text)
{
    static const QString units = QStringLiteral(TOVEL_SOURCE_DIR "/units/");
    static const NameIndex index = BuildNameIndex(units, BuildSeriesList(units));
    static const IndexNameLookup names(index);
    const QString query = QString::fromUtf16(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseQuery(query, names));
}
BENCHMARK_CAPTURE(BM_QueryIndex, shaku_sun_cm, u"5尺3寸 cm");
BENCHMARK_CAPTURE(BM_QueryIndex, mixed_in_mm, u"1 1/2 in mm");
BENCHMARK_CAPTURE(BM_QueryIndex, fullwidth_jou, u"６畳");
BENCHMARK_CAPTURE(BM_QueryIndex, plain_jou_m2, u"6 畳 平方メートル");

void BM_ReadValue(benchmark::State &state, const char16_t *text)
{
    const QString value = QString::fromUtf16(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadValue(value));
}
BENCHMARK_CAPTURE(BM_ReadValue, plain, u"1,234,567.891e-2");
BENCHMARK_CAPTURE(BM_ReadValue, fraction, u"1/3");
BENCHMARK_CAPTURE(BM_ReadValue, mixed, u"1 1/2");
BENCHMARK_CAPTURE(BM_ReadValue, kanji, u"一万二千");

// The plain number through ReadNumber alone, for comparison.
void BM_ReadNumberPlain(benchmark::State &state)
{
    const QString text = QStringLiteral("1,234,567.891e-2");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadNumber(text));
}
BENCHMARK(BM_ReadNumberPlain);

}  // namespace

BENCHMARK_MAIN();
