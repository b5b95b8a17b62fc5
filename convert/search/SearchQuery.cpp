#include "convert/search/SearchQuery.h"

#include "catalogue/NameIndex.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

// Longer queries are not conversions; they are turned away before any work.
constexpr qsizetype kMaxQueryLength = 200;
constexpr qsizetype kMinQueryLength = 2;

// The parsed query as positions in the loaded series, the value as the
// value box takes it; nothing when the terms do not sum.
std::optional<SearchQuery> Settle(const Query &query, const SearchCatalogue &catalogue)
{
    SearchQuery settled;
    settled.series = catalogue.seriesCalled(query.series);
    if (settled.series < 0)
        return std::nullopt;
    const LoadedSeries &series = catalogue.series()[size_t(settled.series)];
    try {
        const SourceValue value = SumTerms(query, series.units);
        settled.source = value.unit;
        settled.value = value.text;
    } catch (const ValueFailure &) {
        return std::nullopt;
    }
    if (series.entry.numberBase) {
        // The digits as typed, not the number they would read as ("10" of
        // 16進数 is sixteen).
        if (query.terms.size() != 1)
            return std::nullopt;
        settled.value = query.terms.front().valueText.normalized(QString::NormalizationForm_KC);
    }
    if (!query.target.isEmpty()) {
        settled.target = FindUnitByName(series.units, query.target);
        if (settled.target < 0)
            return std::nullopt;
    }
    return settled;
}

std::optional<Query> Parse(QStringView text, const SearchCatalogue &catalogue, QStringView onlySeries = {})
{
    try {
        return ParseQuery(text, catalogue, onlySeries);
    } catch (const ValueFailure &failure) {
        if (failure.fault() != ValueFault::Ambiguous || !onlySeries.isEmpty())
            return std::nullopt;
    }
    for (const LoadedSeries &series : catalogue.series()) {
        if (auto query = Parse(text, catalogue, series.entry.name))
            return query;
    }
    return std::nullopt;
}

// A digit string and the units after it in the number-base series: the
// value reader does not take "FF", so the units are read after a stand-in
// value and the digits kept as they are. Their names start with digits
// ("10進数"), which the reader takes for a new value after a unit, so a
// target without an into word is tried after each blank in turn.
std::optional<SearchQuery> ReadDigitString(const QString &text, const SearchCatalogue &catalogue)
{
    const qsizetype blank = text.indexOf(u' ');
    if (blank <= 0)
        return std::nullopt;
    const QString digits = text.first(blank);
    const QString units = text.mid(blank + 1);
    QStringList readings{u"1 "_s + units};
    for (qsizetype at = units.indexOf(u' '); at > 0; at = units.indexOf(u' ', at + 1))
        readings << u"1 "_s + units.first(at) + u" to "_s + units.mid(at + 1);
    for (const LoadedSeries &series : catalogue.series()) {
        if (!series.entry.numberBase)
            continue;
        for (const QString &reading : readings) {
            const auto query = Parse(reading, catalogue, series.entry.name);
            if (!query || query->terms.size() != 1)
                continue;
            if (auto settled = Settle(*query, catalogue)) {
                settled->value = digits;
                return settled;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<SearchQuery> ReadSearchQuery(QStringView text, const SearchCatalogue &catalogue)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.size() < kMinQueryLength || trimmed.size() > kMaxQueryLength)
        return std::nullopt;
    if (const auto query = Parse(trimmed, catalogue))
        return Settle(*query, catalogue);
    QString compatible = trimmed.toString().normalized(QString::NormalizationForm_KC).simplified();
    return ReadDigitString(compatible, catalogue);
}
