// Values as people write them and whole queries: what reads as what, what is
// refused and how the refusal is worded.
#include "convert/NumberText.h"
#include "convert/ValueParser.h"

#include <gtest/gtest.h>

#include <QHash>

#include <cfloat>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Series, unit, names: a few units of the shipped files, with the names they
// share across series (分, shaku, in, to).
class Names : public UnitNameLookup {
public:
    Names()
    {
        add(u"長さ"_s, u"センチメートル"_s, {u"cm"_s});
        add(u"長さ"_s, u"ミリメートル"_s, {u"mm"_s});
        add(u"長さ"_s, u"メートル"_s, {u"m"_s});
        add(u"長さ"_s, u"インチ"_s, {u"in"_s, u"″"_s});
        add(u"長さ"_s, u"フィート"_s, {u"ft"_s, u"′"_s});
        add(u"長さ"_s, u"尺"_s, {u"shaku"_s});
        add(u"長さ"_s, u"寸"_s, {});
        add(u"長さ"_s, u"分"_s, {});
        add(u"体積"_s, u"勺"_s, {u"shaku"_s});
        add(u"体積"_s, u"合"_s, {});
        add(u"体積"_s, u"斗"_s, {u"to"_s});
        add(u"面積"_s, u"平方メートル"_s, {u"m2"_s});
        add(u"面積"_s, u"畳"_s, {});
        add(u"時間"_s, u"時間"_s, {u"h"_s});
        add(u"時間"_s, u"分"_s, {u"min"_s});
        add(u"質量"_s, u"ポンド"_s, {u"lb"_s});
        add(u"質量"_s, u"オンス"_s, {u"oz"_s});
        add(u"質量"_s, u"分"_s, {});
        add(u"燃費"_s, u"マイル毎米ガロン"_s, {u"mpg"_s});
        add(u"燃費"_s, u"リットル毎100キロメートル"_s, {u"L/100km"_s});
        add(u"速度"_s, u"キロメートル毎時"_s, {u"km/h"_s});
    }
    std::vector<UnitMatch> unitsCalled(QStringView name) const override { return m_names.value(name.toString()); }
    qsizetype longestName() const override { return 20; }

private:
    void add(const QString &series, const QString &unit, const QStringList &aliases)
    {
        m_names[unit].push_back({series, unit});
        for (const QString &alias : aliases)
            m_names[alias].push_back({series, unit});
    }
    QHash<QString, std::vector<UnitMatch>> m_names;
};

std::optional<ValueFailure> FailureOf(auto &&call)
{
    try {
        call();
    } catch (const ValueFailure &failure) {
        return failure;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------

struct ExactCase {
    QString text;
    long num;
    long den;
};

TEST(ValueParserTest, ReadsEachFormExactly)
{
    const ExactCase cases[] = {
        // Today's numbers keep their meaning, the trailing sign included.
        {u"5-"_s, -5, 1},
        {u"1+"_s, 1, 1},
        {u"1,000.5"_s, 2001, 2},
        {u"2.5e-1"_s, 1, 4},
        // Fractions and mixed numbers: 2 1/2 is 5/2, never 21/2 nor 10.5.
        {u"1/3"_s, 1, 3},
        {u"2 1/2"_s, 5, 2},
        {u"-2 1/2"_s, -5, 2},
        {u"1½"_s, 3, 2},
        {u"⅞"_s, 7, 8},
        {u"1/2 + 1/3"_s, 5, 6},
        // Arithmetic and precedence.
        {u"1+2*3"_s, 7, 1},
        {u"(1+2)*3"_s, 9, 1},
        {u"7÷2×3"_s, 21, 2},
        {u"2^3^2"_s, 512, 1},
        {u"-2^2"_s, -4, 1},
        {u"2^-2"_s, 1, 4},
        {u"5-3"_s, 2, 1},
        // Full-width and other compatibility forms: １２ is 12, never 0.
        {u"１２"_s, 12, 1},
        {u"１２．５"_s, 25, 2},
        {u"（１＋２）／３"_s, 1, 1},
        {u"－３"_s, -3, 1},
        {u"−3"_s, -3, 1},
        {u"ー3"_s, -3, 1},
        {u"\u30003\u3000"_s, 3, 1},
        // Japanese numbers.
        {u"1.5万"_s, 15000, 1},
        {u"3億2000万"_s, 320000000, 1},
        {u"5千"_s, 5000, 1},
        {u"三"_s, 3, 1},
        {u"十五"_s, 15, 1},
        {u"二千五百"_s, 2500, 1},
        {u"一万二千"_s, 12000, 1},
        {u"〇・五"_s, 1, 2},
        {u"二〇二六"_s, 2026, 1},
    };
    for (const ExactCase &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        mpq_class value;
        ASSERT_NO_THROW(value = ReadValueExact(c.text));
        EXPECT_EQ(value, mpq_class(c.num, c.den)) << value.get_str();
    }
}

TEST(ValueParserTest, GivesTheNearestDouble)
{
    // A plain number gives ReadNumber's double, wherever it rounds.
    for (const QString &text : {u"0.1"_s, u"9007199254740993"_s, u"2.2250738585072011e-308"_s,
                                u"1.7976931348623157e308"_s, u"4.9e-324"_s, u"1,234,567.891e-2"_s}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(NearestDouble(ReadValueExact(text)), ReadNumber(text));
    }
    EXPECT_EQ(ReadValue(u"1/3"_s), 1.0 / 3.0);
    EXPECT_TRUE(std::signbit(ReadValue(u"-0"_s)));
    // Ties to even, below the normal range too.
    const mpz_class two53 = mpz_class(1) << 53;
    EXPECT_EQ(NearestDouble(mpq_class(two53 + 1)), 9007199254740992.0);
    EXPECT_EQ(NearestDouble(mpq_class(two53 + 3)), 9007199254740996.0);
    const mpz_class two1075 = mpz_class(1) << 1075;
    constexpr double kDenormMin = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(NearestDouble(mpq_class(mpz_class(1), two1075)), 0.0);
    EXPECT_EQ(NearestDouble(mpq_class(mpz_class(3), two1075)), 2 * kDenormMin);
    EXPECT_EQ(NearestDouble(mpq_class(mpz_class(DBL_MAX))), DBL_MAX);
}

struct FailCase {
    QString text;
    ValueFault fault;
    QString message;
    int position;
};

TEST(ValueParserTest, RefusesWithThePlaceAndAReason)
{
    const FailCase cases[] = {
        {u"1//2"_s, ValueFault::Unreadable, u"値「1//2」の 3 文字目「/」が読めません"_s, 3},
        {u"1.2.3"_s, ValueFault::Unreadable, u"値「1.2.3」の 4 文字目「.」が読めません"_s, 4},
        {u"1 2"_s, ValueFault::Unreadable, u"値「1 2」の 3 文字目「2」が読めません"_s, 3},
        {u"3/4 1/2"_s, ValueFault::Unreadable, u"値「3/4 1/2」の 5 文字目「1」が読めません"_s, 5},
        // Positions count what the user sees: a surrogate pair is one.
        {u"(𠮷)"_s, ValueFault::Unreadable, u"値「(𠮷)」の 2 文字目「𠮷」が読めません"_s, 2},
        {u"１２x"_s, ValueFault::Unreadable, u"値「１２x」の 3 文字目「x」が読めません"_s, 3},
        {u"　"_s, ValueFault::NoValue, u"値がありません"_s, 0},
        {u"1*"_s, ValueFault::Unfinished, u"値「1*」は途中で終わっています"_s, 0},
        {u"(1+2"_s, ValueFault::Unfinished, u"値「(1+2」は途中で終わっています"_s, 0},
        {u"1/0"_s, ValueFault::DivisionByZero, u"値「1/0」は 0 で割っているため計算できません"_s, 0},
        {u"0^-1"_s, ValueFault::DivisionByZero, u"値「0^-1」は 0 で割っているため計算できません"_s, 0},
        {u"1e400"_s, ValueFault::OutOfRange, u"値「1e400」は扱える範囲 (±1.79E+308) を超えています"_s, 0},
        {u"9^9^9"_s, ValueFault::OutOfRange, u"値「9^9^9」は扱える範囲 (±1.79E+308) を超えています"_s, 0},
        // Japanese multipliers only in falling order, after a number.
        {u"二千千"_s, ValueFault::Unreadable, u"値「二千千」の 3 文字目「千」が読めません"_s, 3},
        {u"万"_s, ValueFault::Unreadable, u"値「万」の 1 文字目「万」が読めません"_s, 1},
        {u"2^0.5"_s, ValueFault::NotWholePower, u"値「2^0.5」の 2 文字目「^」のべき指数が整数ではありません"_s, 2},
    };
    for (const FailCase &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const auto failure = FailureOf([&] { ReadValue(c.text); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->fault(), c.fault);
        EXPECT_EQ(failure->message(), c.message);
        EXPECT_EQ(failure->position(), c.position);
    }
    // Nesting beyond any real value is refused before the stack runs out.
    const QString deep = QString(100000, u'(') + u'1';
    EXPECT_EQ(FailureOf([&] { ReadValue(deep); })->position(), 101);
    EXPECT_EQ(FailureOf([] { ReadValue(u"1e400"_s); })->kind(), FailureKind::Overflow);
    EXPECT_EQ(FailureOf([] { ReadValue(u"1//2"_s); })->kind(), FailureKind::InvalidInput);
}

// ---------------------------------------------------------------------------

struct QueryCase {
    QString text;
    QString series;
    std::vector<std::pair<mpq_class, QString>> terms;  // value, unit
    QString target;
};

TEST(ValueParserTest, SplitsQueriesIntoTermsAndTarget)
{
    const QueryCase cases[] = {
        {u"5尺3寸 cm"_s, u"長さ"_s, {{5, u"尺"_s}, {3, u"寸"_s}}, u"センチメートル"_s},
        {u"五尺三寸"_s, u"長さ"_s, {{5, u"尺"_s}, {3, u"寸"_s}}, {}},
        {u"5 ft 11 in"_s, u"長さ"_s, {{5, u"フィート"_s}, {11, u"インチ"_s}}, {}},
        {u"5'11\""_s, u"長さ"_s, {{5, u"フィート"_s}, {11, u"インチ"_s}}, {}},
        {u"5′11″ to cm"_s, u"長さ"_s, {{5, u"フィート"_s}, {11, u"インチ"_s}}, u"センチメートル"_s},
        // 分 is in three series; 時間 settles it.
        {u"1時間30分"_s, u"時間"_s, {{1, u"時間"_s}, {30, u"分"_s}}, {}},
        {u"2 lb 3 oz"_s, u"質量"_s, {{2, u"ポンド"_s}, {3, u"オンス"_s}}, {}},
        {u"６畳を平方メートルで"_s, u"面積"_s, {{6, u"畳"_s}}, u"平方メートル"_s},
        {u"6 畳 m2"_s, u"面積"_s, {{6, u"畳"_s}}, u"平方メートル"_s},
        // Names with a slash are names: no division, no inverse length.
        {u"30 mpg in L/100km"_s, u"燃費"_s, {{30, u"マイル毎米ガロン"_s}}, u"リットル毎100キロメートル"_s},
        {u"1/3 尺 cm"_s, u"長さ"_s, {{mpq_class(1, 3), u"尺"_s}}, u"センチメートル"_s},
        {u"1 1/2 in mm"_s, u"長さ"_s, {{mpq_class(3, 2), u"インチ"_s}}, u"ミリメートル"_s},
        {u"100 km/h"_s, u"速度"_s, {{100, u"キロメートル毎時"_s}}, {}},
        // shaku is 尺 and 勺: the target settles it, either way.
        {u"1 shaku cm"_s, u"長さ"_s, {{1, u"尺"_s}}, u"センチメートル"_s},
        {u"2 shaku to 合"_s, u"体積"_s, {{2, u"勺"_s}}, u"合"_s},
        {u"3 to 合"_s, u"体積"_s, {{3, u"斗"_s}}, u"合"_s},
        {u"1 寸 to shaku"_s, u"長さ"_s, {{1, u"寸"_s}}, u"尺"_s},
        // Full-width names are looked up in their plain form; "in" inside
        // "into" is not an inch.
        {u"５ｃｍ　ｍｍ"_s, u"長さ"_s, {{5, u"センチメートル"_s}}, u"ミリメートル"_s},
        {u"5 ft into cm"_s, u"長さ"_s, {{5, u"フィート"_s}}, u"センチメートル"_s},
        {u"5- ft -> cm"_s, u"長さ"_s, {{-5, u"フィート"_s}}, u"センチメートル"_s},
    };
    const Names names;
    for (const QueryCase &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Query q;
        ASSERT_NO_THROW(q = ParseQuery(c.text, names))
            << FailureOf([&] { ParseQuery(c.text, names); })->message().toStdString();
        EXPECT_EQ(q.series, c.series);
        ASSERT_EQ(q.terms.size(), c.terms.size());
        for (std::size_t i = 0; i < c.terms.size(); ++i) {
            EXPECT_EQ(q.terms[i].value, c.terms[i].first);
            EXPECT_EQ(q.terms[i].unit, c.terms[i].second);
        }
        EXPECT_EQ(q.target, c.target);
    }
}

TEST(ValueParserTest, RefusesQueriesNamingWhatIsWrong)
{
    const std::pair<QString, QString> cases[] = {
        {u"1//2 cm"_s, u"値「1//2」の 3 文字目「/」が読めません"_s},
        {u"1* cm"_s, u"値「1*」は途中で終わっています"_s},
        {u"5 m 3 lb"_s, u"単位「m」(単位系 「長さ」) と単位「lb」(単位系 「質量」) は単位系が違うため足せません。"_s},
        {u"1 shaku"_s, u"単位「shaku」は複数の単位系 「長さ」、「体積」 にあります。"_s},
        {u"5 xyz cm"_s, u"単位「xyz」が見つかりません。"_s},
        {u"12"_s, u"値「12」の後に単位がありません。"_s},
        {u"5 ft to"_s, u"「5 ft to」の後に変換先の単位がありません。"_s},
        {u"5 m kg"_s, u"単位「kg」が見つかりません。"_s},
        {u"5 m m2"_s, u"単位「m2」は単位系 「長さ」 にありません。"_s},
        {u"cm 5"_s, u"単位「cm」の前に値がありません。"_s},
    };
    const Names names;
    for (const auto &[text, message] : cases) {
        SCOPED_TRACE(text.toStdString());
        const auto failure = FailureOf([&] { ParseQuery(text, names); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->message(), message);
    }
}

TEST(ValueParserTest, SumsTermsInTheLastTermsUnit)
{
    const Names names;
    UnitArray units(3);
    units[0] = {u"フィート"_s, 12.0};
    units[1] = {u"インチ"_s, 1.0};
    units[2] = {u"センチメートル"_s, 1 / 2.54};
    units[2].Reciprocal = false;
    SourceValue v = SumTerms(ParseQuery(u"5 ft 11 in cm"_s, names), units);
    EXPECT_EQ(v.unit, 1);
    EXPECT_EQ(v.value, 71.0);
    EXPECT_EQ(ReadNumber(v.text), v.value);
    v = SumTerms(ParseQuery(u"1/3 ft"_s, names), units);
    EXPECT_EQ(v.unit, 0);
    EXPECT_EQ(ReadNumber(v.text), 1.0 / 3.0);
    units[1].Reciprocal = true;
    EXPECT_EQ(FailureOf([&] { SumTerms(ParseQuery(u"5 ft 11 in"_s, names), units); })->fault(), ValueFault::CannotSum);
}

}  // namespace
