#include "convert/WordsQuery.h"

#include "convert/NumberText.h"

#include <charconv>

using namespace Qt::Literals::StringLiterals;

namespace {

QString SeriesNames(const NameIndex &index, const std::vector<int> &units)
{
    QStringList names;
    for (const int unit : units)
        names << u"「%1」"_s.arg(index.series(index.unit(unit).series).name);
    return names.join(u"、"_s);
}

WordsQuery ResolveJoined(const QString &text, const IndexNameLookup &names, const QString &onlySeries,
                         const SeriesUnits &unitsOf)
{
    const NameIndex &index = names.index();
    const Query parsed = ParseQuery(text, names, onlySeries);
    WordsQuery query;
    query.series = index.seriesCalled(parsed.series);
    const UnitArray &units = unitsOf(query.series);
    const SourceValue value = SumTerms(parsed, units);
    query.source = value.unit;
    if (!parsed.target.isEmpty())
        query.target = FindUnitByName(units, parsed.target);
    const QueryTerm &only = parsed.terms.front();
    if (parsed.terms.size() == 1 && IsNumberText(only.valueText)) {
        query.value = query.shown = only.valueText;  // as a plain number always converted
    } else {
        // Several terms are shown as their sum, in the digits of a result.
        query.value = value.text;
        query.shown = parsed.terms.size() == 1 ? only.valueText : PlainText(value.value);
    }
    return query;
}

// VALUE FROM [TO] with FROM (and TO) unit names; false when the words have
// another shape.
bool ResolveNamed(const QStringList &words, const IndexNameLookup &names, int chosen, const SeriesUnits &unitsOf,
                  WordsQuery *query)
{
    if (words.size() != 2 && words.size() != 3)
        return false;
    const NameIndex &index = names.index();
    const QString &from = words[1];
    const QString to = words.size() == 3 ? words[2] : QString();
    std::vector<int> holding = names.unitsOf(from);
    if (holding.empty() || (!to.isEmpty() && names.unitsOf(to).empty()))
        return false;
    if (chosen >= 0) {
        std::erase_if(holding, [&](int unit) { return index.unit(unit).series != chosen; });
        if (holding.empty())
            throw ValueFailure(ValueFault::WrongSeries,
                               u"単位「%1」は単位系「%2」にありません。"_s.arg(from, index.series(chosen).name), from);
    }
    if (holding.size() > 1 && !to.isEmpty()) {
        std::vector<int> settled;
        for (const int unit : holding)
            if (!index.lookUp(to, index.unit(unit).series).empty())
                settled.push_back(unit);
        if (!settled.empty())
            holding = settled;
    }
    if (holding.size() > 1)
        throw ValueFailure(ValueFault::Ambiguous,
                           u"単位「%1」は複数の単位系 %2 にあります。--series で単位系を選んでください。"_s.arg(
                               from, SeriesNames(index, holding)),
                           from);
    query->series = index.unit(holding.front()).series;
    const SeriesEntry &series = index.series(query->series);
    const UnitArray &units = unitsOf(query->series);
    query->source = FindUnitByName(units, from);
    if (query->source < 0)
        throw ValueFailure(ValueFault::UnknownUnit, u"単位「%1」が見つかりません。"_s.arg(from), from);
    if (!to.isEmpty()) {
        query->target = FindUnitByName(units, to);
        if (query->target < 0)
            throw ValueFailure(ValueFault::WrongSeries,
                               u"単位「%1」は単位系「%2」にありません。"_s.arg(to, series.name), to);
    }
    query->numberBase = series.numberBase;
    query->shown = words[0];
    query->value = words[0];
    if (!query->numberBase && !IsNumberText(words[0])) {
        try {
            query->value = ExactNumberText(ReadValue(words[0]));
        } catch (const ValueFailure &failure) {
            // A value that carries its units ("5尺3寸 cm") reads as a query;
            // when it does not, the value's own fault is the one to tell.
            try {
                *query = ResolveJoined(words.join(u' '), names, chosen < 0 ? QString() : index.series(chosen).name,
                                       unitsOf);
            } catch (const ValueFailure &joined) {
                // Told the query's fault once it got past the value's own words.
                const ValueFault fault = joined.fault();
                if (fault == ValueFault::Unreadable || fault == ValueFault::Unfinished || fault == ValueFault::NoValue
                    || fault == ValueFault::NoUnit || fault == ValueFault::UnknownUnit)
                    throw failure;
                throw;
            }
        }
    }
    return true;
}

}  // namespace

WordsQuery ResolveWords(const QStringList &words, const IndexNameLookup &names, const QString &onlySeries,
                        const SeriesUnits &unitsOf)
{
    int chosen = -1;
    if (!onlySeries.isEmpty()) {
        chosen = names.index().seriesCalled(onlySeries);
        if (chosen < 0)
            throw ValueFailure(ValueFault::WrongSeries, u"単位系「%1」が見つかりません。"_s.arg(onlySeries),
                               onlySeries);
    }
    WordsQuery query;
    try {
        if (ResolveNamed(words, names, chosen, unitsOf, &query))
            return query;
    } catch (const ValueFailure &failure) {
        // "1時間30分 分": a target of several series after a value that carries its unit.
        if (failure.fault() != ValueFault::Ambiguous || IsNumberText(words[0]))
            throw;
        try {
            return ResolveJoined(words.join(u' '), names, onlySeries, unitsOf);
        } catch (const ValueFailure &) {
            throw failure;
        }
    }
    return ResolveJoined(words.join(u' '), names, onlySeries, unitsOf);
}

QString ExactNumberText(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QString::fromLatin1(text, end - text);
}
