#!/usr/bin/env python3
"""Writes the series files of units/ from the exact definitions below.

Every factor and offset is computed as an exact fraction from the unit's
definition and written with 17 significant digits, checked to read back as the
double nearest the exact value. Files are CP932 with CRLF line ends.

    tools/make_units.py [--out DIR]     write the files (default: units/)
    tools/make_units.py --report        simulate every pair through the
                                        conversion formula in double
                                        arithmetic and list those whose
                                        15-digit result is not the exact one,
                                        for each possible base unit

The test tests/units/ShippedUnitsTest.cpp holds its own copy of the
definitions and checks the files and the conversions against them.
"""

import argparse
import os
import sys
from decimal import Decimal, getcontext
from fractions import Fraction as F

getcontext().prec = 80

# pi to 60 decimals; only the angle units need it.
PI = F(Decimal("3.141592653589793238462643383279502884197169399375105820974944"))


def D(text):
    """An exact decimal."""
    return F(Decimal(text))


# Lengths in metres.
INCH = D("0.0254")
FOOT = 12 * INCH
YARD = 3 * FOOT
MILE = 1760 * YARD
SHAKU = F(10, 33)                      # 尺, Measurement Act
# Masses in kilograms.
POUND = D("0.45359237")
KAN = F(15, 4)                         # 貫
MONME = KAN / 1000                     # 匁
# Volumes in cubic metres.
SHO = F(2401, 1331) / 1000             # 升
US_GALLON = 231 * INCH ** 3
UK_GALLON = D("0.00454609")
# Areas in square metres.
TSUBO = F(400, 121)                    # 坪
JO = D("1.62")                         # 畳 of real-estate listings
# Acceleration of free fall, for the gravitational units.
GN = D("9.80665")
CALORIE = D("4.184")
BTU = D("1055.05585262")               # international table
KGF = GN
LBF = POUND * GN
ATM = 101325
KM_PER_L = F(1000) / D("0.001")        # kilometre per litre in m/m³

# Each series: name, base unit name, list of (unit, factor in SI, offset,
# grouping flag, exponent flag). The factor here is the unit's size in the
# series' SI unit (or in the bit, or in degrees for angles); the files express
# it in the chosen base unit. The offset is the unit's reading at the base
# unit's zero.
L = 1  # both flags on

SERIES = [
    ("長さ", "センチメートル", [
        ("メートル", 1),
        ("キロメートル", 1000),
        ("センチメートル", D("0.01")),
        ("ミリメートル", D("0.001")),
        ("マイクロメートル", D("1e-6")),
        ("ナノメートル", D("1e-9")),
        ("インチ", INCH),
        ("フィート", FOOT),
        ("ヤード", YARD),
        ("マイル", MILE),
        ("海里", 1852),
        ("オングストローム", D("1e-10")),
        ("天文単位", 149597870700),
        ("光年", 9460730472580800),
        ("厘", SHAKU / 1000),
        ("分", SHAKU / 100),
        ("寸", SHAKU / 10),
        ("尺", SHAKU),
        ("間", 6 * SHAKU),
        ("丈", 10 * SHAKU),
        ("町", 360 * SHAKU),
        ("里", 12960 * SHAKU),
    ]),
    ("面積", "アール", [
        ("平方メートル", 1),
        ("平方キロメートル", 1000000),
        ("平方センチメートル", D("0.0001")),
        ("平方ミリメートル", D("0.000001")),
        ("アール", 100),
        ("ヘクタール", 10000),
        ("平方インチ", INCH ** 2),
        ("平方フィート", FOOT ** 2),
        ("平方ヤード", YARD ** 2),
        ("エーカー", 4840 * YARD ** 2),
        ("平方マイル", MILE ** 2),
        ("坪", TSUBO),
        ("畳", JO),
        ("江戸間畳", D("5.8") * D("2.9") * SHAKU ** 2),
        ("京間畳", D("6.3") * D("3.15") * SHAKU ** 2),
        ("中京間畳", 6 * 3 * SHAKU ** 2),
        ("団地間畳", D("5.6") * D("2.8") * SHAKU ** 2),
        ("畝", 30 * TSUBO),
        ("反", 300 * TSUBO),
        ("町", 3000 * TSUBO),
    ]),
    ("体積", "英ガロン", [
        ("立方メートル", 1),
        ("立方センチメートル", D("1e-6")),
        ("立方ミリメートル", D("1e-9")),
        ("リットル", D("0.001")),
        ("デシリットル", D("0.0001")),
        ("ミリリットル", D("1e-6")),
        ("立方インチ", INCH ** 3),
        ("立方フィート", FOOT ** 3),
        ("立方ヤード", YARD ** 3),
        ("米液量ガロン", US_GALLON),
        ("米液量クォート", US_GALLON / 4),
        ("米液量パイント", US_GALLON / 8),
        ("米液量オンス", US_GALLON / 128),
        ("英ガロン", UK_GALLON),
        ("英クォート", UK_GALLON / 4),
        ("英パイント", UK_GALLON / 8),
        ("英液量オンス", UK_GALLON / 160),
        ("バレル (石油)", 42 * US_GALLON),
        ("勺", SHO / 100),
        ("合", SHO / 10),
        ("升", SHO),
        ("斗", 10 * SHO),
        ("石", 100 * SHO),
    ]),
    ("質量", "キログラム", [
        ("キログラム", 1),
        ("グラム", D("0.001")),
        ("ミリグラム", D("1e-6")),
        ("マイクログラム", D("1e-9")),
        ("トン", 1000),
        ("カラット", D("0.0002")),
        ("ポンド", POUND),
        ("オンス", POUND / 16),
        ("グレーン", POUND / 7000),
        ("ストーン", 14 * POUND),
        ("米トン", 2000 * POUND),
        ("英トン", 2240 * POUND),
        ("トロイオンス", 480 * POUND / 7000),
        ("分", MONME / 10),
        ("匁", MONME),
        ("斤", 160 * MONME),
        ("貫", KAN),
    ]),
    ("温度", "セルシウス度", [
        # factor: size of one degree in kelvins; offset: reading at 0 ℃
        ("ケルビン", 1, D("273.15")),
        ("セルシウス度", 1, 0),
        ("ファーレンハイト度", F(5, 9), 32),
        ("ランキン度", F(5, 9), D("491.67")),
        ("レオミュール度", F(5, 4), 0),
    ]),
    ("時間", "分", [
        ("秒", 1),
        ("ミリ秒", D("0.001")),
        ("マイクロ秒", D("1e-6")),
        ("ナノ秒", D("1e-9")),
        ("分", 60),
        ("時間", 3600),
        ("日", 86400),
        ("週", 604800),
        ("平年 (365日)", 365 * 86400),
        ("ユリウス年", D("365.25") * 86400),
    ]),
    ("速度", "センチメートル毎秒", [
        ("メートル毎秒", 1),
        ("キロメートル毎秒", 1000),
        ("センチメートル毎秒", D("0.01")),
        ("メートル毎分", F(1, 60)),
        ("キロメートル毎時", F(1000, 3600)),
        ("フィート毎秒", FOOT),
        ("マイル毎時", MILE / 3600),
        ("ノット", F(1852, 3600)),
        ("光速", 299792458),
    ]),
    ("圧力", "パスカル", [
        ("パスカル", 1),
        ("ヘクトパスカル", 100),
        ("キロパスカル", 1000),
        ("メガパスカル", 1000000),
        ("バール", 100000),
        ("ミリバール", 100),
        ("気圧", ATM),
        ("水銀柱ミリメートル", F(ATM, 760)),
        ("トル", F(ATM, 760)),
        ("重量キログラム毎平方センチメートル", KGF / D("0.0001")),
        ("水柱メートル", 1000 * GN),
        ("水柱ミリメートル", GN),
        ("重量ポンド毎平方インチ", LBF / INCH ** 2),
    ]),
    ("エネルギー", "キロジュール", [
        ("ジュール", 1),
        ("キロジュール", 1000),
        ("メガジュール", 1000000),
        ("ワット時", 3600),
        ("キロワット時", 3600000),
        ("電子ボルト", D("1.602176634e-19")),
        ("エルグ", D("1e-7")),
        ("カロリー", CALORIE),
        ("キロカロリー", 1000 * CALORIE),
        ("重量キログラムメートル", KGF),
        ("英熱量", BTU),
        ("フィート重量ポンド", FOOT * LBF),
    ]),
    ("仕事率", "メガワット", [
        ("ワット", 1),
        ("ミリワット", D("0.001")),
        ("キロワット", 1000),
        ("メガワット", 1000000),
        ("エルグ毎秒", D("1e-7")),
        ("キロカロリー毎時", 1000 * CALORIE / 3600),
        ("重量キログラムメートル毎秒", KGF),
        ("仏馬力", D("735.5")),          # Measurement Act
        ("英馬力", 550 * FOOT * LBF),
        ("英熱量毎時", BTU / 3600),
    ]),
    ("力", "キロニュートン", [
        ("ニュートン", 1),
        ("キロニュートン", 1000),
        ("ミリニュートン", D("0.001")),
        ("ダイン", D("0.00001")),
        ("重量キログラム", KGF),
        ("重量グラム", KGF / 1000),
        ("重量トン", 1000 * KGF),
        ("重量ポンド", LBF),
        ("パウンダル", POUND * FOOT),
    ]),
    ("角度", "度", [
        # sizes in degrees
        ("ラジアン", 180 / PI),
        ("ミリラジアン", F(180, 1000) / PI),
        ("度", 1),
        ("分", F(1, 60)),
        ("秒", F(1, 3600)),
        ("直角", 90),
        ("回転", 360),
        ("グラード", D("0.9")),
    ]),
    ("データ量", "ビット", [
        ("ビット", 1),
        ("キロビット", 1000),
        ("メガビット", 10 ** 6),
        ("ギガビット", 10 ** 9),
        ("バイト", 8),
        ("キロバイト", 8 * 10 ** 3),
        ("メガバイト", 8 * 10 ** 6),
        ("ギガバイト", 8 * 10 ** 9),
        ("テラバイト", 8 * 10 ** 12),
        ("ペタバイト", 8 * 10 ** 15),
        ("キビバイト", 8 * 2 ** 10),
        ("メビバイト", 8 * 2 ** 20),
        ("ギビバイト", 8 * 2 ** 30),
        ("テビバイト", 8 * 2 ** 40),
        ("ペビバイト", 8 * 2 ** 50),
    ]),
    ("密度", "キログラム毎立方メートル", [
        ("キログラム毎立方メートル", 1),
        ("グラム毎立方センチメートル", 1000),
        ("グラム毎リットル", 1),
        ("キログラム毎リットル", 1000),
        ("グラム毎ミリリットル", 1000),
        ("ポンド毎立方フィート", POUND / FOOT ** 3),
        ("ポンド毎立方インチ", POUND / INCH ** 3),
        ("ポンド毎米ガロン", POUND / US_GALLON),
    ]),
    ("加速度", "メートル毎秒毎秒", [
        ("メートル毎秒毎秒", 1),
        ("センチメートル毎秒毎秒", D("0.01")),
        ("ガル", D("0.01")),
        ("ミリガル", D("0.00001")),
        ("標準重力加速度", GN),
        ("フィート毎秒毎秒", FOOT),
        ("キロメートル毎時毎秒", F(1000, 3600)),
    ]),
    ("トルク", "ニュートンメートル", [
        ("ニュートンメートル", 1),
        ("キロニュートンメートル", 1000),
        ("ニュートンセンチメートル", D("0.01")),
        ("重量キログラムメートル", KGF),
        ("重量キログラムセンチメートル", KGF / 100),
        ("重量ポンドフィート", LBF * FOOT),
        ("重量ポンドインチ", LBF * INCH),
        ("ダインセンチメートル", D("1e-7")),
    ]),
    # Through リットル毎秒 only リットル毎時 -> 立方フィート毎分 misses its
    # last digit; through 立方メートル毎秒 英ガロン毎分 -> 米ガロン毎分 does too.
    ("流量", "リットル毎秒", [
        ("立方メートル毎秒", 1),
        ("立方メートル毎分", F(1, 60)),
        ("立方メートル毎時", F(1, 3600)),
        ("リットル毎秒", D("0.001")),
        ("リットル毎分", D("0.001") / 60),
        ("リットル毎時", D("0.001") / 3600),
        ("米ガロン毎分", US_GALLON / 60),
        ("英ガロン毎分", UK_GALLON / 60),
        ("立方フィート毎分", FOOT ** 3 / 60),
    ]),
    ("周波数", "ヘルツ", [
        # one revolution is one cycle
        ("ヘルツ", 1),
        ("キロヘルツ", 1000),
        ("メガヘルツ", 10 ** 6),
        ("ギガヘルツ", 10 ** 9),
        ("毎分回転数", F(1, 60)),
        ("回転毎秒", 1),
        ("ラジアン毎秒", 1 / (2 * PI)),
    ]),
    ("照度", "ルクス", [
        ("ルクス", 1),
        ("キロルクス", 1000),
        ("フォト", 10000),               # lumen per square centimetre
        ("フートキャンドル", 1 / FOOT ** 2),  # lumen per square foot
    ]),
    ("燃費", "マイル毎米ガロン", [
        # sizes in kilometres per litre; through マイル毎米ガロン every pair,
        # 30 mpg among them, comes out exact, which no metric base achieves
        ("キロメートル毎リットル", 1),
        ("メートル毎リットル", D("0.001")),
        ("マイル毎米ガロン", MILE / US_GALLON / KM_PER_L),
        ("マイル毎英ガロン", MILE / UK_GALLON / KM_PER_L),
    ]),
    ("線量", "シーベルト", [
        ("シーベルト", 1),
        ("ミリシーベルト", D("0.001")),
        ("マイクロシーベルト", D("1e-6")),
        ("ナノシーベルト", D("1e-9")),
        ("レム", D("0.01")),
        ("ミリレム", D("0.00001")),
    ]),
    ("データ転送速度", "ビット毎秒", [
        # decimal prefixes, as line speeds are sold
        ("ビット毎秒", 1),
        ("キロビット毎秒", 1000),
        ("メガビット毎秒", 10 ** 6),
        ("ギガビット毎秒", 10 ** 9),
        ("バイト毎秒", 8),
        ("キロバイト毎秒", 8 * 10 ** 3),
        ("メガバイト毎秒", 8 * 10 ** 6),
        ("ギガバイト毎秒", 8 * 10 ** 9),
    ]),
    ("割合", "比", [
        ("比", 1),
        ("パーセント", D("0.01")),
        ("パーミル", D("0.001")),
        ("ppm", D("1e-6")),
        ("ppb", D("1e-9")),
        ("割", D("0.1")),
        ("分", D("0.01")),
        ("厘", D("0.001")),
        ("毛", D("0.0001")),
    ]),
]

# Values converted between every pair when simulating: 1, and where a series
# has a reading that users type every day (a 6-畳 room, 30 mpg, 100 µSv,
# 3 割 5 分), that one too.
TEST_VALUES = {
    "温度": ["1", "-40", "0", "37", "100"],
    "面積": ["1", "6"],
    "燃費": ["1", "30"],
    "線量": ["1", "100"],
    "割合": ["1", "3.5"],
}


def units_of(series):
    """(name, factor, offset) in the series' own base unit."""
    name, base, rows = series
    rows = [(r[0], F(r[1]), F(r[2]) if len(r) > 2 else F(0)) for r in rows]
    size = {r[0]: r[1] for r in rows}
    zero = {r[0]: r[2] for r in rows}
    b = size[base]
    assert zero[base] == 0
    out = []
    for uname, fac, off in rows:
        # A reading v of this unit is (v - off) * fac in SI, i.e.
        # (v - off) * fac / b base units.
        out.append((uname, fac / b, off))
    return out


def fmt17(x):
    """x written with 17 significant digits (trailing zeros dropped) that
    reads back as the double nearest x."""
    if x == 0:
        return "0"
    target = float(x)
    for digits in range(17, 40):
        text = sig_text(x, digits)
        if float(text) == target:
            return text
    raise ValueError(f"no short text for {x}")


def sig_text(x, digits):
    neg = x < 0
    a = abs(x)
    e = exponent10(a)
    n = round_half_away(a / F(10) ** (e - digits + 1))
    if n == 10 ** digits:
        n //= 10
        e += 1
    s = str(n).rstrip("0") or "0"
    # s holds the significant digits, the first of which is at 10**e.
    if -5 <= e < 17:
        if e >= 0:
            if len(s) <= e + 1:
                body = s + "0" * (e + 1 - len(s))
            else:
                body = s[: e + 1] + "." + s[e + 1:]
        else:
            body = "0." + "0" * (-e - 1) + s
    else:
        mant = s[0] + ("." + s[1:] if len(s) > 1 else "")
        body = f"{mant}E{'-' if e < 0 else '+'}{abs(e):02d}"
    return ("-" if neg else "") + body


def exponent10(a):
    """e with 10**e <= a < 10**(e+1), a > 0."""
    e = len(str(a.numerator)) - len(str(a.denominator))
    while F(10) ** e > a:
        e -= 1
    while F(10) ** (e + 1) <= a:
        e += 1
    return e


def round_half_away(q):
    n = q.numerator // q.denominator
    if q - n >= F(1, 2):
        n += 1
    return n


def round15(x):
    if x == 0:
        return F(0)
    neg = x < 0
    a = abs(x)
    e = exponent10(a)
    r = round_half_away(a / F(10) ** (e - 14)) * F(10) ** (e - 14)
    return -r if neg else r


def file_bytes(series):
    name = series[0]
    lines = [str(len(series[2]))]
    for uname, fac, off in units_of(series):
        lines.append(f'"{uname}",{fmt17(fac)},{fmt17(off)},1,1')
    text = "\r\n".join(lines) + "\r\n"
    return text.encode("cp932")


def radix_bytes():
    lines = ["35"] + [f'"{r}進数",{r},0,0,0' for r in range(2, 37)]
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


def simulate(units, values):
    """Pairs whose double result, cut to 15 digits, is not the exact one."""
    dbl = [(n, float(fmt17(f)), float(fmt17(o))) for n, f, o in units]
    bad = []
    for i, (sn, sf, so) in enumerate(dbl):
        for j, (tn, tf, to) in enumerate(dbl):
            if i == j:
                continue
            for v in values:
                r = (float(v) - so) * sf / tf + to
                got = F(Decimal("%.15g" % r))
                _, esf, eso = units[i]
                _, etf, eto = units[j]
                exact = round15((D(v) - eso) * esf / etf + eto)
                if got != exact:
                    bad.append((sn, tn, v, "%.15g" % r, exact))
    return bad


def report():
    for series in SERIES:
        name, base, rows = series
        values = TEST_VALUES.get(name, ["1"])
        results = []
        for cand in rows:
            if len(cand) > 2 and cand[2] != 0:
                continue
            trial = (name, cand[0], rows)
            results.append((len(simulate(units_of(trial), values)), cand[0]))
        results.sort()
        chosen = len(simulate(units_of(series), values))
        print(f"{name}: base {base} -> {chosen} inexact;",
              ", ".join(f"{b} {n}" for n, b in results[:6]))
        for sn, tn, v, got, exact in simulate(units_of(series), values):
            print(f"    {v} {sn} -> {tn}: {got} (exact {float(exact)!r})")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "units"))
    ap.add_argument("--report", action="store_true")
    args = ap.parse_args()
    if args.report:
        report()
        return 0
    os.makedirs(args.out, exist_ok=True)
    for series in SERIES:
        with open(os.path.join(args.out, series[0] + ".dat"), "wb") as f:
            f.write(file_bytes(series))
    with open(os.path.join(args.out, "進数.dat"), "wb") as f:
        f.write(radix_bytes())
    return 0


if __name__ == "__main__":
    sys.exit(main())
