#!/usr/bin/env python3
"""Writes the series files of units/ from the exact definitions below.

Every factor and offset is computed as an exact fraction from the unit's
definition and written with 17 significant digits, checked to read back as the
double nearest the exact value. Files are CP932 with CRLF line ends.

After the counted records each file carries its extension lines: one
"#逆数",NAME,K,1,1 for each reciprocal unit, then one "#別名",NAME,ALIAS,...
for each unit that has aliases (its symbols, its English names, and its
reading in romaji, and in hiragana unless the name is plain katakana), then
one "#併記",NAME,UNIT1,UNIT2,... for each value in several units. A reader
that knows only the counted records never gets to them.

    tools/make_units.py [--out DIR]     write the files (default: units/)
    tools/make_units.py --report        simulate every pair through the
                                        conversion formula in double
                                        arithmetic and list those whose
                                        15-digit result is not the exact one,
                                        for each possible base unit
    tools/make_units.py --help-table    print the rows of the table of units
                                        in tovelhelp/series.html

The test tests/units/ShippedUnitsTest.cpp holds its own copy of the
definitions and checks the files and the conversions against them.
"""

import argparse
import html
import os
import sys
from decimal import Decimal, getcontext
from fractions import Fraction as F

getcontext().prec = 80

# The code page of the files; every name and alias must be written in it.
ENCODING = "cp932"

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
MPG = MILE / US_GALLON / KM_PER_L       # mile per US gallon in km/L
HOUR = 3600
YEAR = 365 * 86400                     # the common year of 365 days
# The whole, 1 = 100 %.
RATIO = "比 (1 = 100%)"

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
        # kitchen measures: the Japanese cup and spoons, and the US ones
        ("カップ", D("0.0002")),
        ("大さじ", D("0.000015")),
        ("小さじ", D("0.000005")),
        ("米カップ", US_GALLON / 16),
        ("米大さじ", US_GALLON / 256),
        ("米小さじ", US_GALLON / 768),
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
        ("トン毎立方メートル", 1000),
        ("グラム毎立方センチメートル", 1000),
        ("グラム毎リットル", 1),
        ("ミリグラム毎リットル", D("0.001")),
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
    # Through リットル毎秒 only リットル毎時 and ミリリットル毎時 ->
    # 立方フィート毎分 miss their last digit; through 立方メートル毎日 (one
    # miss) or 立方メートル毎秒 英ガロン毎分 -> 米ガロン毎分 does, which is
    # asked for more often.
    ("流量", "リットル毎秒", [
        ("立方メートル毎秒", 1),
        ("立方メートル毎分", F(1, 60)),
        ("立方メートル毎時", F(1, 3600)),
        ("立方メートル毎日", F(1, 86400)),
        ("リットル毎秒", D("0.001")),
        ("リットル毎分", D("0.001") / 60),
        ("リットル毎時", D("0.001") / 3600),
        ("ミリリットル毎分", D("1e-6") / 60),
        ("ミリリットル毎時", D("1e-6") / 3600),
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
        ("回転毎分", F(1, 60)),
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
        ("マイル毎米ガロン", MPG),
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
    ("線量率", "ナノシーベルト毎時", [
        # sizes in sieverts per second
        ("シーベルト毎時", F(1, HOUR)),
        ("ミリシーベルト毎時", D("0.001") / HOUR),
        ("マイクロシーベルト毎時", D("1e-6") / HOUR),
        ("ナノシーベルト毎時", D("1e-9") / HOUR),
        ("ミリシーベルト毎年", D("0.001") / YEAR),
        ("レム毎時", D("0.01") / HOUR),
        ("ミリレム毎時", D("0.00001") / HOUR),
    ]),
    ("データ転送速度", "ビット毎秒", [
        # decimal prefixes, as line speeds are sold
        ("ビット毎秒", 1),
        ("キロビット毎秒", 1000),
        ("メガビット毎秒", 10 ** 6),
        ("ギガビット毎秒", 10 ** 9),
        ("テラビット毎秒", 10 ** 12),
        ("バイト毎秒", 8),
        ("キロバイト毎秒", 8 * 10 ** 3),
        ("メガバイト毎秒", 8 * 10 ** 6),
        ("ギガバイト毎秒", 8 * 10 ** 9),
        ("キビバイト毎秒", 8 * 2 ** 10),
        ("メビバイト毎秒", 8 * 2 ** 20),
        ("ギビバイト毎秒", 8 * 2 ** 30),
    ]),
    ("割合", RATIO, [
        (RATIO, 1),
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

# Reciprocal units, after the counted units of their series: (name, K). A
# reading v of the unit is the quantity K / v in the series' reference unit
# above (kilometre per litre, metre per second); the file holds K in the
# series' base unit.
RECIPROCALS = {
    "速度": [
        ("分毎キロメートル", F(1000, 60)),     # min/km, a runner's pace
        ("分毎マイル", MILE / 60),
        ("秒毎100メートル", 100),              # a swimmer's pace
    ],
    "燃費": [
        ("リットル毎100キロメートル", 100),
        ("米ガロン毎100マイル", 100 * MPG),
    ],
}

# Values in several units of one series, largest first: (name, units). They
# are targets only, listed after the units.
COMPOUNDS = {
    "長さ": [
        ("尺・寸", ["尺", "寸"]),
        ("間・尺・寸", ["間", "尺", "寸"]),
        ("フィート・インチ", ["フィート", "インチ"]),
        ("ヤード・フィート・インチ", ["ヤード", "フィート", "インチ"]),
        ("マイル・ヤード", ["マイル", "ヤード"]),
    ],
    "時間": [
        ("時間・分・秒", ["時間", "分", "秒"]),
        ("日・時間・分", ["日", "時間", "分"]),
    ],
    "角度": [
        ("度・分・秒", ["度", "分", "秒"]),
    ],
    "質量": [
        ("ポンド・オンス", ["ポンド", "オンス"]),
        ("貫・匁", ["貫", "匁"]),
    ],
}


def compounds_of(series):
    """The compound entries of a series, checked: units of the series, not
    reciprocal, at least two, largest first."""
    units = {n: (f, r) for n, f, _, r in units_of(series)}
    out = COMPOUNDS.get(series[0], [])
    for cname, parts in out:
        assert len(parts) >= 2, cname
        sizes = []
        for p in parts:
            assert p in units and not units[p][1], (cname, p)
            sizes.append(units[p][0])
        assert all(a > b for a, b in zip(sizes, sizes[1:])), cname
    return out


# The usual symbols of each unit, and other names it goes by. Every alias
# is told apart from every other name of its series by its exact text, so
# symbols that differ only in letter case (mW and MW, Mb and MB) are two.
# Symbols stay within the files' code page: m2 and ㎡ rather than m², μ
# (Greek mu) rather than the micro sign.
SYMBOLS = {
    "長さ": {
        "メートル": ["m"], "キロメートル": ["km", "㎞"],
        "センチメートル": ["cm", "㎝"], "ミリメートル": ["mm", "㎜"],
        "マイクロメートル": ["μm", "um", "ミクロン", "micron"],
        "ナノメートル": ["nm"], "インチ": ["in", "inch", "″"],
        "フィート": ["ft", "feet", "foot", "′"], "ヤード": ["yd", "yard"],
        "マイル": ["mi", "mile"], "海里": ["nmi", "ノーティカルマイル"],
        "オングストローム": ["angstrom"], "天文単位": ["au", "AU"],
        "光年": ["ly"],
    },
    "面積": {
        "平方メートル": ["m2", "㎡", "sqm"], "平方キロメートル": ["km2"],
        "平方センチメートル": ["cm2"], "平方ミリメートル": ["mm2"],
        "アール": ["a"], "ヘクタール": ["ha"],
        "平方インチ": ["in2", "sq in"], "平方フィート": ["ft2", "sq ft"],
        "平方ヤード": ["yd2", "sq yd"], "エーカー": ["ac", "acre"],
        "平方マイル": ["mi2", "sq mi"],
        "坪": ["歩"], "畳": ["帖"], "町": ["町歩"],
    },
    "体積": {
        "立方メートル": ["m3"], "立方センチメートル": ["cm3", "cc", "㏄"],
        "立方ミリメートル": ["mm3"], "リットル": ["L", "l", "㍑"],
        "デシリットル": ["dL", "dl"], "ミリリットル": ["mL", "ml"],
        "立方インチ": ["in3", "cu in"], "立方フィート": ["ft3", "cu ft"],
        "立方ヤード": ["yd3", "cu yd"], "米液量ガロン": ["gal", "US gal"],
        "米液量クォート": ["qt", "US qt"], "米液量パイント": ["pt", "US pt"],
        "米液量オンス": ["fl oz", "US fl oz"], "英ガロン": ["imp gal", "UK gal"],
        "英クォート": ["imp qt"], "英パイント": ["imp pt"],
        "英液量オンス": ["imp fl oz"], "バレル (石油)": ["bbl", "バレル"],
        "大さじ": ["tbsp"], "小さじ": ["tsp"],
        "米大さじ": ["US tbsp"], "米小さじ": ["US tsp"],
    },
    "質量": {
        "キログラム": ["kg", "㎏"], "グラム": ["g"], "ミリグラム": ["mg", "㎎"],
        "マイクログラム": ["μg", "ug", "mcg"], "トン": ["t"],
        "カラット": ["ct"], "ポンド": ["lb", "lbs"], "オンス": ["oz"],
        "グレーン": ["gr"], "ストーン": ["st"], "米トン": ["short ton"],
        "英トン": ["long ton"], "トロイオンス": ["oz t", "ozt"],
    },
    "温度": {
        "ケルビン": ["K"], "セルシウス度": ["℃", "°C", "degC", "摂氏"],
        "ファーレンハイト度": ["°F", "degF", "華氏"],
        "ランキン度": ["°R", "degR"], "レオミュール度": ["°Re"],
    },
    "時間": {
        "秒": ["s", "sec"], "ミリ秒": ["ms"], "マイクロ秒": ["μs", "us"],
        "ナノ秒": ["ns"], "分": ["min"], "時間": ["h", "hr"],
        "日": ["d", "day"], "週": ["wk", "week"], "平年 (365日)": ["年", "yr"],
        "ユリウス年": ["a"],
    },
    "速度": {
        "メートル毎秒": ["m/s"], "キロメートル毎秒": ["km/s"],
        "センチメートル毎秒": ["cm/s"], "メートル毎分": ["m/min"],
        "キロメートル毎時": ["km/h", "kph", "時速"], "フィート毎秒": ["ft/s", "fps"],
        "マイル毎時": ["mph", "mi/h"], "ノット": ["kn", "kt"], "光速": ["c"],
        "分毎キロメートル": ["min/km"], "分毎マイル": ["min/mi"],
        "秒毎100メートル": ["s/100m"],
    },
    "圧力": {
        "パスカル": ["Pa"], "ヘクトパスカル": ["hPa"], "キロパスカル": ["kPa"],
        "メガパスカル": ["MPa"], "バール": ["bar"], "ミリバール": ["mbar"],
        "気圧": ["atm"], "水銀柱ミリメートル": ["mmHg"], "トル": ["Torr"],
        "重量キログラム毎平方センチメートル": ["kgf/cm2"],
        "水柱メートル": ["mH2O", "mAq"], "水柱ミリメートル": ["mmH2O", "mmAq"],
        "重量ポンド毎平方インチ": ["psi"],
    },
    "エネルギー": {
        "ジュール": ["J"], "キロジュール": ["kJ"], "メガジュール": ["MJ"],
        "ワット時": ["Wh"], "キロワット時": ["kWh"], "電子ボルト": ["eV"],
        "エルグ": ["erg"], "カロリー": ["cal"], "キロカロリー": ["kcal"],
        "重量キログラムメートル": ["kgf・m", "kgfm"], "英熱量": ["BTU", "Btu"],
        "フィート重量ポンド": ["ft・lbf", "ftlbf"],
    },
    "仕事率": {
        "ワット": ["W"], "ミリワット": ["mW"], "キロワット": ["kW"],
        "メガワット": ["MW"], "エルグ毎秒": ["erg/s"], "キロカロリー毎時": ["kcal/h"],
        "重量キログラムメートル毎秒": ["kgf・m/s"], "仏馬力": ["PS"],
        "英馬力": ["hp", "HP"], "英熱量毎時": ["BTU/h", "Btu/h"],
    },
    "力": {
        "ニュートン": ["N"], "キロニュートン": ["kN"], "ミリニュートン": ["mN"],
        "ダイン": ["dyn"], "重量キログラム": ["kgf"], "重量グラム": ["gf"],
        "重量トン": ["tf"], "重量ポンド": ["lbf"], "パウンダル": ["pdl"],
    },
    "角度": {
        "ラジアン": ["rad"], "ミリラジアン": ["mrad"], "度": ["°", "deg"],
        "分": ["′", "arcmin"], "秒": ["″", "arcsec"], "回転": ["rev", "turn"],
        "グラード": ["gon", "grad"],
    },
    "データ量": {
        "ビット": ["bit", "b"], "キロビット": ["kbit", "kb"],
        "メガビット": ["Mbit", "Mb"], "ギガビット": ["Gbit", "Gb"],
        "バイト": ["B", "byte"], "キロバイト": ["kB", "KB"],
        "メガバイト": ["MB"], "ギガバイト": ["GB"], "テラバイト": ["TB"],
        "ペタバイト": ["PB"], "キビバイト": ["KiB"], "メビバイト": ["MiB"],
        "ギビバイト": ["GiB"], "テビバイト": ["TiB"], "ペビバイト": ["PiB"],
    },
    "密度": {
        "キログラム毎立方メートル": ["kg/m3"], "トン毎立方メートル": ["t/m3"],
        "グラム毎立方センチメートル": ["g/cm3", "g/cc"], "グラム毎リットル": ["g/L"],
        "ミリグラム毎リットル": ["mg/L"], "キログラム毎リットル": ["kg/L"],
        "グラム毎ミリリットル": ["g/mL"], "ポンド毎立方フィート": ["lb/ft3"],
        "ポンド毎立方インチ": ["lb/in3"], "ポンド毎米ガロン": ["lb/gal"],
    },
    "加速度": {
        "メートル毎秒毎秒": ["m/s2"], "センチメートル毎秒毎秒": ["cm/s2"],
        "ガル": ["Gal"], "ミリガル": ["mGal"], "標準重力加速度": ["G", "g0"],
        "フィート毎秒毎秒": ["ft/s2"], "キロメートル毎時毎秒": ["km/h/s"],
    },
    "トルク": {
        "ニュートンメートル": ["N・m", "Nm"], "キロニュートンメートル": ["kN・m", "kNm"],
        "ニュートンセンチメートル": ["N・cm", "Ncm"],
        "重量キログラムメートル": ["kgf・m", "kgfm"],
        "重量キログラムセンチメートル": ["kgf・cm", "kgfcm"],
        "重量ポンドフィート": ["lbf・ft", "lbfft"], "重量ポンドインチ": ["lbf・in", "lbfin"],
        "ダインセンチメートル": ["dyn・cm", "dyncm"],
    },
    "流量": {
        "立方メートル毎秒": ["m3/s"], "立方メートル毎分": ["m3/min"],
        "立方メートル毎時": ["m3/h"], "立方メートル毎日": ["m3/d"],
        "リットル毎秒": ["L/s"], "リットル毎分": ["L/min"], "リットル毎時": ["L/h"],
        "ミリリットル毎分": ["mL/min"], "ミリリットル毎時": ["mL/h"],
        "米ガロン毎分": ["gpm", "gal/min"], "英ガロン毎分": ["imp gal/min"],
        "立方フィート毎分": ["cfm", "ft3/min"],
    },
    "周波数": {
        "ヘルツ": ["Hz"], "キロヘルツ": ["kHz"], "メガヘルツ": ["MHz"],
        "ギガヘルツ": ["GHz"], "回転毎分": ["rpm", "r/min", "毎分回転数"],
        "回転毎秒": ["rps", "r/s"], "ラジアン毎秒": ["rad/s"],
    },
    "照度": {
        "ルクス": ["lx"], "キロルクス": ["klx"], "フォト": ["ph"],
        "フートキャンドル": ["fc"],
    },
    "燃費": {
        "キロメートル毎リットル": ["km/L", "km/l"],
        "マイル毎米ガロン": ["mpg", "mpg (US)"], "マイル毎英ガロン": ["mpg (UK)"],
        "リットル毎100キロメートル": ["L/100km", "l/100km"],
        "米ガロン毎100マイル": ["gal/100mi"],
    },
    "線量": {
        "シーベルト": ["Sv"], "ミリシーベルト": ["mSv"],
        "マイクロシーベルト": ["μSv", "uSv"], "ナノシーベルト": ["nSv"],
        "レム": ["rem"], "ミリレム": ["mrem"],
    },
    "線量率": {
        "シーベルト毎時": ["Sv/h"], "ミリシーベルト毎時": ["mSv/h"],
        "マイクロシーベルト毎時": ["μSv/h", "uSv/h"], "ナノシーベルト毎時": ["nSv/h"],
        "ミリシーベルト毎年": ["mSv/年", "mSv/y"], "レム毎時": ["rem/h"],
        "ミリレム毎時": ["mrem/h"],
    },
    "データ転送速度": {
        "ビット毎秒": ["bps", "bit/s"], "キロビット毎秒": ["kbps", "kbit/s"],
        "メガビット毎秒": ["Mbps", "Mbit/s"], "ギガビット毎秒": ["Gbps", "Gbit/s"],
        "テラビット毎秒": ["Tbps", "Tbit/s"], "バイト毎秒": ["B/s"],
        "キロバイト毎秒": ["kB/s", "KB/s"], "メガバイト毎秒": ["MB/s"],
        "ギガバイト毎秒": ["GB/s"], "キビバイト毎秒": ["KiB/s"],
        "メビバイト毎秒": ["MiB/s"], "ギビバイト毎秒": ["GiB/s"],
    },
    "割合": {
        RATIO: ["比"], "パーセント": ["%", "％", "percent"], "パーミル": ["‰", "permil"],
    },
}

# The English names of the units, each unique in its series. An entry is a
# singular name, followed by its plural as plural() makes it;
# "singular|plural" gives the plural where that rule gets it wrong, and
# "name|" marks a name whose plural is the same. A name with "metre" or
# "litre" is also given with "meter" and "liter".
#
# Left out because they name more than one unit: "ton" (tonne, short ton,
# long ton; "ton" still finds トン, as its romaji), "gallon", "quart",
# "pint", "fluid ounce" and "mile per gallon" (US or imperial), "horsepower"
# (metric or imperial), and "gal" in 加速度 (the US gallon's symbol in 体積,
# which a name without a series would then no longer find alone).
ENGLISH = {
    "長さ": {
        "メートル": ["metre"], "キロメートル": ["kilometre"],
        "センチメートル": ["centimetre"], "ミリメートル": ["millimetre"],
        "マイクロメートル": ["micrometre", "micron"], "ナノメートル": ["nanometre"],
        "インチ": ["inch"], "フィート": ["foot"], "ヤード": ["yard"],
        "マイル": ["mile"], "海里": ["nautical mile"],
        "オングストローム": ["angstrom"], "天文単位": ["astronomical unit"],
        "光年": ["light-year", "light year"],
    },
    "面積": {
        "平方メートル": ["square metre"], "平方キロメートル": ["square kilometre"],
        "平方センチメートル": ["square centimetre"],
        "平方ミリメートル": ["square millimetre"], "アール": ["are"],
        "ヘクタール": ["hectare"], "平方インチ": ["square inch"],
        "平方フィート": ["square foot"], "平方ヤード": ["square yard"],
        "エーカー": ["acre"], "平方マイル": ["square mile"],
    },
    "体積": {
        "立方メートル": ["cubic metre"], "立方センチメートル": ["cubic centimetre"],
        "立方ミリメートル": ["cubic millimetre"], "リットル": ["litre"],
        "デシリットル": ["decilitre"], "ミリリットル": ["millilitre"],
        "立方インチ": ["cubic inch"], "立方フィート": ["cubic foot"],
        "立方ヤード": ["cubic yard"], "米液量ガロン": ["US gallon"],
        "米液量クォート": ["US quart"], "米液量パイント": ["US pint"],
        "米液量オンス": ["US fluid ounce"],
        "英ガロン": ["imperial gallon", "UK gallon"],
        "英クォート": ["imperial quart", "UK quart"],
        "英パイント": ["imperial pint", "UK pint"],
        "英液量オンス": ["imperial fluid ounce", "UK fluid ounce"],
        "バレル (石油)": ["barrel"], "カップ": ["cup"],
        "大さじ": ["tablespoon"], "小さじ": ["teaspoon"], "米カップ": ["US cup"],
        "米大さじ": ["US tablespoon"], "米小さじ": ["US teaspoon"],
    },
    "質量": {
        "キログラム": ["kilogram"], "グラム": ["gram"], "ミリグラム": ["milligram"],
        "マイクログラム": ["microgram"], "トン": ["tonne", "metric ton"],
        "カラット": ["carat"], "ポンド": ["pound"], "オンス": ["ounce"],
        "グレーン": ["grain"], "ストーン": ["stone"],
        "米トン": ["short ton", "US ton"], "英トン": ["long ton", "imperial ton"],
        "トロイオンス": ["troy ounce"],
    },
    "温度": {
        "ケルビン": ["kelvin"],
        "セルシウス度": ["degree Celsius|degrees Celsius", "Celsius|"],
        "ファーレンハイト度": ["degree Fahrenheit|degrees Fahrenheit", "Fahrenheit|"],
        "ランキン度": ["degree Rankine|degrees Rankine", "Rankine|"],
        "レオミュール度": ["degree Reaumur|degrees Reaumur", "Reaumur|"],
    },
    "時間": {
        "秒": ["second"], "ミリ秒": ["millisecond"], "マイクロ秒": ["microsecond"],
        "ナノ秒": ["nanosecond"], "分": ["minute"], "時間": ["hour"], "日": ["day"],
        "週": ["week"], "平年 (365日)": ["year", "common year"],
        "ユリウス年": ["Julian year"],
    },
    "速度": {
        "メートル毎秒": ["metre per second"], "キロメートル毎秒": ["kilometre per second"],
        "センチメートル毎秒": ["centimetre per second"],
        "メートル毎分": ["metre per minute"], "キロメートル毎時": ["kilometre per hour"],
        "フィート毎秒": ["foot per second"], "マイル毎時": ["mile per hour"],
        "ノット": ["knot"], "光速": ["speed of light|"],
        "分毎キロメートル": ["minute per kilometre"], "分毎マイル": ["minute per mile"],
        "秒毎100メートル": ["second per 100 metres"],
    },
    "圧力": {
        "パスカル": ["pascal"], "ヘクトパスカル": ["hectopascal"],
        "キロパスカル": ["kilopascal"], "メガパスカル": ["megapascal"],
        "バール": ["bar"], "ミリバール": ["millibar"],
        "気圧": ["atmosphere", "standard atmosphere"],
        "水銀柱ミリメートル": ["millimetre of mercury"], "トル": ["torr|"],
        "重量キログラム毎平方センチメートル": ["kilogram-force per square centimetre"],
        "水柱メートル": ["metre of water"], "水柱ミリメートル": ["millimetre of water"],
        "重量ポンド毎平方インチ": ["pound-force per square inch", "pound per square inch"],
    },
    "エネルギー": {
        "ジュール": ["joule"], "キロジュール": ["kilojoule"], "メガジュール": ["megajoule"],
        "ワット時": ["watt-hour", "watt hour"],
        "キロワット時": ["kilowatt-hour", "kilowatt hour"],
        "電子ボルト": ["electronvolt", "electron volt"], "エルグ": ["erg"],
        "カロリー": ["calorie"], "キロカロリー": ["kilocalorie"],
        "重量キログラムメートル": ["kilogram-force metre"],
        "英熱量": ["British thermal unit"], "フィート重量ポンド": ["foot-pound"],
    },
    "仕事率": {
        "ワット": ["watt"], "ミリワット": ["milliwatt"], "キロワット": ["kilowatt"],
        "メガワット": ["megawatt"], "エルグ毎秒": ["erg per second"],
        "キロカロリー毎時": ["kilocalorie per hour"],
        "重量キログラムメートル毎秒": ["kilogram-force metre per second"],
        "仏馬力": ["metric horsepower|"],
        "英馬力": ["imperial horsepower|", "mechanical horsepower|"],
        "英熱量毎時": ["British thermal unit per hour"],
    },
    "力": {
        "ニュートン": ["newton"], "キロニュートン": ["kilonewton"],
        "ミリニュートン": ["millinewton"], "ダイン": ["dyne"],
        "重量キログラム": ["kilogram-force"], "重量グラム": ["gram-force"],
        "重量トン": ["tonne-force"], "重量ポンド": ["pound-force"],
        "パウンダル": ["poundal"],
    },
    "角度": {
        "ラジアン": ["radian"], "ミリラジアン": ["milliradian"], "度": ["degree"],
        "分": ["arcminute", "minute of arc"], "秒": ["arcsecond", "second of arc"],
        "直角": ["right angle"], "回転": ["turn", "revolution"],
        "グラード": ["gradian"],
    },
    "データ量": {
        "ビット": ["bit"], "キロビット": ["kilobit"], "メガビット": ["megabit"],
        "ギガビット": ["gigabit"], "バイト": ["byte"], "キロバイト": ["kilobyte"],
        "メガバイト": ["megabyte"], "ギガバイト": ["gigabyte"],
        "テラバイト": ["terabyte"], "ペタバイト": ["petabyte"],
        "キビバイト": ["kibibyte"], "メビバイト": ["mebibyte"],
        "ギビバイト": ["gibibyte"], "テビバイト": ["tebibyte"],
        "ペビバイト": ["pebibyte"],
    },
    "密度": {
        "キログラム毎立方メートル": ["kilogram per cubic metre"],
        "トン毎立方メートル": ["tonne per cubic metre"],
        "グラム毎立方センチメートル": ["gram per cubic centimetre"],
        "グラム毎リットル": ["gram per litre"],
        "ミリグラム毎リットル": ["milligram per litre"],
        "キログラム毎リットル": ["kilogram per litre"],
        "グラム毎ミリリットル": ["gram per millilitre"],
        "ポンド毎立方フィート": ["pound per cubic foot"],
        "ポンド毎立方インチ": ["pound per cubic inch"],
        "ポンド毎米ガロン": ["pound per US gallon"],
    },
    "加速度": {
        "メートル毎秒毎秒": ["metre per second squared"],
        "センチメートル毎秒毎秒": ["centimetre per second squared"],
        "ガル": ["galileo"], "ミリガル": ["milligal"],
        "標準重力加速度": ["standard gravity|"],
        "フィート毎秒毎秒": ["foot per second squared"],
        "キロメートル毎時毎秒": ["kilometre per hour per second"],
    },
    "トルク": {
        "ニュートンメートル": ["newton metre"],
        "キロニュートンメートル": ["kilonewton metre"],
        "ニュートンセンチメートル": ["newton centimetre"],
        "重量キログラムメートル": ["kilogram-force metre"],
        "重量キログラムセンチメートル": ["kilogram-force centimetre"],
        "重量ポンドフィート": ["pound-force foot", "pound-foot"],
        "重量ポンドインチ": ["pound-force inch", "pound-inch"],
        "ダインセンチメートル": ["dyne centimetre"],
    },
    "流量": {
        "立方メートル毎秒": ["cubic metre per second"],
        "立方メートル毎分": ["cubic metre per minute"],
        "立方メートル毎時": ["cubic metre per hour"],
        "立方メートル毎日": ["cubic metre per day"],
        "リットル毎秒": ["litre per second"], "リットル毎分": ["litre per minute"],
        "リットル毎時": ["litre per hour"],
        "ミリリットル毎分": ["millilitre per minute"],
        "ミリリットル毎時": ["millilitre per hour"],
        "米ガロン毎分": ["US gallon per minute"],
        "英ガロン毎分": ["imperial gallon per minute", "UK gallon per minute"],
        "立方フィート毎分": ["cubic foot per minute"],
    },
    "周波数": {
        "ヘルツ": ["hertz|"], "キロヘルツ": ["kilohertz|"],
        "メガヘルツ": ["megahertz|"], "ギガヘルツ": ["gigahertz|"],
        "回転毎分": ["revolution per minute"], "回転毎秒": ["revolution per second"],
        "ラジアン毎秒": ["radian per second"],
    },
    "照度": {
        "ルクス": ["lux|"], "キロルクス": ["kilolux|"], "フォト": ["phot"],
        "フートキャンドル": ["foot-candle", "footcandle"],
    },
    "燃費": {
        "キロメートル毎リットル": ["kilometre per litre"],
        "マイル毎米ガロン": ["mile per US gallon"],
        "マイル毎英ガロン": ["mile per imperial gallon", "mile per UK gallon"],
        "リットル毎100キロメートル": ["litre per 100 kilometres"],
        "米ガロン毎100マイル": ["US gallon per 100 miles"],
    },
    "線量": {
        "シーベルト": ["sievert"], "ミリシーベルト": ["millisievert"],
        "マイクロシーベルト": ["microsievert"], "ナノシーベルト": ["nanosievert"],
        "レム": ["rem|"], "ミリレム": ["millirem|"],
    },
    "線量率": {
        "シーベルト毎時": ["sievert per hour"],
        "ミリシーベルト毎時": ["millisievert per hour"],
        "マイクロシーベルト毎時": ["microsievert per hour"],
        "ナノシーベルト毎時": ["nanosievert per hour"],
        "ミリシーベルト毎年": ["millisievert per year"],
        "レム毎時": ["rem per hour|"], "ミリレム毎時": ["millirem per hour|"],
    },
    "データ転送速度": {
        "ビット毎秒": ["bit per second"], "キロビット毎秒": ["kilobit per second"],
        "メガビット毎秒": ["megabit per second"],
        "ギガビット毎秒": ["gigabit per second"],
        "テラビット毎秒": ["terabit per second"],
        "バイト毎秒": ["byte per second"], "キロバイト毎秒": ["kilobyte per second"],
        "メガバイト毎秒": ["megabyte per second"],
        "ギガバイト毎秒": ["gigabyte per second"],
        "キビバイト毎秒": ["kibibyte per second"],
        "メビバイト毎秒": ["mebibyte per second"],
        "ギビバイト毎秒": ["gibibyte per second"],
    },
    "割合": {
        "パーセント": ["percent|", "per cent|"], "パーミル": ["per mille|", "permille|"],
        "ppm": ["parts per million|"], "ppb": ["parts per billion|"],
    },
}

# Readings of the kanji in unit names. A name is read by its longest known
# words from the left; katakana become hiragana. READINGS_OF_UNIT overrides
# this where a series reads a kanji its own way, and adds the readings of
# aliases that are not kana.
KANJI_WORDS = {
    "平方": "へいほう", "立方": "りっぽう", "毎": "まい", "秒": "びょう",
    "分": "ふん", "時間": "じかん", "時": "じ", "日": "にち", "年": "ねん",
    "週": "しゅう", "平年": "へいねん", "米": "べい", "英": "えい",
    "仏": "ふつ", "液量": "えきりょう", "重量": "じゅうりょう",
    "水銀柱": "すいぎんちゅう", "水柱": "すいちゅう", "海里": "かいり",
    "天文単位": "てんもんたんい", "光年": "こうねん", "光速": "こうそく",
    "厘": "りん", "寸": "すん", "尺": "しゃく", "間": "けん", "丈": "じょう",
    "町": "ちょう", "里": "り", "坪": "つぼ", "畳": "じょう",
    "江戸間": "えどま", "京間": "きょうま", "中京間": "ちゅうきょうま",
    "団地間": "だんちま", "畝": "せ", "反": "たん", "勺": "しゃく",
    "合": "ごう", "升": "しょう", "斗": "と", "石": "こく", "匁": "もんめ",
    "斤": "きん", "貫": "かん", "気圧": "きあつ", "電子": "でんし",
    "熱量": "ねつりょう", "馬力": "ばりき", "度": "ど", "直角": "ちょっかく",
    "回転": "かいてん", "標準重力加速度": "ひょうじゅんじゅうりょくかそくど",
    "割": "わり", "毛": "もう", "比": "ひ", "石油": "せきゆ", "100": "ひゃく",
    "大さじ": "おおさじ", "小さじ": "こさじ",
}
READINGS_OF_UNIT = {
    ("長さ", "分"): ["ぶ"],
    ("面積", "坪"): ["つぼ", "ぶ"],
    ("面積", "畳"): ["じょう", "たたみ"],
    ("面積", "町"): ["ちょう", "ちょうぶ"],
    ("割合", "分"): ["ぶ"],
    ("温度", "セルシウス度"): ["せるしうすど", "せっし"],
    ("温度", "ファーレンハイト度"): ["ふぁーれんはいとど", "かし"],
    ("割合", "ppm"): ["ぴーぴーえむ"],
    ("割合", "ppb"): ["ぴーぴーびー"],
}

# Values converted between every pair when simulating: 1, and where a series
# has a reading that users type every day (a 6-畳 room, 30 mpg, 100 µSv,
# 3 割 5 分), that one too.
TEST_VALUES = {
    "温度": ["1", "-40", "0", "37", "100"],
    "面積": ["1", "6"],
    "速度": ["1", "5"],
    "燃費": ["1", "30"],
    "線量": ["1", "100"],
    "割合": ["1", "3.5"],
}


def is_plain_katakana(name):
    return all("\u30a1" <= c <= "\u30f6" or c == "ー" for c in name)


def hiragana_reading(series, name):
    """The reading of a unit name in hiragana; a part in parentheses, which
    only tells units apart, is not read."""
    if (series, name) in READINGS_OF_UNIT:
        return READINGS_OF_UNIT[(series, name)]
    text = name.split(" (")[0]
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if "\u30a1" <= c <= "\u30f6":
            out.append(chr(ord(c) - 0x60))
            i += 1
        elif c == "ー":
            out.append(c)
            i += 1
        else:
            for n in range(len(text) - i, 0, -1):
                if text[i:i + n] in KANJI_WORDS:
                    out.append(KANJI_WORDS[text[i:i + n]])
                    i += n
                    break
            else:
                raise ValueError(f"{series}: no reading for {text[i]!r} in {name}")
    return ["".join(out)]


ROMAJI = {}
for row in (
        "あa いi うu えe おo かka きki くku けke こko がga ぎgi ぐgu げge ごgo "
        "さsa しshi すsu せse そso ざza じji ずzu ぜze ぞzo たta ちchi つtsu "
        "てte とto だda ぢji づzu でde どdo なna にni ぬnu ねne のno はha "
        "ひhi ふfu へhe ほho ばba びbi ぶbu べbe ぼbo ぱpa ぴpi ぷpu ぺpe ぽpo "
        "まma みmi むmu めme もmo やya ゆyu よyo らra りri るru れre ろro "
        "わwa をo んn ゔvu "
        "きゃkya きゅkyu きょkyo ぎゃgya ぎゅgyu ぎょgyo しゃsha しゅshu "
        "しょsho じゃja じゅju じょjo ちゃcha ちゅchu ちょcho にゃnya にゅnyu "
        "にょnyo ひゃhya ひゅhyu ひょhyo びゃbya びゅbyu びょbyo ぴゃpya "
        "ぴゅpyu ぴょpyo みゃmya みゅmyu みょmyo りゃrya りゅryu りょryo "
        "しぇshe じぇje ちぇche てぃti でぃdi でゅdyu とぅtu ふぁfa ふぃfi "
        "ふぇfe ふぉfo うぃwi うぇwe うぉwo くぉkwo ゔぁva ゔぃvi ゔぇve ゔぉvo").split():
    kana = "".join(c for c in row if not c.isascii())
    ROMAJI[kana] = row[len(kana):]


def romaji(kana):
    """Hepburn romaji as typed on a keyboard: long vowels written twice
    (ー repeats the vowel before it), おう as ou, ん as n (n' before a vowel
    or y)."""
    out = ""
    i = 0
    double = False
    while i < len(kana):
        if kana[i] == "っ":
            double = True
            i += 1
            continue
        if kana[i] == "ー":
            out += out[-1]
            i += 1
            continue
        piece = ROMAJI.get(kana[i:i + 2]) or ROMAJI.get(kana[i])
        if i > 0 and kana[i - 1] == "ん" and piece and piece[0] in "aiueoy":
            out += "'"
        if piece is None:
            raise ValueError(f"no romaji for {kana[i]!r} in {kana}")
        i += 2 if kana[i:i + 2] in ROMAJI else 1
        if double:
            out += "t" if piece.startswith("ch") else piece[0]
            double = False
        out += piece
    return out


# Plurals that do not add "s" to the last word of the unit's own part.
IRREGULAR_PLURALS = {"foot": "feet", "inch": "inches"}


def plural(name):
    """The plural of an English unit name: the last word before "per" or
    "of" takes it (metres per second, feet of water), the first part of a
    word ending in "-force" (kilograms-force), the last part of another word
    with hyphens (pound-feet, light-years)."""
    head, tail = name, ""
    for joint in (" per ", " of "):
        if joint in head:
            at = head.index(joint)
            head, tail = head[:at], head[at:] + tail
    words = head.split(" ")
    last = words[-1]
    if last.endswith("-force"):
        last = plural(last[:-len("-force")]) + "-force"
    else:
        parts = last.split("-")
        parts[-1] = IRREGULAR_PLURALS.get(parts[-1], parts[-1] + "s")
        last = "-".join(parts)
    return " ".join(words[:-1] + [last]) + tail


def english_forms(entry):
    """The names an ENGLISH entry stands for: singular, then plural, each
    followed by its American spelling where that differs."""
    singular, bar, given = entry.partition("|")
    forms = [singular]
    if not bar:
        forms.append(plural(singular))
    elif given:
        forms.append(given)
    out = []
    for form in forms:
        out.append(form)
        american = form.replace("metre", "meter").replace("litre", "liter")
        if american != form:
            out.append(american)
    return out


def aliases_of(series, name):
    """Every further name of a unit: its symbols, its English names, then,
    unless the series reads the name as text (like ppm), its romaji, after
    its readings in hiragana when the name is not plain katakana (a search
    finds katakana by their hiragana anyway). No alias repeats the name."""
    out = list(SYMBOLS.get(series, {}).get(name, []))
    for entry in ENGLISH.get(series, {}).get(name, []):
        out += english_forms(entry)
    if name.isascii():
        out += READINGS_OF_UNIT.get((series, name), [])
    elif is_plain_katakana(name):
        out += [romaji(r) for r in hiragana_reading(series, name)]
    else:
        readings = hiragana_reading(series, name)
        out += readings + [romaji(r) for r in readings]
    seen = set()
    result = []
    for a in out:
        if a != name and a not in seen:
            seen.add(a)
            result.append(a)
    return result


def check_names(series):
    """Every name of a series (unit names and aliases) is one unit's alone,
    and each can be written as a quoted item."""
    name, _, rows = series
    units = [r[0] for r in rows] + [r[0] for r in RECIPROCALS.get(name, [])]
    assert len(set(units)) == len(units), f"{name}: two units of one name"
    for table in (SYMBOLS.get(name, {}), ENGLISH.get(name, {})):
        for unit in table:
            assert unit in units, f"{name}: aliases for a unit it does not have: {unit}"
    owner = {u: u for u in units}
    for unit in units:
        for alias in aliases_of(name, unit):
            assert alias.strip() == alias and alias, f"{name}: blank around {alias!r}"
            assert not any(c in alias for c in '"\r\n'), f"{name}: {alias!r} cannot be quoted"
            assert alias not in owner, f"{name}: {alias} names {owner[alias]} and {unit}"
            owner[alias] = unit
    return owner


def units_of(series):
    """(name, factor, offset, reciprocal) in the series' own base unit: the
    counted units in list order, then the reciprocal ones, whose factor is
    their K and whose offset is 0."""
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
        out.append((uname, fac / b, off, False))
    for uname, k in RECIPROCALS.get(name, []):
        # A reading v is k / v in SI, i.e. (k / b) / v base units.
        out.append((uname, F(k) / b, F(0), True))
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
    """The file: the count and the counted records, then one line for each
    reciprocal unit and one naming the aliases of each unit that has any."""
    name = series[0]
    check_names(series)
    units = units_of(series)
    lines = [str(len(series[2]))]
    for uname, fac, off, reciprocal in units:
        if not reciprocal:
            lines.append(f'"{uname}",{fmt17(fac)},{fmt17(off)},1,1')
    for uname, fac, _, reciprocal in units:
        if reciprocal:
            lines.append(f'"#逆数","{uname}",{fmt17(fac)},1,1')
    for uname, _, _, _ in units:
        aliases = aliases_of(name, uname)
        if aliases:
            lines.append(",".join(f'"{t}"' for t in ["#別名", uname] + aliases))
    for cname, parts in compounds_of(series):
        lines.append(",".join(f'"{t}"' for t in ["#併記", cname] + parts))
    text = "\r\n".join(lines) + "\r\n"
    return text.encode(ENCODING)


def radix_bytes():
    lines = ["35"] + [f'"{r}進数",{r},0,0,0' for r in range(2, 37)]
    return ("\r\n".join(lines) + "\r\n").encode(ENCODING)


def to_base(v, factor, offset, reciprocal):
    return factor / v if reciprocal else (v - offset) * factor


def from_base(b, factor, offset, reciprocal):
    return factor / b if reciprocal else b / factor + offset


def simulate(units, values):
    """Pairs whose double result, cut to 15 digits, is not the exact one."""
    dbl = [(n, float(fmt17(f)), float(fmt17(o)), r) for n, f, o, r in units]
    bad = []
    for i, (sn, *source) in enumerate(dbl):
        for j, (tn, *target) in enumerate(dbl):
            if i == j:
                continue
            for v in values:
                r = from_base(to_base(float(v), *source), *target)
                got = F(Decimal("%.15g" % r))
                exact = round15(from_base(to_base(D(v), *units[i][1:]), *units[j][1:]))
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


def help_rows():
    """The rows of the help's table of units (tovelhelp/series.html): one
    per unit, its series named on the first row of the series."""
    out = []
    for series in SERIES:
        name = series[0]
        units = units_of(series)
        compounds = compounds_of(series)
        rows = len(units) + len(compounds)
        for i, (uname, _, _, reciprocal) in enumerate(units):
            cells = []
            if i == 0:
                cells.append(f'<td rowspan="{rows}">{html.escape(name)}</td>')
            mark = "（逆数）" if reciprocal else ""
            cells.append(f"<td>{html.escape(uname)}{mark}</td>")
            cells.append(f"<td>{html.escape('　'.join(aliases_of(name, uname)))}</td>")
            out.append("  <tr>" + "".join(cells) + "</tr>")
        for cname, _ in compounds:
            out.append(f"  <tr><td>{html.escape(cname)}（併記）</td><td></td></tr>")
    out.append('  <tr><td>進数</td><td>2進数～36進数</td><td></td></tr>')
    return "\n".join(out)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "units"))
    ap.add_argument("--report", action="store_true")
    ap.add_argument("--help-table", action="store_true")
    args = ap.parse_args()
    if args.report:
        report()
        return 0
    if args.help_table:
        print(help_rows())
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
