#pragma once
// The eight keys of the settings file, their defaults and accepted ranges,
// and the text forms of the values.
//
// Every key is read through ReadSetting, which checks the stored text and
// falls back to the key's default when it is empty, not a number or outside
// what its consumer accepts.

#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <limits>
#include <vector>

enum class SettingKey {
    Front,
    WinPos,
    MainFormTop,
    MainFormLeft,
    ShowAns,
    MaxPlace,
    UnitSeries,
    LastUnitSeries,
    Count  // not a key: the number of keys
};

struct SettingInfo {
    SettingKey id;
    const char *section;  // "FormSet" or "CalcSet"
    const char *key;
    int defaultValue;  // for the two coordinates the caller passes the centred default
    long long min;
    long long max;
};

namespace SettingLimits {
constexpr long long Int16Min = -32768;
constexpr long long Int16Max = 32767;
constexpr long long Int32Min = std::numeric_limits<qint32>::min();
constexpr long long Int32Max = std::numeric_limits<qint32>::max();
}  // namespace SettingLimits

// Every key of the settings file, one row each, in the order of SettingKey.
// Everything that needs a key's name, default or range takes it from here.
inline constexpr std::array<SettingInfo, size_t(SettingKey::Count)> SettingTable = {{
    {SettingKey::Front, "FormSet", "Front", 0, SettingLimits::Int16Min, SettingLimits::Int16Max},  // non-zero: on top
    {SettingKey::WinPos, "FormSet", "WinPos", 0, 0, 1},  // 0 where it was left, 1 always centred
    {SettingKey::MainFormTop, "FormSet", "MainFormTop", 0, SettingLimits::Int32Min, SettingLimits::Int32Max},
    {SettingKey::MainFormLeft, "FormSet", "MainFormLeft", 0, SettingLimits::Int32Min, SettingLimits::Int32Max},
    {SettingKey::ShowAns, "CalcSet", "ShowAns", 0, 0, 2},        // the result style: plain, grouped, scientific
    {SettingKey::MaxPlace, "CalcSet", "MaxPlace", 15, 4, 50},    // digit limit of the grouped style
    {SettingKey::UnitSeries, "CalcSet", "UnitSeries", 0, 0, 1},  // 0 the last series at start, 1 a random one
    {SettingKey::LastUnitSeries, "CalcSet", "LastUnitSeries", 0, 0, SettingLimits::Int16Max},
}};

constexpr bool SettingTableInKeyOrder()
{
    for (size_t i = 0; i < SettingTable.size(); ++i) {
        const SettingInfo &row = SettingTable[i];
        if (row.id != SettingKey(i) || row.defaultValue < row.min || row.defaultValue > row.max)
            return false;
    }
    return true;
}
static_assert(SettingTableInKeyOrder(), "one row for every key, in the order of SettingKey, its default in range");

constexpr const SettingInfo &InfoOf(SettingKey key)
{
    return SettingTable[size_t(key)];
}

// The number of values a key can take (the options a choice needs).
constexpr int ChoiceCount(SettingKey key)
{
    return int(InfoOf(key).max - InfoOf(key).min + 1);
}

// Converts a stored text like the platform's text-to-number conversion:
// blanks (space, tab) around the number allowed, an optional sign, decimal
// digits with an optional "." fraction and an optional exponent ("1e1" is
// 10), the value rounded to a whole number with a half going to the even
// neighbour ("2.5" is 2, "3.5" is 4). No group separators, no hexadecimal.
// False when the text is not such a number or the rounded value is outside
// [min, max].
bool ParseWholeNumber(const QString &text, long long min, long long max, long long *value);

// Reads key from the settings file at path. defaultValue replaces the table's
// default (the coordinates' centred defaults); a value outside the key's
// range, or outside [0, listCount - 1] for LastUnitSeries when listCount >= 0,
// reads as the default.
int ReadSetting(const QString &path, SettingKey key, int defaultValue, int listCount = -1);
int ReadSetting(const QString &path, SettingKey key);

// Writes several keys as one change of the file (the end of the program, the
// settings dialog's Apply): another program saving at the same time sees
// and leaves either all of them or none. Non-zero on success.
struct SettingText {
    SettingKey key;
    QString text;
};
int WriteSettings(const QString &path, const std::vector<SettingText> &values);

// A window coordinate in twips as written to the file: the decimal text of a
// single-precision number, a whole number without a decimal point.
QString CoordinateText(double twips);

// The centred position along one axis: (screen - window) rounded half to
// even, then halved toward zero.
int CentredPosition(double screenTwips, double windowTwips);
