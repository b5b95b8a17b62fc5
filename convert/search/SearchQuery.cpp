#include "convert/search/SearchQuery.h"

#include "convert/WordsQuery.h"

#include <QStringList>

namespace {

// Longer queries are not conversions; they are turned away before any work.
constexpr qsizetype kMaxQueryLength = 200;
constexpr qsizetype kMinQueryLength = 2;

// The words split at blanks (the ideographic space among them).
QStringList WordsOf(QStringView text)
{
    QStringList words;
    QString word;
    for (const QChar c : text) {
        if (c.isSpace()) {
            if (!word.isEmpty())
                words << word;
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.isEmpty())
        words << word;
    return words;
}

std::optional<WordsQuery> Resolve(const QStringList &words, const SearchCatalogue &catalogue,
                                  const QString &onlySeries = {})
{
    const SeriesUnits unitsOf = [&catalogue](int series) -> const UnitArray & {
        return catalogue.series()[size_t(series)].units;
    };
    try {
        return ResolveWords(words, catalogue.names(), onlySeries, unitsOf);
    } catch (const ValueFailure &failure) {
        if (failure.fault() != ValueFault::Ambiguous || !onlySeries.isEmpty())
            return std::nullopt;
    }
    for (const LoadedSeries &series : catalogue.series()) {
        if (auto query = Resolve(words, catalogue, series.entry.name))
            return query;
    }
    return std::nullopt;
}

}  // namespace

std::optional<SearchQuery> ReadSearchQuery(QStringView text, const SearchCatalogue &catalogue)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.size() < kMinQueryLength || trimmed.size() > kMaxQueryLength)
        return std::nullopt;
    const std::optional<WordsQuery> query = Resolve(WordsOf(trimmed), catalogue);
    if (!query || query->series < 0 || query->source < 0)
        return std::nullopt;
    SearchQuery settled;
    settled.series = query->series;
    settled.source = query->source;
    settled.target = query->target;
    // Full-width digits as the plain ones, so that a query answers the same
    // however it was typed.
    settled.value = query->value.normalized(QString::NormalizationForm_KC);
    return settled;
}
