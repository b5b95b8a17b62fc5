#include "convert/QueryResolve.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

bool LooksLikeValue(const QString &arg)
{
    return arg.size() > 1 && arg.startsWith(u'-') && (arg.at(1).isDigit() || arg.at(1) == u'.');
}

StartRequest Refused(const QString &message)
{
    StartRequest request;
    request.error = message;
    return request;
}

// VALUE FROM [TO] in the number-base series: digits, not a value.
std::optional<Query> DigitQuery(const QStringList &words, int onlySeries, const NameIndex &index)
{
    if (words.size() < 2 || words.size() > 3)
        return std::nullopt;
    for (const int unit : index.lookUp(words[1], onlySeries)) {
        const int series = index.unit(unit).series;
        if (!index.series(series).numberBase)
            continue;
        Query query;
        query.series = index.series(series).name;
        QueryTerm term;
        term.valueText = words[0];
        term.name = words[1];
        term.unit = index.name(unit);
        query.terms.push_back(std::move(term));
        if (words.size() == 3) {
            const std::vector<int> target = index.lookUp(words[2], series);
            if (target.empty())
                throw ValueFailure(ValueFault::WrongSeries,
                                   u"単位「%1」は単位系「%2」にありません。"_s.arg(words[2], query.series), words[2]);
            query.targetName = words[2];
            query.target = index.name(target.front());
        }
        return query;
    }
    return std::nullopt;
}

}  // namespace

StartRequest ParseStartArguments(const QStringList &arguments)
{
    StartRequest request;
    bool optionsEnded = false;
    std::optional<QString> find;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        if (optionsEnded || !arg.startsWith(u'-') || LooksLikeValue(arg)) {
            request.words << arg;
            continue;
        }
        if (arg == u"--"_s) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" and "--name value" alike.
        std::optional<QString> value;
        if (arg.startsWith(u"--"_s) && arg.contains(u'=')) {
            value = arg.mid(arg.indexOf(u'=') + 1);
            arg.truncate(arg.indexOf(u'='));
        }
        if (arg != u"--series"_s && arg != u"--find"_s)
            return Refused(u"不明なオプション %1"_s.arg(arg));
        if (!value) {
            if (i + 1 >= arguments.size())
                return Refused(u"オプション %1 に値がありません。"_s.arg(arg));
            value = arguments[++i];
        }
        if (arg == u"--series"_s)
            request.series = *value;
        else
            find = *value;
    }
    if (find) {
        if (!request.words.isEmpty() || !request.series.isEmpty())
            return Refused(u"--find は値や単位と一緒には使えません。"_s);
        request.kind = StartRequest::Kind::Find;
        request.find = *find;
        return request;
    }
    if (request.words.isEmpty()) {
        if (!request.series.isEmpty())
            return Refused(u"値と変換元の単位を指定してください。"_s);
        return request;
    }
    request.kind = StartRequest::Kind::Convert;
    return request;
}

IndexNameLookup::IndexNameLookup(const NameIndex &index) : m_index(index)
{
    for (int unit = 0; unit < index.unitCount(); ++unit)
        for (int k = 0; k < index.nameCount(unit); ++k) {
            const QString &name = index.name(unit, k);
            m_names.insert(name, true);
            m_longest = std::max(m_longest, name.size());
        }
}

std::vector<UnitMatch> IndexNameLookup::unitsCalled(QStringView name) const
{
    // lookUp also finds a name by its compatibility form ("℉" for "°F").
    if (name.isEmpty()
        || (!m_names.contains(name.toString())
            && !m_names.contains(name.toString().normalized(QString::NormalizationForm_KC))))
        return {};
    std::vector<UnitMatch> matches;
    for (const int unit : m_index.lookUp(name)) {
        const IndexedUnit &found = m_index.unit(unit);
        matches.push_back({m_index.series(found.series).name, m_index.name(unit)});
    }
    return matches;
}

Query ResolveStartWords(const QStringList &words, const QString &series, const NameIndex &index)
{
    const int only = series.isEmpty() ? -1 : index.seriesCalled(series);
    if (!series.isEmpty() && only < 0)
        throw ValueFailure(ValueFault::WrongSeries, u"単位系「%1」が見つかりません。"_s.arg(series), series);
    if (std::optional<Query> digits = DigitQuery(words, only, index))
        return std::move(*digits);
    const IndexNameLookup names(index);
    return ParseQuery(words.join(u' '), names, series);
}
