#include "convert/search/SearchQuery.h"

#include "convert/NumberText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// Longer queries are not conversions; they are turned away before any work.
constexpr qsizetype kMaxQueryLength = 200;
constexpr qsizetype kMinQueryLength = 2;

QStringList splitAtBlanks(const QString &text)
{
    QStringList tokens;
    QString token;
    for (const QChar c : text) {
        if (c.isSpace()) {  // the ideographic space U+3000 included
            if (!token.isEmpty())
                tokens << token;
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.isEmpty())
        tokens << token;
    return tokens;
}

// The units called name as typed, or else in its compatibility form, so
// that "ｍ２" or "㎡" typed finds "m2".
std::vector<UnitRef> findUnit(const UnitLookup &lookup, const QString &name)
{
    std::vector<UnitRef> found = lookup(name);
    if (found.empty()) {
        const QString compatible = name.normalized(QString::NormalizationForm_KC);
        if (compatible != name)
            found = lookup(compatible);
    }
    return found;
}

bool isIntoWord(const QString &token)
{
    return IntoWords().contains(token, Qt::CaseInsensitive);
}

// A unit token that names nothing is split where a Japanese into-word stands
// in it ("畳を平方メートル"), the word kept as a token of its own.
QStringList splitAtJapaneseIntoWords(const QStringList &tokens, const UnitLookup &lookup)
{
    QStringList split;
    for (const QString &token : tokens) {
        if (!findUnit(lookup, token).empty()) {
            split << token;
            continue;
        }
        QString piece;
        for (const QChar c : token) {
            if (c == u'を' || c == u'で') {
                if (!piece.isEmpty())
                    split << piece;
                split << QString(c);
                piece.clear();
            } else {
                piece += c;
            }
        }
        if (!piece.isEmpty())
            split << piece;
    }
    return split;
}

// The longest start of token that reads as a number; empty when none does.
qsizetype numberPrefixLength(const QString &token)
{
    for (qsizetype length = token.size(); length > 0; --length) {
        if (IsNumberText(QStringView(token).first(length)))
            return length;
    }
    return 0;
}

}  // namespace

QStringList IntoWords()
{
    return {u"to"_s, u"in"_s, u"into"_s, u"を"_s, u"で"_s};
}

ParsedQuery ParseSearchQuery(const QString &text, const UnitLookup &lookup)
{
    ParsedQuery query;
    const QString trimmed = text.trimmed();
    if (trimmed.size() < kMinQueryLength || trimmed.size() > kMaxQueryLength)
        return query;
    QStringList tokens = splitAtBlanks(trimmed);
    if (tokens.isEmpty())
        return query;

    // The value: the first token, or the number it starts with when the unit
    // follows without a blank ("6畳").
    const QString first = tokens.takeFirst().normalized(QString::NormalizationForm_KC);
    const qsizetype numberLength = numberPrefixLength(first);
    const bool numeric = numberLength > 0;
    QString value = first;
    if (numeric && numberLength < first.size()) {
        value = first.first(numberLength);
        tokens.prepend(first.mid(numberLength));
    }
    if (tokens.isEmpty())
        return query;
    tokens = splitAtJapaneseIntoWords(tokens, lookup);

    // The source is the longest run of tokens that names a unit ("sq ft",
    // "mpg (US)"); what follows, after an into-word, names the target.
    for (qsizetype k = tokens.size(); k > 0; --k) {
        const std::vector<UnitRef> sources = findUnit(lookup, tokens.first(k).join(u' '));
        if (sources.empty())
            continue;
        QStringList rest = tokens.mid(k);
        if (rest.size() > 1 && isIntoWord(rest.first()))
            rest.removeFirst();
        if (rest.isEmpty()) {
            query.source = sources.front();
        } else {
            const std::vector<UnitRef> targets = findUnit(lookup, rest.join(u' '));
            for (const UnitRef &source : sources) {
                for (const UnitRef &target : targets) {
                    if (query.target.series < 0 && source.series == target.series) {
                        query.source = source;
                        query.target = target;
                    }
                }
            }
            if (query.target.series < 0)
                return {};
        }
        // A value that is not a number stands only before a radix, as a
        // digit string of it.
        if (!numeric && !query.source.numberBase)
            return {};
        query.value = value;
        query.understood = true;
        return query;
    }
    return query;
}
