// The series files that ship in units/: their list, their encoding, their
// factors against the units' definitions, and every conversion between two
// units of a series through the real pipeline, compared with the exact answer
// worked out in rational arithmetic from the definitions below.
//
// The definitions here are written out on their own, not taken from the
// files or from the generator, so a wrong factor in a file shows up.
#include "catalogue/NameIndex.h"
#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitFile.h"
#include "convert/Conversion.h"
#include "convert/ConversionSession.h"
#include "convert/NumberText.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <map>
#include <random>
#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace {

QString UnitsDir()
{
    return QStringLiteral(TOVEL_SOURCE_DIR "/units");
}

mpq_class Pow10(long k)
{
    mpz_class p;
    mpz_ui_pow_ui(p.get_mpz_t(), 10, static_cast<unsigned long>(k < 0 ? -k : k));
    if (k >= 0)
        return mpq_class(p);
    mpq_class q(mpz_class(1), p);
    q.canonicalize();
    return q;
}

// Exact value of a decimal text: sign, digits, ".", digits, "E" and exponent.
// Also "a/b" for a fraction.
std::optional<mpq_class> ParseExact(const QString &text)
{
    const QString t = text.trimmed();
    const qsizetype slash = t.indexOf(QLatin1Char('/'));
    if (slash > 0) {
        mpq_class q(t.left(slash).toStdString() + "/" + t.mid(slash + 1).toStdString(), 10);
        q.canonicalize();
        return q;
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        negative = t[i++] == QLatin1Char('-');
    std::string digits;
    long scale = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isDigit()) {
            digits += char(c.unicode());
            if (point)
                --scale;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits.empty())
        return std::nullopt;
    if (i < t.size()) {
        if (t[i] != QLatin1Char('E') && t[i] != QLatin1Char('e'))
            return std::nullopt;
        bool ok = false;
        const long e = t.mid(i + 1).toLong(&ok);
        if (!ok)
            return std::nullopt;
        scale += e;
    }
    mpq_class q = mpq_class(mpz_class(digits, 10)) * Pow10(scale);
    return negative ? mpq_class(-q) : q;
}

mpq_class Q(const char *text)
{
    const std::optional<mpq_class> q = ParseExact(QString::fromLatin1(text));
    if (!q)
        throw std::invalid_argument(text);
    return *q;
}

// x rounded to 15 significant digits, half away from zero.
mpq_class Round15(const mpq_class &x)
{
    if (x == 0)
        return x;
    const mpq_class a = abs(x);
    long e = static_cast<long>(std::floor(std::log10(a.get_d())));
    while (Pow10(e) > a)
        --e;
    while (Pow10(e + 1) <= a)
        ++e;
    const mpq_class scaled = a * Pow10(14 - e) + mpq_class(1, 2);
    mpz_class n;
    mpz_fdiv_q(n.get_mpz_t(), scaled.get_num_mpz_t(), scaled.get_den_mpz_t());
    const mpq_class r = mpq_class(n) * Pow10(e - 14);
    return x < 0 ? mpq_class(-r) : r;
}

bool IsNearestDouble(double d, const mpq_class &x)
{
    const mpq_class err = abs(x - mpq_class(d));
    return err <= abs(x - mpq_class(std::nextafter(d, HUGE_VAL)))
        && err <= abs(x - mpq_class(std::nextafter(d, -HUGE_VAL)));
}

std::string Str(const mpq_class &q)
{
    return q.get_str() + " (" + std::to_string(q.get_d()) + ")";
}

// A unit by its definition: a reading v of the unit is the quantity
// v * size + zero in the series' reference unit (metre, square metre, cubic
// metre, kilogram, kelvin, second, metre per second, pascal, joule, watt,
// newton, degree of arc, bit; kilogram per cubic metre, metre per second
// squared, newton metre, cubic metre per second, hertz, lux, kilometre per
// litre, sievert, sievert per second, bit per second, the ratio 1).
//
// A reciprocal unit is written with its constant K as the size: a reading v
// of it is the quantity K / v. It follows the counted units.
struct UnitDef {
    QString name;
    mpq_class size;
    mpq_class zero = 0;
    bool reciprocal = false;
};

UnitDef Reciprocal(const char16_t *name, const mpq_class &k)
{
    return {QString::fromUtf16(name), k, 0, true};
}

// The quantity, in the reference unit, that a reading v of u stands for, and
// the reading of u for a quantity q.
mpq_class ToReference(const mpq_class &v, const UnitDef &u)
{
    return u.reciprocal ? mpq_class(u.size / v) : mpq_class(v * u.size + u.zero);
}

mpq_class FromReference(const mpq_class &q, const UnitDef &u)
{
    return u.reciprocal ? mpq_class(u.size / q) : mpq_class((q - u.zero) / u.size);
}

struct SeriesDef {
    QString name;
    std::vector<UnitDef> units;
    std::vector<const char *> values;  // converted between every pair
};

std::vector<SeriesDef> Definitions()
{
    const mpq_class inch = Q("0.0254");
    const mpq_class foot = 12 * inch;
    const mpq_class yard = 36 * inch;
    const mpq_class mile = 63360 * inch;
    const mpq_class shaku = Q("10/33");    // 尺 = 10/33 m
    const mpq_class tsubo = Q("400/121");  // 坪 = 400/121 m²
    const mpq_class shaku2 = shaku * shaku;
    const mpq_class sho = Q("2401/1331") / 1000;  // 升 = 2401/1331 L
    const mpq_class kan = Q("15/4");              // 貫 = 15/4 kg
    const mpq_class pound = Q("0.45359237");
    const mpq_class gn = Q("9.80665");
    const mpq_class usGallon = 231 * inch * inch * inch;
    const mpq_class ukGallon = Q("0.00454609");
    const mpq_class btu = Q("1055.05585262");
    const mpq_class cal = Q("4.184");
    const mpq_class pi = Q("3.14159265358979323846264338327950288419716939937510582097494459");
    const mpq_class freezing = Q("273.15");
    const mpq_class ninth5 = Q("5/9");

    return {
        {QStringLiteral("長さ"),
         {{QStringLiteral("メートル"), 1},
          {QStringLiteral("キロメートル"), 1000},
          {QStringLiteral("センチメートル"), Q("1e-2")},
          {QStringLiteral("ミリメートル"), Q("1e-3")},
          {QStringLiteral("マイクロメートル"), Q("1e-6")},
          {QStringLiteral("ナノメートル"), Q("1e-9")},
          {QStringLiteral("インチ"), inch},
          {QStringLiteral("フィート"), foot},
          {QStringLiteral("ヤード"), yard},
          {QStringLiteral("マイル"), mile},
          {QStringLiteral("海里"), 1852},
          {QStringLiteral("オングストローム"), Q("1e-10")},
          {QStringLiteral("天文単位"), Q("149597870700")},
          {QStringLiteral("光年"), Q("365.25") * 86400 * 299792458},
          {QStringLiteral("厘"), shaku / 1000},
          {QStringLiteral("分"), shaku / 100},
          {QStringLiteral("寸"), shaku / 10},
          {QStringLiteral("尺"), shaku},
          {QStringLiteral("間"), 6 * shaku},
          {QStringLiteral("丈"), 10 * shaku},
          {QStringLiteral("町"), 60 * 6 * shaku},
          {QStringLiteral("里"), 36 * 60 * 6 * shaku}},
         {"1"}},
        {QStringLiteral("面積"),
         {{QStringLiteral("平方メートル"), 1},
          {QStringLiteral("平方キロメートル"), Q("1e6")},
          {QStringLiteral("平方センチメートル"), Q("1e-4")},
          {QStringLiteral("平方ミリメートル"), Q("1e-6")},
          {QStringLiteral("アール"), 100},
          {QStringLiteral("ヘクタール"), 10000},
          {QStringLiteral("平方インチ"), inch * inch},
          {QStringLiteral("平方フィート"), foot * foot},
          {QStringLiteral("平方ヤード"), yard * yard},
          {QStringLiteral("エーカー"), 4840 * yard * yard},
          {QStringLiteral("平方マイル"), mile * mile},
          {QStringLiteral("坪"), tsubo},
          {QStringLiteral("畳"), Q("1.62")},
          {QStringLiteral("江戸間畳"), Q("5.8") * Q("2.9") * shaku2},
          {QStringLiteral("京間畳"), Q("6.3") * Q("3.15") * shaku2},
          {QStringLiteral("中京間畳"), tsubo / 2},  // 6 尺 × 3 尺, half a 坪
          {QStringLiteral("団地間畳"), Q("5.6") * Q("2.8") * shaku2},
          {QStringLiteral("畝"), 30 * tsubo},
          {QStringLiteral("反"), 300 * tsubo},
          {QStringLiteral("町"), 3000 * tsubo}},
         {"1", "6"}},
        {QStringLiteral("体積"),
         {{QStringLiteral("立方メートル"), 1},
          {QStringLiteral("立方センチメートル"), Q("1e-6")},
          {QStringLiteral("立方ミリメートル"), Q("1e-9")},
          {QStringLiteral("リットル"), Q("1e-3")},
          {QStringLiteral("デシリットル"), Q("1e-4")},
          {QStringLiteral("ミリリットル"), Q("1e-6")},
          {QStringLiteral("立方インチ"), inch * inch * inch},
          {QStringLiteral("立方フィート"), foot * foot * foot},
          {QStringLiteral("立方ヤード"), yard * yard * yard},
          {QStringLiteral("米液量ガロン"), usGallon},
          {QStringLiteral("米液量クォート"), usGallon / 4},
          {QStringLiteral("米液量パイント"), usGallon / 8},
          {QStringLiteral("米液量オンス"), usGallon / 128},
          {QStringLiteral("英ガロン"), ukGallon},
          {QStringLiteral("英クォート"), ukGallon / 4},
          {QStringLiteral("英パイント"), ukGallon / 8},
          {QStringLiteral("英液量オンス"), ukGallon / 160},
          {QStringLiteral("バレル (石油)"), 42 * usGallon},
          {QStringLiteral("勺"), sho / 100},
          {QStringLiteral("合"), sho / 10},
          {QStringLiteral("升"), sho},
          {QStringLiteral("斗"), 10 * sho},
          {QStringLiteral("石"), 100 * sho},
          {QStringLiteral("カップ"), Q("200e-6")},
          {QStringLiteral("大さじ"), Q("15e-6")},
          {QStringLiteral("小さじ"), Q("5e-6")},
          {QStringLiteral("米カップ"), Q("236.5882365e-6")},     // a 16th of the US gallon
          {QStringLiteral("米大さじ"), Q("14.78676478125e-6")},  // a 16th of the US cup
          {QStringLiteral("米小さじ"), Q("4.92892159375e-6")}},  // a third of the US tablespoon
         {"1"}},
        {QStringLiteral("質量"),
         {{QStringLiteral("キログラム"), 1},
          {QStringLiteral("グラム"), Q("1e-3")},
          {QStringLiteral("ミリグラム"), Q("1e-6")},
          {QStringLiteral("マイクログラム"), Q("1e-9")},
          {QStringLiteral("トン"), 1000},
          {QStringLiteral("カラット"), Q("0.0002")},
          {QStringLiteral("ポンド"), pound},
          {QStringLiteral("オンス"), pound / 16},
          {QStringLiteral("グレーン"), Q("0.00006479891")},
          {QStringLiteral("ストーン"), 14 * pound},
          {QStringLiteral("米トン"), 2000 * pound},
          {QStringLiteral("英トン"), 2240 * pound},
          {QStringLiteral("トロイオンス"), Q("0.0311034768")},
          {QStringLiteral("分"), kan / 10000},
          {QStringLiteral("匁"), kan / 1000},
          {QStringLiteral("斤"), Q("0.6")},
          {QStringLiteral("貫"), kan}},
         {"1"}},
        {QStringLiteral("温度"),
         {{QStringLiteral("ケルビン"), 1, 0},
          {QStringLiteral("セルシウス度"), 1, freezing},
          {QStringLiteral("ファーレンハイト度"), ninth5, freezing - 32 * ninth5},
          {QStringLiteral("ランキン度"), ninth5, 0},
          {QStringLiteral("レオミュール度"), Q("5/4"), freezing}},
         {"1", "-40", "0", "37", "100"}},
        {QStringLiteral("時間"),
         {{QStringLiteral("秒"), 1},
          {QStringLiteral("ミリ秒"), Q("1e-3")},
          {QStringLiteral("マイクロ秒"), Q("1e-6")},
          {QStringLiteral("ナノ秒"), Q("1e-9")},
          {QStringLiteral("分"), 60},
          {QStringLiteral("時間"), 3600},
          {QStringLiteral("日"), 86400},
          {QStringLiteral("週"), 7 * 86400},
          {QStringLiteral("平年 (365日)"), 365 * 86400},
          {QStringLiteral("ユリウス年"), Q("365.25") * 86400}},
         {"1"}},
        {QStringLiteral("速度"),
         {{QStringLiteral("メートル毎秒"), 1},
          {QStringLiteral("キロメートル毎秒"), 1000},
          {QStringLiteral("センチメートル毎秒"), Q("0.01")},
          {QStringLiteral("メートル毎分"), Q("1/60")},
          {QStringLiteral("キロメートル毎時"), Q("1000/3600")},
          {QStringLiteral("フィート毎秒"), foot},
          {QStringLiteral("マイル毎時"), mile / 3600},
          {QStringLiteral("ノット"), Q("1852/3600")},
          {QStringLiteral("光速"), 299792458},
          Reciprocal(u"分毎キロメートル", Q("1000/60")),
          Reciprocal(u"分毎マイル", mile / 60),
          Reciprocal(u"秒毎100メートル", 100)},
         {"1", "5"}},
        {QStringLiteral("圧力"),
         {{QStringLiteral("パスカル"), 1},
          {QStringLiteral("ヘクトパスカル"), 100},
          {QStringLiteral("キロパスカル"), 1000},
          {QStringLiteral("メガパスカル"), 1000000},
          {QStringLiteral("バール"), 100000},
          {QStringLiteral("ミリバール"), 100},
          {QStringLiteral("気圧"), 101325},
          {QStringLiteral("水銀柱ミリメートル"), Q("101325/760")},
          {QStringLiteral("トル"), Q("101325/760")},
          {QStringLiteral("重量キログラム毎平方センチメートル"), gn * 10000},
          {QStringLiteral("水柱メートル"), gn * 1000},
          {QStringLiteral("水柱ミリメートル"), gn},
          {QStringLiteral("重量ポンド毎平方インチ"), pound * gn / (inch * inch)}},
         {"1"}},
        {QStringLiteral("エネルギー"),
         {{QStringLiteral("ジュール"), 1},
          {QStringLiteral("キロジュール"), 1000},
          {QStringLiteral("メガジュール"), 1000000},
          {QStringLiteral("ワット時"), 3600},
          {QStringLiteral("キロワット時"), 3600000},
          {QStringLiteral("電子ボルト"), Q("1.602176634e-19")},
          {QStringLiteral("エルグ"), Q("1e-7")},
          {QStringLiteral("カロリー"), cal},
          {QStringLiteral("キロカロリー"), 1000 * cal},
          {QStringLiteral("重量キログラムメートル"), gn},
          {QStringLiteral("英熱量"), btu},
          {QStringLiteral("フィート重量ポンド"), foot * pound * gn}},
         {"1"}},
        {QStringLiteral("仕事率"),
         {{QStringLiteral("ワット"), 1},
          {QStringLiteral("ミリワット"), Q("1e-3")},
          {QStringLiteral("キロワット"), 1000},
          {QStringLiteral("メガワット"), 1000000},
          {QStringLiteral("エルグ毎秒"), Q("1e-7")},
          {QStringLiteral("キロカロリー毎時"), 1000 * cal / 3600},
          {QStringLiteral("重量キログラムメートル毎秒"), gn},
          {QStringLiteral("仏馬力"), Q("735.5")},
          {QStringLiteral("英馬力"), 550 * foot * pound * gn},
          {QStringLiteral("英熱量毎時"), btu / 3600}},
         {"1"}},
        {QStringLiteral("力"),
         {{QStringLiteral("ニュートン"), 1},
          {QStringLiteral("キロニュートン"), 1000},
          {QStringLiteral("ミリニュートン"), Q("1e-3")},
          {QStringLiteral("ダイン"), Q("1e-5")},
          {QStringLiteral("重量キログラム"), gn},
          {QStringLiteral("重量グラム"), gn / 1000},
          {QStringLiteral("重量トン"), gn * 1000},
          {QStringLiteral("重量ポンド"), pound * gn},
          {QStringLiteral("パウンダル"), pound * foot}},
         {"1"}},
        {QStringLiteral("角度"),
         {{QStringLiteral("ラジアン"), 180 / pi},
          {QStringLiteral("ミリラジアン"), mpq_class(180 / pi) / 1000},
          {QStringLiteral("度"), 1},
          {QStringLiteral("分"), Q("1/60")},
          {QStringLiteral("秒"), Q("1/3600")},
          {QStringLiteral("直角"), 90},
          {QStringLiteral("回転"), 360},
          {QStringLiteral("グラード"), Q("0.9")}},
         {"1"}},
        {QStringLiteral("データ量"),
         {{QStringLiteral("ビット"), 1},
          {QStringLiteral("キロビット"), Q("1e3")},
          {QStringLiteral("メガビット"), Q("1e6")},
          {QStringLiteral("ギガビット"), Q("1e9")},
          {QStringLiteral("バイト"), 8},
          {QStringLiteral("キロバイト"), 8 * Q("1e3")},
          {QStringLiteral("メガバイト"), 8 * Q("1e6")},
          {QStringLiteral("ギガバイト"), 8 * Q("1e9")},
          {QStringLiteral("テラバイト"), 8 * Q("1e12")},
          {QStringLiteral("ペタバイト"), 8 * Q("1e15")},
          {QStringLiteral("キビバイト"), 8 * 1024},
          {QStringLiteral("メビバイト"), mpq_class(8 * 1024) * 1024},
          {QStringLiteral("ギビバイト"), mpq_class(8 * 1024) * 1024 * 1024},
          {QStringLiteral("テビバイト"), mpq_class(8 * 1024) * 1024 * 1024 * 1024},
          {QStringLiteral("ペビバイト"), mpq_class(8 * 1024) * 1024 * 1024 * 1024 * 1024}},
         {"1"}},
        {QStringLiteral("密度"),
         {{QStringLiteral("キログラム毎立方メートル"), 1},
          {QStringLiteral("トン毎立方メートル"), 1000},
          {QStringLiteral("グラム毎立方センチメートル"), Q("1e-3") / Q("1e-6")},
          {QStringLiteral("グラム毎リットル"), Q("1e-3") / Q("1e-3")},
          {QStringLiteral("ミリグラム毎リットル"), Q("1e-6") / Q("1e-3")},
          {QStringLiteral("キログラム毎リットル"), 1 / Q("1e-3")},
          {QStringLiteral("グラム毎ミリリットル"), Q("1e-3") / Q("1e-6")},
          {QStringLiteral("ポンド毎立方フィート"), pound / (foot * foot * foot)},
          {QStringLiteral("ポンド毎立方インチ"), pound / (inch * inch * inch)},
          {QStringLiteral("ポンド毎米ガロン"), pound / usGallon}},
         {"1"}},
        {QStringLiteral("加速度"),
         {{QStringLiteral("メートル毎秒毎秒"), 1},
          {QStringLiteral("センチメートル毎秒毎秒"), Q("0.01")},
          {QStringLiteral("ガル"), Q("0.01")},
          {QStringLiteral("ミリガル"), Q("1e-5")},
          {QStringLiteral("標準重力加速度"), gn},
          {QStringLiteral("フィート毎秒毎秒"), foot},
          {QStringLiteral("キロメートル毎時毎秒"), Q("1000/3600")}},
         {"1"}},
        {QStringLiteral("トルク"),
         {{QStringLiteral("ニュートンメートル"), 1},
          {QStringLiteral("キロニュートンメートル"), 1000},
          {QStringLiteral("ニュートンセンチメートル"), Q("0.01")},
          {QStringLiteral("重量キログラムメートル"), gn},
          {QStringLiteral("重量キログラムセンチメートル"), gn / 100},
          {QStringLiteral("重量ポンドフィート"), pound * gn * foot},
          {QStringLiteral("重量ポンドインチ"), pound * gn * inch},
          {QStringLiteral("ダインセンチメートル"), Q("1e-5") * Q("0.01")}},
         {"1"}},
        {QStringLiteral("流量"),
         {{QStringLiteral("立方メートル毎秒"), 1},
          {QStringLiteral("立方メートル毎分"), Q("1/60")},
          {QStringLiteral("立方メートル毎時"), Q("1/3600")},
          {QStringLiteral("立方メートル毎日"), Q("1/86400")},
          {QStringLiteral("リットル毎秒"), Q("1e-3")},
          {QStringLiteral("リットル毎分"), Q("1e-3") / 60},
          {QStringLiteral("リットル毎時"), Q("1e-3") / 3600},
          {QStringLiteral("ミリリットル毎分"), Q("1e-6") / 60},
          {QStringLiteral("ミリリットル毎時"), Q("1e-6") / 3600},
          {QStringLiteral("米ガロン毎分"), usGallon / 60},
          {QStringLiteral("英ガロン毎分"), ukGallon / 60},
          {QStringLiteral("立方フィート毎分"), foot * foot * foot / 60}},
         {"1"}},
        {QStringLiteral("周波数"),
         {{QStringLiteral("ヘルツ"), 1},
          {QStringLiteral("キロヘルツ"), Q("1e3")},
          {QStringLiteral("メガヘルツ"), Q("1e6")},
          {QStringLiteral("ギガヘルツ"), Q("1e9")},
          {QStringLiteral("回転毎分"), Q("1/60")},
          {QStringLiteral("回転毎秒"), 1},
          {QStringLiteral("ラジアン毎秒"), 1 / (2 * pi)}},
         {"1"}},
        {QStringLiteral("照度"),
         {{QStringLiteral("ルクス"), 1},
          {QStringLiteral("キロルクス"), 1000},
          {QStringLiteral("フォト"), 1 / Q("1e-4")},
          {QStringLiteral("フートキャンドル"), 1 / (foot * foot)}},
         {"1"}},
        {QStringLiteral("燃費"),
         {{QStringLiteral("キロメートル毎リットル"), 1},
          {QStringLiteral("マイル毎米ガロン"), (mile / 1000) / (usGallon * 1000)},
          {QStringLiteral("マイル毎英ガロン"), (mile / 1000) / (ukGallon * 1000)},
          Reciprocal(u"リットル毎100キロメートル", 100),
          Reciprocal(u"米ガロン毎100マイル", 100 * (mile / 1000) / (usGallon * 1000))},
         {"1", "30"}},
        {QStringLiteral("線量"),
         {{QStringLiteral("シーベルト"), 1},
          {QStringLiteral("ミリシーベルト"), Q("1e-3")},
          {QStringLiteral("マイクロシーベルト"), Q("1e-6")},
          {QStringLiteral("ナノシーベルト"), Q("1e-9")},
          {QStringLiteral("レム"), Q("0.01")},
          {QStringLiteral("ミリレム"), Q("0.01") / 1000}},
         {"1", "100"}},
        {QStringLiteral("線量率"),
         {{QStringLiteral("シーベルト毎時"), Q("1/3600")},
          {QStringLiteral("ミリシーベルト毎時"), Q("1e-3") / 3600},
          {QStringLiteral("マイクロシーベルト毎時"), Q("1e-6") / 3600},
          {QStringLiteral("ナノシーベルト毎時"), Q("1e-9") / 3600},
          {QStringLiteral("ミリシーベルト毎年"), Q("1e-3") / (365 * 24 * 3600)},
          {QStringLiteral("レム毎時"), Q("0.01") / 3600},
          {QStringLiteral("ミリレム毎時"), Q("1e-5") / 3600}},
         {"1"}},
        {QStringLiteral("データ転送速度"),
         {{QStringLiteral("ビット毎秒"), 1},
          {QStringLiteral("キロビット毎秒"), Q("1e3")},
          {QStringLiteral("メガビット毎秒"), Q("1e6")},
          {QStringLiteral("ギガビット毎秒"), Q("1e9")},
          {QStringLiteral("テラビット毎秒"), Q("1e12")},
          {QStringLiteral("バイト毎秒"), 8},
          {QStringLiteral("キロバイト毎秒"), 8 * Q("1e3")},
          {QStringLiteral("メガバイト毎秒"), 8 * Q("1e6")},
          {QStringLiteral("ギガバイト毎秒"), 8 * Q("1e9")},
          {QStringLiteral("キビバイト毎秒"), 8 * 1024},
          {QStringLiteral("メビバイト毎秒"), mpq_class(8 * 1024) * 1024},
          {QStringLiteral("ギビバイト毎秒"), mpq_class(8 * 1024) * 1024 * 1024}},
         {"1"}},
        {QStringLiteral("割合"),
         {{QStringLiteral("比 (1 = 100%)"), 1},
          {QStringLiteral("パーセント"), Q("1/100")},
          {QStringLiteral("パーミル"), Q("1/1000")},
          {QStringLiteral("ppm"), Q("1e-6")},
          {QStringLiteral("ppb"), Q("1e-9")},
          {QStringLiteral("割"), Q("1/10")},
          {QStringLiteral("分"), Q("1/100")},
          {QStringLiteral("厘"), Q("1/1000")},
          {QStringLiteral("毛"), Q("1/10000")}},
         {"1", "3.5"}},
    };
}

// Conversions whose plain result is not the exact answer cut to 15 digits,
// with the result they show. Nothing else may differ.
struct KnownInexact {
    const char *series;
    const char *from;
    const char *to;
    const char *value;
    const char *shown;
};

const KnownInexact kKnownInexact[] = {
    // The exact answer lies a hair from a 15-digit rounding boundary: even
    // the double nearest to it rounds the other way.
    {"長さ", "キロメートル", "海里", "1", "0.539956803455723"},           // 0.53995680345572354...
    {"長さ", "光年", "ヤード", "1", "1.03463806568032E+16"},              // 10346380656803149.6...
    {"面積", "平方メートル", "平方マイル", "6", "2.31661295125467E-06"},  // 2.3166129512546750835...E-06
    {"面積", "畳", "平方フィート", "6", "104.625209250418"},              // 104.62520925041850083...
    {"面積", "団地間畳", "平方マイル", "1", "5.55930380711253E-07"},      // 5.5593038071125352...E-07
    {"体積", "立方センチメートル", "石", "1", "5.54352353186173E-06"},    // 5.5435235318617249...E-06
    {"体積", "ミリリットル", "石", "1", "5.54352353186173E-06"},
    {"体積", "立方フィート", "米液量オンス", "1", "957.506493506493"},  // 957.50649350649350649...
    {"体積", "バレル (石油)", "英液量オンス", "1", "5595.5705207068"},  // 5595.57052070680502...
    {"体積", "合", "米液量ガロン", "1", "0.0476541771383857"},          // 0.04765417713838575096...
    {"体積", "石", "米液量ガロン", "1", "47.6541771383857"},            // 47.6541771383857509...
    {"時間", "秒", "ユリウス年", "1", "3.16880878140289E-08"},          // 3.16880878140289502...E-08
    {"時間", "マイクロ秒", "ユリウス年", "1", "3.16880878140289E-14"},
    {"エネルギー", "重量キログラムメートル", "キロカロリー", "1", "0.00234384560229445"},  // ...2294455066...
    {"流量", "リットル毎時", "立方フィート毎分", "1", "0.000588577778691476"},             // ...7786914765041...
    {"流量", "ミリリットル毎時", "立方フィート毎分", "1", "5.88577778691476E-07"},
    {"仕事率", "仏馬力", "キロカロリー毎時", "1", "632.839388145316"},  // 632.83938814531548...
    // Through the base セルシウス度, ランキン度 and ケルビン meet by
    // subtracting and adding offsets near 491.67 and 273.15, and the last
    // digits cancel.
    {"温度", "ケルビン", "ランキン度", "1", "1.80000000000007"},
    {"温度", "ケルビン", "ランキン度", "-40", "-71.9999999999999"},
    {"温度", "ケルビン", "ランキン度", "0", "5.6843418860808E-14"},
    {"温度", "ケルビン", "ランキン度", "37", "66.6000000000001"},
    {"温度", "ランキン度", "ケルビン", "1", "0.555555555555486"},
    {"温度", "ランキン度", "ケルビン", "-40", "-22.2222222222223"},
    {"温度", "ランキン度", "ケルビン", "0", "-5.6843418860808E-14"},
    {"温度", "ランキン度", "ケルビン", "37", "20.5555555555555"},
    {"温度", "ランキン度", "ケルビン", "100", "55.5555555555555"},
};

UnitArray Load(const QString &series)
{
    UnitArray units;
    LoadUnitFile(QDir(UnitsDir()).filePath(series + QStringLiteral(".dat")), units);
    return units;
}

int IndexOf(const UnitArray &units, const QString &name)
{
    for (size_t i = 0; i < units.size(); ++i)
        if (units[i].UnitName == name)
            return int(i);
    return -1;
}

ConversionOutcome Convert(const QString &series, const UnitArray &units, int from, int to, const QString &value)
{
    ConversionRequest request;
    request.typedText = value;
    request.sourcePos = from;
    request.targetPos = to;
    request.numberBase = IsNumberBaseSeries(series);
    request.style = ResultStyle::Plain;
    return ConvertRequest(request, units);
}

TEST(ShippedUnits, TheFolderHoldsTheTwentyFiveSeries)
{
    QSet<QString> listed;
    for (const SeriesEntry &e : BuildSeriesList(UnitsDir()))
        listed.insert(e.name);
    QSet<QString> expected{QStringLiteral("進数")};
    for (const SeriesDef &s : Definitions())
        expected.insert(s.name);
    EXPECT_EQ(expected.size(), 25);
    EXPECT_EQ(listed, expected);
}

TEST(ShippedUnits, FilesAreCp932WithCrlfAndReadCleanly)
{
    QStringDecoder cp932("CP932");
    ASSERT_TRUE(cp932.isValid());
    for (const SeriesEntry &e : BuildSeriesList(UnitsDir())) {
        SCOPED_TRACE(e.fileName.toStdString());
        const QString path = QDir(UnitsDir()).filePath(e.fileName);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();

        // Every line ends in CR LF, the last one too.
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
        EXPECT_EQ(bytes.count('\r'), bytes.count("\r\n"));

        // The Japanese names are CP932, not UTF-8 that the reader would also take.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString asUtf8 = utf8.decode(bytes);
        Q_UNUSED(asUtf8);
        EXPECT_TRUE(utf8.hasError());
        const QString text = cp932.decode(bytes);
        EXPECT_FALSE(cp932.hasError());
        EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));

        const UnitFileContents contents = ReadUnitFile(path);
        EXPECT_TRUE(contents.opened);
        EXPECT_TRUE(contents.countRead);
        EXPECT_EQ(contents.recordsPresent, contents.declaredCount);
        // After the counted records come only lines of the extension,
        // each led by a quoted keyword that begins with "#".
        const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 1 + contents.recordsPresent);
        for (qsizetype i = 1 + contents.recordsPresent; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].startsWith(QStringLiteral("\"#"))) << lines[i].toStdString();
        EXPECT_FALSE(contents.trailingItems);
        EXPECT_TRUE(contents.issues.empty());
        for (const ExtensionLine &line : contents.extensionLines) {
            if (line.keyword != QStringView(kCompoundKeyword)) {
                EXPECT_GE(line.unit, 0) << "line " << line.line << " names no unit";
            }
        }
    }
}

TEST(ShippedUnits, UnitsAndFactorsFollowTheDefinitions)
{
    for (const SeriesDef &s : Definitions()) {
        SCOPED_TRACE(s.name.toStdString());
        const UnitArray units = Load(s.name);
        ASSERT_EQ(units.size(), s.units.size());
        for (size_t i = 0; i < units.size(); ++i)
            EXPECT_EQ(units[i].UnitName, s.units[i].name) << "unit " << i;

        // The base is the counted unit of factor 1 and offset 0.
        int base = -1;
        for (size_t i = 0; i < units.size() && base < 0; ++i)
            if (!units[i].Reciprocal && units[i].Factor == 1.0 && units[i].Offset == 0.0)
                base = int(i);
        ASSERT_GE(base, 0) << "no base unit";
        const UnitDef &b = s.units[size_t(base)];

        for (size_t i = 0; i < units.size(); ++i) {
            const UnitDef &u = s.units[i];
            SCOPED_TRACE(u.name.toStdString());
            // A base quantity q reads q * b.size + b.zero in the reference
            // unit; the unit shows it as q / factor + offset, or as K / q
            // when it is reciprocal (K = factor, no offset; b.zero is 0).
            EXPECT_EQ(units[i].Reciprocal, u.reciprocal);
            const mpq_class factor = u.size / b.size;
            const mpq_class offset = u.reciprocal ? mpq_class(0) : mpq_class((b.zero - u.zero) / u.size);
            EXPECT_TRUE(IsNearestDouble(units[i].Factor, factor)) << units[i].Factor << " for " << Str(factor);
            EXPECT_TRUE(IsNearestDouble(units[i].Offset, offset)) << units[i].Offset << " for " << Str(offset);
            EXPECT_EQ(units[i].SeparatorOK, 1);
            EXPECT_EQ(units[i].ExponentOK, 1);
        }
    }
}

TEST(ShippedUnits, EveryPairConvertsToTheExactAnswerOrIsAKnownException)
{
    std::map<std::tuple<QString, QString, QString, QString>, QString> known;
    for (const KnownInexact &k : kKnownInexact) {
        known[{QString::fromUtf8(k.series), QString::fromUtf8(k.from), QString::fromUtf8(k.to),
               QString::fromUtf8(k.value)}]
            = QString::fromUtf8(k.shown);
    }
    std::set<std::tuple<QString, QString, QString, QString>> met;
    int conversions = 0;

    for (const SeriesDef &s : Definitions()) {
        const UnitArray units = Load(s.name);
        ASSERT_EQ(units.size(), s.units.size()) << s.name.toStdString();
        for (const char *valueText : s.values) {
            const QString value = QString::fromLatin1(valueText);
            const mpq_class v = Q(valueText);
            for (size_t i = 0; i < units.size(); ++i) {
                for (size_t j = 0; j < units.size(); ++j) {
                    if (i == j)
                        continue;
                    const UnitDef &from = s.units[i];
                    const UnitDef &to = s.units[j];
                    const ConversionOutcome out = Convert(s.name, units, int(i), int(j), value);
                    ++conversions;
                    const std::string where = s.name.toStdString() + ": " + valueText + " " + from.name.toStdString()
                        + " -> " + to.name.toStdString();
                    ASSERT_FALSE(out.failed) << where;
                    const std::optional<mpq_class> shown = ParseExact(out.resultText);
                    ASSERT_TRUE(shown.has_value()) << where << ": " << out.resultText.toStdString();

                    const mpq_class exact = FromReference(ToReference(v, from), to);
                    const auto key = std::make_tuple(s.name, from.name, to.name, value);
                    const auto listed = known.find(key);
                    if (listed == known.end()) {
                        EXPECT_EQ(*shown, Round15(exact))
                            << where << ": shows " << out.resultText.toStdString() << ", exact " << Str(exact);
                    } else {
                        met.insert(key);
                        EXPECT_EQ(*shown, *ParseExact(listed->second))
                            << where << ": listed as showing " << listed->second.toStdString() << " but shows "
                            << out.resultText.toStdString();
                        EXPECT_NE(*shown, Round15(exact)) << where << ": now exact, drop it from the list";
                    }
                }
            }
        }
    }
    EXPECT_EQ(met.size(), known.size()) << "a listed conversion was not met";
    EXPECT_GT(conversions, 2000);
}

TEST(ShippedUnits, CelsiusFahrenheitAndKelvinAreNeverAmongTheExceptions)
{
    const QSet<QString> scales{QStringLiteral("セルシウス度"), QStringLiteral("ファーレンハイト度"),
                               QStringLiteral("ケルビン")};
    for (const KnownInexact &k : kKnownInexact) {
        EXPECT_FALSE(scales.contains(QString::fromUtf8(k.from)) && scales.contains(QString::fromUtf8(k.to)))
            << k.from << " -> " << k.to;
    }
}

TEST(ShippedUnits, NumberBaseSeriesListsRadicesTwoToThirtySixAndConvertsBetweenThem)
{
    const QString series = QStringLiteral("進数");
    const UnitArray units = Load(series);
    ASSERT_EQ(units.size(), 35u);
    for (size_t i = 0; i < units.size(); ++i) {
        const int radix = int(i) + 2;
        EXPECT_EQ(units[i].UnitName, QStringLiteral("%1進数").arg(radix));
        EXPECT_EQ(units[i].Factor, double(radix));
        EXPECT_EQ(units[i].Offset, 0.0);
        EXPECT_EQ(units[i].SeparatorOK, 0);
        EXPECT_EQ(units[i].ExponentOK, 0);
    }
    const mpz_class value("9007199254740991", 10);  // 2^53 - 1, the largest whole double without gaps
    for (int from = 2; from <= 36; ++from) {
        for (int to = 2; to <= 36; to += (from == 10 ? 1 : 7)) {
            if (from == to)
                continue;
            const QString typed = QString::fromStdString(value.get_str(from));  // lower case
            const ConversionOutcome out = Convert(series, units, from - 2, to - 2, typed);
            ASSERT_FALSE(out.failed);
            EXPECT_EQ(out.resultText, QString::fromStdString(value.get_str(to)).toUpper()) << from << " -> " << to;
        }
    }
}

struct SpotCheck {
    const char *series;
    const char *value;
    const char *from;
    const char *to;
    const char *result;
};

const SpotCheck kSpotChecks[] = {
    {"長さ", "1", "インチ", "センチメートル", "2.54"},
    {"長さ", "1", "マイル", "キロメートル", "1.609344"},
    {"長さ", "1", "尺", "メートル", "0.303030303030303"},
    {"長さ", "1", "里", "キロメートル", "3.92727272727273"},
    {"面積", "1", "坪", "平方メートル", "3.30578512396694"},  // 400/121
    {"面積", "1", "町", "ヘクタール", "0.991735537190083"},
    {"面積", "1", "エーカー", "平方メートル", "4046.8564224"},
    {"体積", "1", "升", "リットル", "1.80390683696469"},  // 2401/1331
    {"体積", "1", "米液量ガロン", "リットル", "3.785411784"},
    {"体積", "1", "英ガロン", "リットル", "4.54609"},
    {"質量", "1", "ポンド", "キログラム", "0.45359237"},
    {"質量", "1", "貫", "キログラム", "3.75"},
    {"質量", "1", "斤", "グラム", "600"},
    {"温度", "0", "セルシウス度", "ファーレンハイト度", "32"},
    {"温度", "0", "セルシウス度", "ケルビン", "273.15"},
    {"温度", "-40", "セルシウス度", "ファーレンハイト度", "-40"},
    {"温度", "-40", "ファーレンハイト度", "セルシウス度", "-40"},
    {"温度", "32", "ファーレンハイト度", "ケルビン", "273.15"},
    {"温度", "0", "ケルビン", "ファーレンハイト度", "-459.67"},
    {"温度", "100", "セルシウス度", "レオミュール度", "80"},
    {"時間", "1", "日", "秒", "86400"},
    {"時間", "1", "ユリウス年", "日", "365.25"},
    {"速度", "1", "ノット", "キロメートル毎時", "1.852"},
    {"速度", "100", "キロメートル毎時", "メートル毎秒", "27.7777777777778"},
    {"圧力", "1", "気圧", "ヘクトパスカル", "1013.25"},
    {"圧力", "760", "水銀柱ミリメートル", "パスカル", "101325"},
    {"エネルギー", "1", "カロリー", "ジュール", "4.184"},
    {"エネルギー", "1", "キロワット時", "メガジュール", "3.6"},
    {"仕事率", "1", "仏馬力", "ワット", "735.5"},
    {"仕事率", "1", "英馬力", "ワット", "745.69987158227"},
    {"力", "1", "重量キログラム", "ニュートン", "9.80665"},
    {"角度", "180", "度", "ラジアン", "3.14159265358979"},
    {"角度", "1", "回転", "グラード", "400"},
    {"データ量", "1", "キビバイト", "バイト", "1024"},
    {"データ量", "1", "キロバイト", "ビット", "8000"},
    {"データ量", "1", "ギビバイト", "ギガバイト", "1.073741824"},
    {"面積", "6", "畳", "平方メートル", "9.72"},
    {"面積", "6", "江戸間畳", "平方メートル", "9.26721763085399"},  // 10092/1089
    {"面積", "6", "京間畳", "平方メートル", "10.9338842975207"},    // 11907/1089
    {"面積", "6", "中京間畳", "平方メートル", "9.91735537190083"},  // 1200/121
    {"面積", "6", "団地間畳", "平方メートル", "8.63911845730028"},  // 9408/1089
    {"面積", "2", "中京間畳", "坪", "1"},
    {"圧力", "1", "水柱ミリメートル", "パスカル", "9.80665"},
    {"角度", "1", "直角", "度", "90"},
    {"加速度", "1", "標準重力加速度", "ガル", "980.665"},
    {"トルク", "1", "重量キログラムメートル", "ニュートンメートル", "9.80665"},
    {"トルク", "1", "重量ポンドフィート", "ニュートンメートル", "1.3558179483314"},
    {"周波数", "3000", "回転毎分", "ヘルツ", "50"},
    {"照度", "1", "フートキャンドル", "ルクス", "10.7639104167097"},
    {"燃費", "30", "マイル毎米ガロン", "キロメートル毎リットル", "12.7543112229082"},
    {"燃費", "30", "マイル毎米ガロン", "リットル毎100キロメートル", "7.84048611111111"},
    {"速度", "5", "分毎キロメートル", "キロメートル毎時", "12"},
    {"線量", "100", "マイクロシーベルト", "ミリレム", "10"},
    {"線量率", "1", "ミリシーベルト毎年", "マイクロシーベルト毎時", "0.114155251141553"},  // 1000/8760
    {"データ転送速度", "100", "メガビット毎秒", "メガバイト毎秒", "12.5"},
    {"割合", "3.5", "割", "パーセント", "35"},
    {"割合", "35", "分", "割", "3.5"},
    {"進数", "ff", "16進数", "2進数", "11111111"},
    {"進数", "z", "36進数", "10進数", "35"},
};

TEST(ShippedUnits, SpotChecks)
{
    for (const SpotCheck &c : kSpotChecks) {
        const QString series = QString::fromUtf8(c.series);
        const UnitArray units = Load(series);
        const int from = IndexOf(units, QString::fromUtf8(c.from));
        const int to = IndexOf(units, QString::fromUtf8(c.to));
        ASSERT_GE(from, 0) << c.from;
        ASSERT_GE(to, 0) << c.to;
        const ConversionOutcome out = Convert(series, units, from, to, QString::fromUtf8(c.value));
        EXPECT_FALSE(out.failed);
        EXPECT_EQ(out.resultText.toStdString(), c.result) << c.value << " " << c.from << " -> " << c.to;
    }
}

// The values in several units that ship: series, name, units largest first.
struct CompoundDef {
    const char *series;
    const char *name;
    std::vector<const char *> units;
};

const CompoundDef kCompounds[] = {
    {"長さ", "尺・寸", {"尺", "寸"}},
    {"長さ", "間・尺・寸", {"間", "尺", "寸"}},
    {"長さ", "フィート・インチ", {"フィート", "インチ"}},
    {"長さ", "ヤード・フィート・インチ", {"ヤード", "フィート", "インチ"}},
    {"長さ", "マイル・ヤード", {"マイル", "ヤード"}},
    {"時間", "時間・分・秒", {"時間", "分", "秒"}},
    {"時間", "日・時間・分", {"日", "時間", "分"}},
    {"角度", "度・分・秒", {"度", "分", "秒"}},
    {"質量", "ポンド・オンス", {"ポンド", "オンス"}},
    {"質量", "貫・匁", {"貫", "匁"}},
};

// A value converted through a shipped compound: series, value, source,
// compound name, result text at 15 digits (the last part keeps the digits
// the whole value has: 2187.22659667542 yd is 1 マイル 427.22659667542 ヤード).
const SpotCheck kCompoundChecks[] = {
    {"長さ", "1.6", "メートル", "尺・寸", "5 尺 2.8 寸"},
    {"長さ", "0.5", "メートル", "尺・寸", "1 尺 6.5 寸"},
    {"長さ", "180", "センチメートル", "フィート・インチ", "5 フィート 10.8661417322835 インチ"},
    {"長さ", "2", "キロメートル", "マイル・ヤード", "1 マイル 427.22659667542 ヤード"},
    {"時間", "3661", "秒", "時間・分・秒", "1 時間 1 分 1 秒"},
    {"時間", "-90", "分", "日・時間・分", "-1 時間 30 分"},
    {"質量", "1", "キログラム", "貫・匁", "266.666666666667 匁"},
};

TEST(ShippedUnits, ValuesInSeveralUnitsFollowTheDefinitions)
{
    std::map<QString, std::vector<const CompoundDef *>> bySeries;
    for (const CompoundDef &c : kCompounds)
        bySeries[QString::fromUtf8(c.series)].push_back(&c);
    for (const SeriesDef &s : Definitions()) {
        SCOPED_TRACE(s.name.toStdString());
        UnitArray units;
        CompoundArray compounds;
        LoadUnitFile(QDir(UnitsDir()).filePath(s.name + QStringLiteral(".dat")), units, compounds);
        const std::vector<const CompoundDef *> &expected = bySeries[s.name];
        ASSERT_EQ(compounds.size(), expected.size());
        for (size_t i = 0; i < compounds.size(); ++i) {
            EXPECT_EQ(compounds[i].name, QString::fromUtf8(expected[i]->name));
            ASSERT_EQ(compounds[i].parts.size(), expected[i]->units.size());
            for (size_t k = 0; k < compounds[i].parts.size(); ++k)
                EXPECT_EQ(units[size_t(compounds[i].parts[k])].UnitName, QString::fromUtf8(expected[i]->units[k]));
        }
    }
    for (const SpotCheck &c : kCompoundChecks) {
        SCOPED_TRACE(std::string(c.value) + " " + c.from + " -> " + c.to);
        UnitArray units;
        CompoundArray compounds;
        LoadUnitFile(QDir(UnitsDir()).filePath(QString::fromUtf8(c.series) + QStringLiteral(".dat")), units, compounds);
        ConversionRequest request;
        request.typedText = QString::fromUtf8(c.value);
        request.sourcePos = IndexOf(units, QString::fromUtf8(c.from));
        for (const CompoundUnit &compound : compounds) {
            if (compound.name == QString::fromUtf8(c.to))
                request.targetParts = compound.parts;
        }
        ASSERT_FALSE(request.targetParts.empty());
        const ConversionOutcome out = ConvertRequest(request, units);
        ASSERT_FALSE(out.failed);
        EXPECT_EQ(out.resultText.toStdString(), c.result);
    }
}

// A swap: value in A into B, then the result back from B into A, through
// the session as the window drives it. With the kept result behind the
// shown text the value always comes back; the shown text alone loses the
// last digit of many (the figure is printed beside the one that counts).
TEST(ShippedUnits, TwoThousandRandomSwapsGiveBackTheValue)
{
    std::vector<SeriesEntry> linear;
    for (const SeriesEntry &e : BuildSeriesList(UnitsDir()))
        if (!e.numberBase)
            linear.push_back(e);
    ASSERT_FALSE(linear.empty());
    std::mt19937_64 random(20261210);
    const auto pick = [&random](size_t n) { return size_t(random() % n); };
    for (const int sig : {15, 3}) {
        SCOPED_TRACE(sig);
        int changed = 0, changedByText = 0, inTemperature = 0, changedInTemperature = 0;
        const int kSwaps = 2000;
        ConversionSession session;
        session.SetResultStyle(0, DefaultPlaceNum, sig);
        for (int i = 0; i < kSwaps; ++i) {
            const SeriesEntry &entry = linear[pick(linear.size())];
            session.LoadSeries(UnitsDir() + u'/', entry);
            const int count = int(session.units().size());
            const int a = int(pick(size_t(count)));
            const int b = int(pick(size_t(count)));
            // A value as people type it: up to six digits, a point anywhere.
            const bool temperature = entry.name == QStringLiteral("温度");
            const long long digits = 1 + (long long)pick(999999);
            const int shift = int(pick(10)) - 4;
            QString typed = PlainText(double(digits) * std::pow(10.0, shift));
            if (temperature && pick(2) == 0)
                typed.prepend(u'-');
            const SessionOutcome there = session.ConvertValue(typed, a, b);
            ASSERT_FALSE(there.failed) << typed.toStdString();
            const QString shown = ValueTextOfResult(*there.lastShown, false);
            const QString expected = PlainText(ReadNumber(typed), sig);
            const SessionOutcome back = session.ConvertValue(shown, b, a, there.lastValue);
            const SessionOutcome backByText = session.ConvertValue(shown, b, a);
            ASSERT_FALSE(back.failed);
            const bool lost = *back.lastShown != expected;
            const bool lostByText = backByText.failed || *backByText.lastShown != expected;
            changed += lost;
            changedByText += lostByText;
            inTemperature += temperature;
            changedInTemperature += temperature && lostByText;
            EXPECT_FALSE(lost) << typed.toStdString() << " " << entry.name.toStdString() << " " << a << " -> " << b
                               << " -> " << back.lastShown->toStdString();
        }
        std::cout << sig << " digits: round trips " << kSwaps << ", changed with the kept value " << changed
                  << ", changed from the shown text alone " << changedByText << " (" << 100.0 * changedByText / kSwaps
                  << " %; in 温度 " << changedInTemperature << " of " << inTemperature << ")\n";
        EXPECT_EQ(changed, 0);
    }
}

// Every name a unit is found by, its own and its aliases, belongs to that
// unit alone within its series.
TEST(ShippedUnits, EveryNameFindsOneUnitOfItsSeries)
{
    int aliases = 0;
    for (const SeriesEntry &e : BuildSeriesList(UnitsDir())) {
        const UnitArray units = Load(e.name);
        std::map<QString, QString> owner;
        for (const UnitRecord &u : units) {
            QStringList names{u.UnitName};
            names += u.Aliases;
            aliases += int(u.Aliases.size());
            for (const QString &name : names) {
                const auto [at, added] = owner.emplace(name, u.UnitName);
                EXPECT_TRUE(added) << e.name.toStdString() << ": " << name.toStdString() << " names "
                                   << at->second.toStdString() << " and " << u.UnitName.toStdString();
            }
        }
    }
    EXPECT_GT(aliases, 1300);
}

struct AliasCheck {
    const char *series;
    const char *alias;
    const char *unit;
};

// Symbols, readings, romaji and English names, among them characters that
// CP932 holds apart from kana and kanji (℃, ㎡, μ, ′, ‰, full-width %). An
// English name of several units (the gallon: US or imperial) names none,
// shown by an empty unit.
const AliasCheck kAliasChecks[] = {
    {"面積", "m2", "平方メートル"},
    {"面積", "㎡", "平方メートル"},
    {"面積", "つぼ", "坪"},
    {"面積", "tatami", "畳"},
    {"長さ", "μm", "マイクロメートル"},
    {"質量", "monme", "匁"},
    {"長さ", "meetoru", "メートル"},  // a katakana name has its romaji too
    {"温度", "℃", "セルシウス度"},
    {"角度", "′", "分"},
    {"燃費", "mpg", "マイル毎米ガロン"},
    {"仕事率", "MW", "メガワット"},
    {"線量率", "μSv/h", "マイクロシーベルト毎時"},
    {"周波数", "毎分回転数", "回転毎分"},
    {"割合", "％", "パーセント"},
    {"速度", "knots", "ノット"},                    // plural
    {"流量", "liters per minute", "リットル毎分"},  // American spelling
    {"トルク", "pound-feet", "重量ポンドフィート"},
    {"体積", "US tbsp", "米大さじ"},
    {"体積", "gallon", ""},
};

TEST(ShippedUnits, AliasesFindTheirUnit)
{
    for (const AliasCheck &c : kAliasChecks) {
        const UnitArray units = Load(QString::fromUtf8(c.series));
        const int at = FindUnitByName(units, QString::fromUtf8(c.alias));
        if (*c.unit == '\0') {
            EXPECT_LT(at, 0) << c.series << ": " << c.alias;
            continue;
        }
        ASSERT_GE(at, 0) << c.series << ": " << c.alias;
        EXPECT_EQ(units[size_t(at)].UnitName.toStdString(), c.unit) << c.alias;
    }
}

}  // namespace
