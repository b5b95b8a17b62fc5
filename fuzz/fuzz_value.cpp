// Values and queries as people type them, on arbitrary text: reading must
// neither crash nor hang, refuse only with a ValueFailure that points into
// the text, agree with the number reader where that reads, and settle a
// query only on units that answer to its names.
#include "catalogue/UnitRecord.h"
#include "convert/NumberText.h"
#include "convert/ValueParser.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Unit {
    const char16_t *series;
    const char16_t *name;
    double factor;
    bool reciprocal;
    std::initializer_list<const char16_t *> aliases;
};

// A few units with names shared across series (分, shaku, in, to), names
// holding an operator (L/100km, km/h) and a reciprocal unit.
const Unit kUnits[] = {
    {u"長さ", u"メートル", 1, false, {u"m"}},
    {u"長さ", u"センチメートル", 0.01, false, {u"cm"}},
    {u"長さ", u"インチ", 0.0254, false, {u"in", u"″"}},
    {u"長さ", u"フィート", 0.3048, false, {u"ft", u"′"}},
    {u"長さ", u"尺", 10.0 / 33, false, {u"shaku"}},
    {u"長さ", u"寸", 1.0 / 33, false, {}},
    {u"長さ", u"分", 1.0 / 330, false, {}},
    {u"体積", u"勺", 0.018039, false, {u"shaku"}},
    {u"体積", u"斗", 18.039, false, {u"to"}},
    {u"面積", u"平方メートル", 1, false, {u"m2"}},
    {u"面積", u"畳", 1.62, false, {}},
    {u"時間", u"時間", 3600, false, {u"h"}},
    {u"時間", u"分", 60, false, {u"min"}},
    {u"燃費", u"リットル毎100キロメートル", 100, true, {u"L/100km"}},
    {u"燃費", u"キロメートル毎リットル", 1, false, {u"km/L"}},
    {u"速度", u"キロメートル毎時", 1, false, {u"km/h"}},
};

class Names : public UnitNameLookup {
public:
    Names()
    {
        for (const Unit &unit : kUnits) {
            const QString series = QString::fromUtf16(unit.series);
            const QString name = QString::fromUtf16(unit.name);
            m_names[name].push_back({series, name});
            UnitRecord record;
            record.UnitName = name;
            record.Factor = unit.factor;
            record.Reciprocal = unit.reciprocal;
            record.SeparatorOK = record.ExponentOK = 1;
            for (const char16_t *alias : unit.aliases) {
                m_names[QString::fromUtf16(alias)].push_back({series, name});
                record.Aliases << QString::fromUtf16(alias);
            }
            m_series[series].push_back(record);
        }
    }
    std::vector<UnitMatch> unitsCalled(QStringView name) const override { return m_names.value(name.toString()); }
    qsizetype longestName() const override { return 16; }
    const UnitArray &units(const QString &series) const { return m_series.at(series); }

private:
    QHash<QString, std::vector<UnitMatch>> m_names;
    std::map<QString, UnitArray> m_series;
};

void CheckFailure(const ValueFailure &failure)
{
    Check(!failure.message().isEmpty() && !failure.message().endsWith(u'\n'));
    Check(failure.position() >= 0 && failure.position() <= failure.text().size() + 1);
}

bool Answers(const std::vector<UnitMatch> &matches, const QString &series, const QString &unit)
{
    for (const UnitMatch &match : matches) {
        if (match.series == series && match.unit == unit)
            return true;
    }
    return false;
}

void FuzzValue(const QString &text)
{
    double value = 0;
    try {
        value = ReadValue(text);
    } catch (const ValueFailure &failure) {
        CheckFailure(failure);
        // The exact reading refuses it too.
        bool refused = false;
        try {
            (void)ReadValueExact(text);
        } catch (const ValueFailure &) {
            refused = true;
        }
        Check(refused || failure.fault() == ValueFault::OutOfRange);
        return;
    }
    Check(!std::isnan(value) && !std::isinf(value));
    // A plain number keeps the number reader's meaning.
    if (IsNumberText(text)) {
        const double number = ReadNumber(text);
        Check(number == value && std::signbit(number) == std::signbit(value));
    }
}

void FuzzQuery(const QString &text, const Names &names, QStringView onlySeries)
{
    Query query;
    try {
        query = ParseQuery(text, names, onlySeries);
    } catch (const ValueFailure &failure) {
        CheckFailure(failure);
        return;
    }
    Check(!query.terms.empty() && !query.series.isEmpty());
    Check(onlySeries.isEmpty() || query.series == onlySeries);
    for (const QueryTerm &term : query.terms) {
        // The name as typed may be another form of the unit's name ("'" for "′").
        Check(Answers(term.matches, query.series, term.unit));
    }
    Check(query.targetName.isEmpty() == query.target.isEmpty());
    if (!query.targetName.isEmpty())
        Check(Answers(query.targetMatches, query.series, query.target));

    const UnitArray &units = names.units(query.series);
    try {
        const SourceValue source = SumTerms(query, units);
        Check(source.unit >= 0 && size_t(source.unit) < units.size());
        Check(units[size_t(source.unit)].UnitName == query.terms.back().unit);
        Check(!std::isnan(source.value) && !std::isinf(source.value));
        Check(ReadNumber(source.text) == source.value);
    } catch (const ValueFailure &failure) {
        CheckFailure(failure);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const Names names;
    // The first byte chooses how the rest becomes text and the series a
    // query is restricted to.
    const uint8_t mode = data[0];
    ++data;
    --size;
    QString text;
    if (mode & 1)
        text = QString(reinterpret_cast<const QChar *>(data), static_cast<qsizetype>(size / 2));
    else
        text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    static const QStringList restrictions = {QString(), QStringLiteral("長さ"), QStringLiteral("面積"),
                                             QStringLiteral("燃費")};
    FuzzValue(text);
    FuzzQuery(text, names, restrictions[(mode >> 1) % restrictions.size()]);
    return 0;
}
