#include "convert/search/SearchQuery.h"

#include "convert/WordsQuery.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

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

// The target in several units that name stands for in series: one of the
// file's ("尺・寸"), or units of the series joined by "・" or ";", largest
// first. False when it is none.
bool CompoundTarget(const LoadedSeries &series, const QString &name, SearchQuery *query)
{
    if (series.entry.numberBase)
        return false;
    CompoundUnit compound;
    for (const CompoundUnit &shipped : series.compounds)
        if (shipped.name == name)
            compound = shipped;
    if (compound.parts.empty()) {
        const QStringList parts = QString(name).replace(u';', u'・').split(u'・');
        if (parts.size() < 2
            || ReadCompoundUnit(parts.join(u'・'), parts, series.units, compound) != CompoundProblem::None)
            return false;
        QStringList names;
        for (const int part : compound.parts)
            names << series.units[size_t(part)].UnitName;
        compound.name = names.join(u'・');
    }
    query->targetParts = compound.parts;
    query->targetName = compound.name;
    return true;
}

// The words with a last word that names a target in several units: the
// query of what comes before it (an "into" word dropped).
std::optional<SearchQuery> WithCompoundTarget(QStringList words, const SearchCatalogue &catalogue)
{
    if (words.size() < 3 || !catalogue.names().unitsOf(words.last()).empty())
        return std::nullopt;
    const QString target = words.takeLast();
    static const QStringList kInto = {u"to"_s, u"in"_s, u"into"_s, u"as"_s, u"→"_s,  u"->"_s,
                                      u"=>"_s, u"="_s,  u"を"_s,   u"で"_s, u"へ"_s, u"に"_s};
    if (words.size() >= 3 && kInto.contains(words.last()))
        words.removeLast();
    const std::optional<WordsQuery> query = Resolve(words, catalogue);
    if (!query || query->series < 0 || query->source < 0 || query->target >= 0)
        return std::nullopt;
    SearchQuery settled;
    settled.series = query->series;
    settled.source = query->source;
    settled.value = query->value.normalized(QString::NormalizationForm_KC);
    if (!CompoundTarget(catalogue.series()[size_t(query->series)], target, &settled))
        return std::nullopt;
    return settled;
}

}  // namespace

std::optional<SearchQuery> ReadSearchQuery(QStringView text, const SearchCatalogue &catalogue)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.size() < kMinQueryLength || trimmed.size() > kMaxQueryLength)
        return std::nullopt;
    const QStringList words = WordsOf(trimmed);
    const std::optional<WordsQuery> query = Resolve(words, catalogue);
    if (!query || query->series < 0 || query->source < 0)
        return WithCompoundTarget(words, catalogue);
    SearchQuery settled;
    settled.series = query->series;
    settled.source = query->source;
    settled.target = query->target;
    // Full-width digits as the plain ones, so that a query answers the same
    // however it was typed.
    settled.value = query->value.normalized(QString::NormalizationForm_KC);
    return settled;
}
